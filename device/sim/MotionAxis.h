#pragma once

#include <cstdint>

// The speed profile the trajectory commands use, in steps/s and steps/s².
// An acceleration or deceleration of 0 or less means no ramp: the speed
// changes at once.
struct MotionLimits
{
    int32_t maxSpeed = 0;
    int32_t maxAccel = 0;
    int32_t maxDecel = 0;
};

// The simulated board's one stepper axis: where it is, how fast it goes and
// what drives it. Time moves in fixed steps of one millisecond (tick()), so
// a run is the same whatever pace the caller advances the clock at.
//
// Position is counted in whole steps (a 32-bit counter that wraps like the
// board's) plus the fraction of a step done so far, in thousandths of a step,
// so that whole-number speeds add up without rounding drift.
class MotionAxis
{
public:
    static constexpr double TickSeconds = 0.001;
    // The step generator's timer counts at this rate.
    static constexpr int64_t StepClockHz = 4800000;

    enum class Drive {
        None,          // at rest, nothing pending
        StepGenerator, // fixed rate from the step timer, no ramp
        Target,        // trapezoidal move to a target position
        Run            // ramps to a signed speed and keeps it
    };

    // ---- Commands ----
    // Steps at StepClockHz / (reload + 1) in the given direction at once.
    void startStepGenerator(uint32_t reload, bool positive);
    // Moves to target along the profile, starting from the present position
    // and speed: a move in progress is re-planned, not restarted.
    void moveTo(int64_t target);
    // Ramps to speed (signed steps/s) and keeps running.
    void runAt(double speed);
    // Decelerates to rest with the profile's deceleration; whatever drove
    // the axis ends when it stands.
    void stop();
    // Stands at once, nothing pending.
    void halt();
    // The present position becomes 0, where the axis stands still.
    void setHome();
    // Takes a position set from outside (a test writing the board's field).
    void adoptPosition(int32_t position);

    // ---- Time ----
    // One millisecond. When not allowed to move (asleep, no power, a fault,
    // the end switch) the axis stands and keeps what drives it, to go on
    // from rest once it may move again.
    void tick(const MotionLimits &limits, bool allowed);
    // Whether tick() can change anything.
    bool busy(bool allowed) const;

    // ---- State ----
    Drive drive() const { return mode; }
    bool stopping() const { return braking; }
    int32_t position() const { return whole; }
    // Exact position including the step in progress.
    double exactPosition() const { return whole + fraction / 1000.0; }
    double speed() const { return velocity; }
    // What the live data reports: steps/s, toward zero, the step generator's
    // rate as its timer really produces it.
    int32_t reportedSpeed() const;
    int64_t target() const { return targetPosition; }
    double runSpeed() const { return requestedSpeed; }

private:
    void advance(double steps1000);
    void arrive();
    double targetProfileSpeed(const MotionLimits &limits) const;

    Drive mode = Drive::None;
    bool braking = false;
    int32_t whole = 0;
    double fraction = 0; // thousandths of a step, 0 <= fraction < 1000
    double velocity = 0; // steps/s
    int64_t targetPosition = 0;
    double requestedSpeed = 0;
    // Step generator: timer reload, direction, timer ticks not yet a step.
    uint64_t reloadPlusOne = 1;
    bool forward = true;
    uint64_t pendingTicks = 0;
};
