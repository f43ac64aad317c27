// Device operations: each fills the command code and its payload bytes into
// the output buffer and sends it. Bytes an operation does not set keep what
// the buffer held after the previous send.
#include "config/DriverRegisterCodec.h"
#include "config/SettingsFile.h"
#include "device/ByteOrder.h"
#include "device/TorvanDRV.h"
#include "log/LogText.h"

#include <QByteArray>
#include <QTimer>

#include <algorithm>
#include <cstring>

using namespace ByteOrder;

namespace {

// The board's step generator and PWM timer count at these rates; both divide
// with truncation.
constexpr int64_t StepClockHz = 4800000;
constexpr int32_t PwmClockHz = 480000;

// The board keeps at most this many name bytes.
constexpr int NameBytes = 32;

// The UTF-8 form of a name cut to what the board keeps, never in the middle
// of a character.
QByteArray nameBytes(const QString &name)
{
    QByteArray bytes = name.toUtf8();
    if (bytes.size() > NameBytes) {
        int cut = NameBytes;
        while (cut > 0 && (static_cast<unsigned char>(bytes.at(cut)) & 0xC0) == 0x80)
            --cut; // the first byte left out continues a character: drop that character whole
        bytes.truncate(cut);
    }
    return bytes;
}

} // namespace

void TorvanDRV::RestartDevice()
{
    log(QStringLiteral("Restarting device..."));
    OutputReport[2] = Report::CmdRestart;
    SendReport();
}

void TorvanDRV::EnableDriver()
{
    log(QStringLiteral("Enabling driver (out of Sleep)."));
    OutputReport[2] = Report::CmdSetDriverEnable;
    OutputReport[21] = 1;
    SendReport();
}

void TorvanDRV::SleepDriver()
{
    log(QStringLiteral("Stopping driver (Sleep)."));
    OutputReport[2] = Report::CmdSetDriverEnable;
    OutputReport[21] = 0;
    SendReport();
}

void TorvanDRV::GetDriverName()
{
    log(QStringLiteral("Getting Torvan driver name..."));
    // The request goes out twice; sending scrambles the buffer in place, so
    // the code is written again before each send.
    for (int i = 0; i < 2; ++i) {
        OutputReport[2] = Report::CmdGetDriverName;
        SendReport();
        BusyWait(20);
    }
}

QString TorvanDRV::KeptName(const QString &name)
{
    return QString::fromUtf8(nameBytes(name));
}

void TorvanDRV::SetDriverName(const QString &name)
{
    // The record holds the name as the board will keep it.
    DrvSettings.DriverName = SendDriverName(name);
}

QString TorvanDRV::SendDriverName(const QString &name)
{
    OutputReport[2] = Report::CmdSetDriverName;
    std::memset(OutputReport + 3, 0, 61); // bytes 3..63
    const QByteArray bytes = nameBytes(name);
    std::memcpy(OutputReport + 3, bytes.constData(), static_cast<size_t>(bytes.size()));
    // The log holds the name as the board will keep it.
    const QString sent = QString::fromUtf8(bytes);
    log(QStringLiteral("Changing device custom name to: ") + LogText::escaped(sent));
    SendReport();
    if (Connected)
        boardSettings.DriverName = sent;
    return sent;
}

void TorvanDRV::GetDriverValues()
{
    log(QStringLiteral("Getting Torvan driver values..."));
    for (int i = 0; i < 2; ++i) {
        OutputReport[2] = Report::CmdReadDriverRegisters;
        SendReport();
        BusyWait(50);
    }
    for (int i = 0; i < 2; ++i) {
        OutputReport[2] = Report::CmdReadOtherSettings;
        SendReport();
        BusyWait(50);
    }
}

void TorvanDRV::WriteDriverValues()
{
    if (!beginDriverValuesWrite())
        return;
    DrvSettings2DriverRegisters();
    sendDriverValues(DriverRegisters, DrvSettings);
}

