// The motion record several front ends share on one board: a client's move
// may lend the board a speed profile of its own, but every stop brakes with
// the configured deceleration, and the configured profile comes back once
// the lent one's move is over.
#include "config/DriverRegisterCodec.h"
#include "device/TorvanDRV.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Where a motor at position, going at speed (steps/s), comes to rest when it
// brakes at decel (steps/s²): rounded away from it, so that the target never
// asks for harder braking. No ramp (decel 0 or less) stops where it is.
int32_t restingPoint(int32_t position, int32_t speed, int32_t decel)
{
    if (decel <= 0 || speed == 0)
        return position;
    const double v = double(speed);
    const double distance = std::ceil(v * v / (2.0 * double(decel)));
    const double target = double(position) + (speed > 0 ? distance : -distance);
    return int32_t(
        std::clamp(target, double(std::numeric_limits<int32_t>::min()), double(std::numeric_limits<int32_t>::max())));
}

bool sameProfile(const TrajectoryDataRecord &a, const TrajectoryDataRecord &b)
{
    return a.MaxSpeed == b.MaxSpeed && a.MaxAccel == b.MaxAccel && a.MaxDecel == b.MaxDecel;
}

void keepProfile(TrajectoryDataRecord &record, const TrajectoryDataRecord &of)
{
    record.MaxSpeed = of.MaxSpeed;
    record.MaxAccel = of.MaxAccel;
    record.MaxDecel = of.MaxDecel;
}

} // namespace

void TorvanDRV::LendTrajectory(const TrajectoryDataRecord &trajectory, bool autoRun, bool binxButtons)
{
    const TrajectoryDataRecord configured = boardTrajectory;
    sendTrajectory(trajectory, static_cast<unsigned char>((autoRun ? 2 : 0) | (binxButtons ? 1 : 0)));
    keepSentTrajectory(trajectory, autoRun, binxButtons);
    keepProfile(boardTrajectory, configured);
    profileLent = !sameProfile(trajectory, configured);
    lentTarget = trajectory.FinalPosition;
}

TrajectoryDataRecord TorvanDRV::configuredOnBoard() const
{
    TrajectoryDataRecord record = boardMotion;
    keepProfile(record, boardTrajectory);
    return record;
}

void TorvanDRV::StopMotion()
{
    // The stop command acts in the trajectory modes: a move, the external
    // buttons' moves, speed mode.
    const int32_t mode = RTData.OperatingMode;
    const bool trajectoryMode = mode == 4 || mode == 5 || mode == 6;
    if (trajectoryMode && boardMotionKnown && boardMotion.MaxDecel != boardTrajectory.MaxDecel) {
        // The board brakes with its record's deceleration and takes a new
        // record at once, also while it brakes: the configured one first.
        log(QStringLiteral("Stop with the configured deceleration %1 (the board's motion record had %2)")
                .arg(boardTrajectory.MaxDecel)
                .arg(boardMotion.MaxDecel));
        TrajectoryDataRecord record = configuredOnBoard();
        record.FinalPosition = restingPoint(RTData.CurrentPosition, RTData.CurrentSpeed, record.MaxDecel);
        if (mode == 6)
            record.RequestedSpeed = 0;
        profileLent = false;
        sendTrajectory(record, static_cast<unsigned char>(mode == 6 ? 2 : mode == 5 ? 1 : 0));
    }
    StopTrajectory();
}

bool TorvanDRV::WithinPositionLimits(int64_t target) const
{
    return ClampedToPositionLimits(target) == target;
}

int32_t TorvanDRV::ClampedToPositionLimits(int64_t target) const
{
    // Limits that cross (a record filled by hand) hold the target at the
    // lower one, as the window's boxes would.
    const int64_t lower = TrajectoryData.PosLimitLower;
    const int64_t upper = std::max<int64_t>(TrajectoryData.PosLimitUpper, lower);
    return int32_t(std::clamp(target, lower, upper));
}

void TorvanDRV::takeReportedMotion(const TrajectoryDataRecord &window, const TrajectoryDataRecord &configured)
{
    DriverRegisterCodec::OtherSettings2TrajectoryData(DriverRegisterCodec::Buffer2OtherSettings(InputReport),
                                                      boardMotion);
    boardMotionKnown = true;
    if (!profileLent)
        return;
    // Read while a client's move has the board (after a reconnection, or
    // by a settings read): that profile is the move's, not the settings'.
    profileLent = !sameProfile(boardMotion, configured);
    keepProfile(TrajectoryData, window);
    keepProfile(boardTrajectory, configured);
}

void TorvanDRV::putBackLentProfile()
{
    if (!profileLent || !Connected || RTData.OperatingMode != 4 || RTData.CurrentSpeed != 0 ||
        RTData.CurrentPosition != lentTarget)
        return;
    // At rest at its target: the move is over. The same target again moves
    // nothing.
    profileLent = false;
    TrajectoryDataRecord record = configuredOnBoard();
    record.FinalPosition = lentTarget;
    sendTrajectory(record, 0);
}
