#include "device/sim/MotionAxis.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double Unlimited = std::numeric_limits<double>::infinity();

// Speed change allowed in one tick by an acceleration (steps/s²).
double perTick(int32_t acceleration)
{
    return acceleration > 0 ? acceleration * MotionAxis::TickSeconds : Unlimited;
}

// One tick's speed change from v toward wanted: up to the acceleration when
// speeding up, up to the deceleration when slowing down, and a reversal
// brakes to rest first.
double approach(double v, double wanted, const MotionLimits &limits)
{
    const double up = perTick(limits.maxAccel);
    const double down = perTick(limits.maxDecel);
    if (v * wanted < 0)
        return std::abs(v) <= down ? 0.0 : v - std::copysign(down, v);
    if (std::abs(wanted) >= std::abs(v))
        return std::copysign(std::min(std::abs(wanted), std::abs(v) + up), wanted);
    return std::copysign(std::max(std::abs(wanted), std::abs(v) - down), v);
}

int32_t wrapped(int32_t position, int64_t steps)
{
    return static_cast<int32_t>(static_cast<uint32_t>(position) + static_cast<uint32_t>(steps));
}

} // namespace

void MotionAxis::startStepGenerator(uint32_t reload, bool positive)
{
    mode = Drive::StepGenerator;
    braking = false;
    reloadPlusOne = uint64_t(reload) + 1;
    forward = positive;
    pendingTicks = 0;
}

void MotionAxis::moveTo(int64_t target)
{
    mode = Drive::Target;
    braking = false;
    targetPosition = target;
}

void MotionAxis::runAt(double speed)
{
    mode = Drive::Run;
    braking = false;
    requestedSpeed = speed;
}

void MotionAxis::stop()
{
    if (mode == Drive::None)
        return;
    if (mode == Drive::StepGenerator) {
        // Brakes from the rate it was stepping at.
        mode = Drive::Run;
        requestedSpeed = 0;
    }
    braking = true;
}

void MotionAxis::halt()
{
    mode = Drive::None;
    braking = false;
    velocity = 0;
}

void MotionAxis::setHome()
{
    whole = 0;
    fraction = 0;
    targetPosition = 0;
    // A move's target means nothing once the counter is redefined: it ends
    // here. The step generator is a rate, not a move, and keeps stepping.
    if (mode != Drive::StepGenerator)
        halt();
}

void MotionAxis::adoptPosition(int32_t position)
{
    whole = position;
    fraction = 0;
}

bool MotionAxis::busy(bool allowed) const
{
    return velocity != 0 || (allowed && mode != Drive::None);
}

int32_t MotionAxis::reportedSpeed() const
{
    if (mode == Drive::StepGenerator && velocity != 0) {
        const auto rate = static_cast<int32_t>(StepClockHz / int64_t(reloadPlusOne));
        return forward ? rate : -rate;
    }
    return static_cast<int32_t>(velocity);
}

double MotionAxis::targetProfileSpeed(const MotionLimits &limits) const
{
    const double distance = double(targetPosition) - exactPosition();
    double limit = std::max(0, limits.maxSpeed);
    if (limits.maxDecel > 0) {
        // The fastest speed from which braking by maxDecel every tick still
        // stops at the target: with n ticks of braking left, the distance is
        // step * TickSeconds * n (n + 1) / 2. Following it, the speed drops by
        // exactly one tick's deceleration per tick, so the axis neither brakes
        // harder than maxDecel nor passes the target.
        const double step = limits.maxDecel * TickSeconds;
        const double n = (std::sqrt(1.0 + 8.0 * std::abs(distance) / (step * TickSeconds)) - 1.0) / 2.0;
        limit = std::min(limit, n * step);
    }
    return distance >= 0 ? limit : -limit;
}

void MotionAxis::tick(const MotionLimits &limits, bool allowed)
{
    if (!allowed) {
        velocity = 0;
        return;
    }
    switch (mode) {
    case Drive::None:
        velocity = 0;
        return;
    case Drive::StepGenerator: {
        // Whole timer periods only: the count is exact at any rate.
        velocity = (forward ? 1.0 : -1.0) * double(StepClockHz) / double(reloadPlusOne);
        pendingTicks += StepClockHz / 1000;
        const auto steps = static_cast<int64_t>(pendingTicks / reloadPlusOne);
        pendingTicks %= reloadPlusOne;
        whole = wrapped(whole, forward ? steps : -steps);
        return;
    }
    case Drive::Target:
    case Drive::Run:
        break;
    }

    double wanted = 0;
    if (!braking) {
        if (mode == Drive::Target) {
            wanted = targetProfileSpeed(limits);
        } else {
            const double top = std::max(0, limits.maxSpeed);
            wanted = std::max(-top, std::min(top, requestedSpeed));
        }
    }
    velocity = approach(velocity, wanted, limits);

    if (mode == Drive::Target && !braking) {
        const double distance = double(targetPosition) - exactPosition();
        const double move = velocity * TickSeconds;
        const bool reaches = distance >= 0 ? move >= distance : move <= distance;
        // Reaching the target at a speed one tick of braking takes away is
        // arriving; faster (a re-planned move with too little room) the axis
        // passes it, brakes and comes back.
        if (reaches && std::abs(velocity) <= perTick(limits.maxDecel) * (1 + 1e-9) + 1e-9) {
            arrive();
            return;
        }
    }
    advance(velocity);
    if (braking && velocity == 0) {
        mode = Drive::None;
        braking = false;
    }
}

void MotionAxis::arrive()
{
    whole = static_cast<int32_t>(targetPosition);
    fraction = 0;
    velocity = 0;
    mode = Drive::None;
}

void MotionAxis::advance(double steps1000)
{
    // steps/s over one millisecond is that many thousandths of a step.
    fraction += steps1000;
    double carry = std::floor(fraction / 1000.0);
    fraction -= carry * 1000.0;
    if (fraction >= 1000.0) { // rounding at the edge
        fraction -= 1000.0;
        carry += 1;
    }
    if (fraction < 0)
        fraction = 0;
    whole = wrapped(whole, static_cast<int64_t>(carry));
}