void TorvanDRV::SendDriverValues(const DrvSettingsRecord &settings)
{
    if (!beginDriverValuesWrite())
        return;
    // Composed over the board's image: a field without an encoding keeps
    // what the board holds.
    DriverRegistersRecord registers = boardRegisters;
    DriverRegisterCodec::DrvSettings2DriverRegisters(settings, registers);
    sendDriverValues(registers, settings);
}

bool TorvanDRV::beginDriverValuesWrite()
{
    if (BusyCode > 0)
        return false;
    BusyCode = Busy;
    log(QStringLiteral("Writing Torvan driver values..."));
    // Not connected: stays busy until a receive tick or an identity exchange
    // clears it.
    return Connected;
}

void TorvanDRV::sendDriverValues(const DriverRegistersRecord &registers, const DrvSettingsRecord &settings)
{
    DriverRegisterCodec::DriverRegisters2Buffer(registers, settings, OutputReport);
    rxTimer->stop();
    OutputReport[2] = Report::CmdWriteDriverValues;
    InputReport[Report::TypeByte] = 0xFF;
    ReplyReceived = false;
    SendReport();
    if (Connected) {
        rxTimer->start(ReceivePeriodMs);
        // The board holds what was sent, as it will report it; the name
        // does not travel with the values.
        const QString name = boardSettings.DriverName;
        boardRegisters = registers;
        boardSettings = settings;
        boardSettings.DriverName = name;
        DriverRegisterCodec::DriverRegisters2DrvSettings(boardRegisters, boardSettings);
        const unsigned char mode = DriverRegisterCodec::ModeByte(settings);
        boardSettings.BINxButtonsMode = mode == DriverRegisterCodec::ModeBINxButtons;
        boardSettings.AutoRunMode = mode == DriverRegisterCodec::ModeAutoRun;
    }
    BusyCode = 0;
}

void TorvanDRV::SaveDriverValues()
{
    OutputReport[2] = Report::CmdSaveDriverValues;
    SendReport();
    log(QStringLiteral("Saving Torvan driver values..."));
}

void TorvanDRV::ResetFaults()
{
    OutputReport[2] = Report::CmdResetFaults;
    SendReport();
}

int32_t TorvanDRV::SetStepFrequency(int32_t rate)
{
    // Worked in 64 bits so that the most negative rate has a magnitude. The
    // step clock cannot step faster than once per tick: a larger magnitude is
    // sent as that fastest rate rather than dividing by zero.
    const int64_t magnitude = std::min<int64_t>(rate < 0 ? -int64_t(rate) : int64_t(rate), StepClockHz);
    StepFrequency = static_cast<int32_t>(magnitude);
    StepDirection = rate < 0 ? 0 : 1;
    OutputReport[2] = Report::CmdSetStepFrequency;
    if (rate == 0) {
        StepReload = -1;
        putLE32(OutputReport + 21, StepReload);
        OutputReport[25] = 1;
        SendReport();
        return 0;
    }
    StepReload = static_cast<int32_t>(StepClockHz / magnitude - 1);
    putLE32(OutputReport + 21, StepReload);
    OutputReport[25] = static_cast<unsigned char>(StepDirection);
    SendReport();
    return ProducedStepRate(rate);
}

int32_t TorvanDRV::ProducedStepRate(int32_t rate)
{
    if (rate == 0)
        return 0;
    // One step per whole number of timer ticks, at least one.
    const int64_t magnitude = std::min<int64_t>(rate < 0 ? -int64_t(rate) : int64_t(rate), StepClockHz);
    const auto produced = static_cast<int32_t>(StepClockHz / (StepClockHz / magnitude));
    return rate < 0 ? -produced : produced;
}

void TorvanDRV::WriteTrajectory()
{
    SendTrajectory(TrajectoryData, DrvSettings.AutoRunMode, DrvSettings.BINxButtonsMode);
}

void TorvanDRV::SendTrajectory(const TrajectoryDataRecord &t, bool autoRun, bool binxButtons)
{
    // A settings write: its profile is the configured one from now on.
    profileLent = false;
    sendTrajectory(t, static_cast<unsigned char>((autoRun ? 2 : 0) | (binxButtons ? 1 : 0)));
    keepSentTrajectory(t, autoRun, binxButtons);
}

void TorvanDRV::sendTrajectory(const TrajectoryDataRecord &t, unsigned char modeBits)
{
    unsigned char *out = OutputReport;
    out[2] = Report::CmdWriteTrajectory;
    out[3] = modeBits;
    putLE32(out + 21, t.FinalPosition);
    putLE32(out + 25, t.MaxSpeed);
    putLE32(out + 29, t.MaxAccel);
    putLE32(out + 33, t.MaxDecel);
    out[37] = static_cast<unsigned char>((t.EnableEndSwitch ? 0x01 : 0) | (t.NCTypeSwitch ? 0x02 : 0) |
                                         (t.AutoRunInvertDirection ? 0x04 : 0));
    putLE32(out + 41, t.BIN1Steps);
    putLE32(out + 45, t.BIN2Steps);
    putLE32(out + 49, t.RequestedSpeed);
    SendReport();
    boardMotion = t;
    boardMotionKnown = true;
}

void TorvanDRV::keepSentTrajectory(const TrajectoryDataRecord &t, bool autoRun, bool binxButtons)
{
    if (!Connected)
        return;
    // The board keeps the motion settings, not the holder's own ones; it
    // runs auto run when told both modes. The speed counts only in speed
    // mode, the target only in a move.
    TrajectoryDataRecord kept = t;
    SettingsFile::TakeHolderSettings(boardTrajectory, kept);
    if (autoRun)
        kept.RequestedSpeed = t.RequestedSpeed;
    if (autoRun || binxButtons)
        kept.FinalPosition = boardTrajectory.FinalPosition;
    boardTrajectory = kept;
    boardSettings.AutoRunMode = autoRun;
    boardSettings.BINxButtonsMode = binxButtons && !autoRun;
}

void TorvanDRV::StopTrajectory()
{
    OutputReport[2] = Report::CmdStopTrajectory;
    SendReport();
    log(QStringLiteral("Stop trajectory..."));
}

void TorvanDRV::SetHome()
{
    OutputReport[2] = Report::CmdSetHome;
    SendReport();
    log(QStringLiteral("Settign home..."));
}

void TorvanDRV::TestButtons()
{
    OutputReport[2] = Report::CmdTestButtons;
    OutputReport[3] = TrajectoryData.TestButton;
    SendReport();
    log(QStringLiteral("Testing buttons..."));
    TrajectoryData.TestButton = 0;
}

void TorvanDRV::CalculatePWMTimers()
{
    // The timer period is a whole number of timer ticks: at least one tick and
    // at most one second. A frequency outside that is computed at the nearest
    // end; the requested value itself is left as the window set it.
    const int32_t frequency = qBound<int32_t>(1, PWMData.PWMFrequency, PwmClockHz);
    const int32_t period = PwmClockHz / frequency;
    PWMData.TimerReload = period - 1;
    PWMData.ActualFrequency = PwmClockHz / period;

    // Each duty goes out as one byte of percent: it is held within -100..100.
    const int32_t dutyA = qBound<int32_t>(-100, PWMData.DutyA, 100);
    const int32_t dutyB = qBound<int32_t>(-100, PWMData.DutyB, 100);
    PWMData.TimerAForward = dutyA > 0 ? dutyA : 0;
    PWMData.TimerAReverse = dutyA > 0 ? 0 : -dutyA;
    PWMData.TimerBForward = dutyB > 0 ? dutyB : 0;
    PWMData.TimerBReverse = dutyB > 0 ? 0 : -dutyB;
}

void TorvanDRV::WritePWMSettings()
{
    unsigned char *out = OutputReport;
    out[2] = Report::CmdWritePWMSettings;
    putLE32(out + 21, PWMData.TimerReload);
    out[25] = static_cast<unsigned char>(PWMData.TimerAForward);
    out[26] = static_cast<unsigned char>(PWMData.TimerAReverse);
    out[27] = static_cast<unsigned char>(PWMData.TimerBForward);
    out[28] = static_cast<unsigned char>(PWMData.TimerBReverse);
    SendReport();
}
