#pragma once

#include "config/DriverConfig.h"
#include "device/Clock.h"
#include "device/HidTransport.h"
#include "device/OperatorDialogs.h"
#include "device/Records.h"

#include <QObject>
#include <QString>

#include <functional>
#include <random>
#include <set>
#include <vector>

class Logger;
class QTimer;

// The device object: finds the board on the USB bus, opens it, frames,
// scrambles and sends command reports, polls and decodes the board's reports
// into its records and signals when new data is there. There is one for the
// whole process; everything runs on the GUI thread.
class TorvanDRV : public QObject
{
    Q_OBJECT
public:
    TorvanDRV();
    ~TorvanDRV() override;

    // Seams. By default the device object uses the real USB bus and the
    // steady clock and answers no questions (every ask is Cancel). The
    // objects are not owned and must outlive their use.
    void SetTransport(HidTransport *transport);
    void SetClock(MonotonicClock *clock);
    void SetDialogs(OperatorDialogs *dialogs);
    // The dialogs the window puts its own questions and file choosers
    // through as well; null when none were set.
    OperatorDialogs *Dialogs() const { return dialogs; }
    void SetLogger(Logger *logger);
    // Only the board with this USB serial number is connected; others on
    // the bus are ignored. Empty (the default): the first board found.
    void SetSerialFilter(const QString &serial) { serialFilter = serial; }
    const QString &SerialFilter() const { return serialFilter; }
    // Whether an enumeration entry is a Torvan60 board by its USB identity
    // (ids and manufacturer), whatever the serial filter says.
    bool IsTorvanBoard(const HidDeviceEntry &entry) const;

    // ---- Connection lifecycle ----
    void StartTimers();
    void Connect();
    void Disconnect();
    bool IsConnected() const { return Connected; }
    bool IsDeviceFound() const { return DeviceFound; }
    // The board connected now answered the device information request (its
    // identity and firmware are in DriverInfo); DriverInfo still holds an
    // earlier board's until then.
    bool IsIdentified() const { return Identified; }
    bool IsReceiveTimerActive() const;
    const QString &ProductString() const { return productString; }
    const QString &SerialString() const { return serialString; }

    // ---- Framing ----
    void SendReport();
    // Spins for ms milliseconds on the clock without serving events.
    void BusyWait(int ms);

    // ---- Incoming reports ----
    void Buffer2RTData();

    // ---- Operations ----
    void GetDeviceInfo();
    void RestartDevice();
    void EnableDriver();
    void SleepDriver();
    void GetDriverName();
    void SetDriverName(const QString &name);
    // A name as the board keeps it: its UTF-8 form cut to 32 bytes, never in
    // the middle of a character.
    static QString KeptName(const QString &name);
    void GetDriverValues();
    // Reads the driver values, motion settings and name now, waiting up to
    // windowMs for the three replies without serving events (the receive
    // tick is held meanwhile; every report read is taken in as it would
    // be). False when one did not come or the board runs its boot loader.
    bool ReadSettingsNow(int windowMs);
    // Writes DrvSettings (the window's record) to the board.
    void WriteDriverValues();
    void SaveDriverValues();
    void ResetFaults();
    int32_t SetStepFrequency(int32_t rate);
    // The signed rate the step timer really produces for a requested one,
    // as SetStepFrequency returns it; nothing is sent.
    static int32_t ProducedStepRate(int32_t rate);
    // Sends TrajectoryData with the auto run and BINx button flags of
    // DrvSettings.
    void WriteTrajectory();
    void StopTrajectory();
    void SetHome();
    void TestButtons();
    void CalculatePWMTimers();
    void WritePWMSettings();

    // ---- What the board holds ----
    // DrvSettings and TrajectoryData are the window's working records: its
    // controls copy every edit into them, and they become the board's only
    // once written. The board's own settings are kept apart: the driver
    // values, mode flags and name as the board last reported them or was
    // last sent them, and its motion settings likewise. Of the motion
    // record, FinalPosition and RequestedSpeed are the target of the last
    // move and the speed of the last speed-mode run sent; the position
    // limits and jog steps are never the board's and stay 0 here. A board
    // connected anew (after a restart) is taken as holding what it held
    // until its first reports say otherwise.
    const DrvSettingsRecord &OnBoardSettings() const { return boardSettings; }
    const TrajectoryDataRecord &OnBoardTrajectory() const { return boardTrajectory; }
    // The register image the board last reported or was last sent.
    const DriverRegistersRecord &OnBoardRegisters() const { return boardRegisters; }
    // Writes, sends or names with records other than the working ones (a
    // remote client's), leaving DrvSettings, TrajectoryData and
    // DriverRegisters as they are. SendDriverName gives the name as the
    // board keeps it (32 bytes of UTF-8).
    void SendDriverValues(const DrvSettingsRecord &settings);
    void SendTrajectory(const TrajectoryDataRecord &trajectory, bool autoRun, bool binxButtons);
    QString SendDriverName(const QString &name);

    // ---- Motion shared by several front ends ----
    // A client's move or run with a speed profile of its own: the board has
    // that profile only while this motion lasts. The board's settings (the
    // record above) keep the configured profile, the one the last settings
    // write gave it; once the motor rests at the target, the configured
    // profile is put back on the board.
    void LendTrajectory(const TrajectoryDataRecord &trajectory, bool autoRun, bool binxButtons);
    // The stop of every front end (the window's Stop button and Escape key,
    // the service's stop): the motor brakes with the configured deceleration
    // (OnBoardTrajectory().MaxDecel), whatever a move asked for. When the
    // board's motion record holds another profile, a trajectory command
    // first puts the configured one back, aimed where the motor comes to
    // rest at that deceleration (in speed mode: a requested speed of 0);
    // otherwise only the stop command goes out.
    void StopMotion();
    // The position limits every front end keeps targets within
    // (TrajectoryData.PosLimitLower to PosLimitUpper, both included): the
    // service refuses a target outside them, the window's controls and jogs
    // stop at the nearer one.
    bool WithinPositionLimits(int64_t target) const;
    int32_t ClampedToPositionLimits(int64_t target) const;

    // ---- Driver configuration ----
    void DrvSettings2DriverRegisters();
    void DriverRegisters2Buffer();
    void DriverRegisters2DrvSettings();
    QString DrvSettings2String() const;
    void String2DrvSettings(const QString &line);
    QString DriverRegisters2String() const;

    // ---- Settings files ----
    // Writes DrvSettings and TrajectoryData to an INI settings file; false
    // when it could not be written.
    bool SaveSettingsToFile(const QString &path);
    // Reads a settings file into DrvSettings and TrajectoryData, held as the
    // driver setup controls take the values (currents up to 15 A with
    // developerCurrents), and logs one line per value that was missing or
    // adjusted. A file that is no settings file changes nothing, is logged,
    // and gives false.
    bool LoadSettingsFromFile(const QString &path, bool developerCurrents = false);

    // ---- Firmware ----
    void FullUpdate();
    // The board is about to leave its application for a firmware update:
    // before an agreed restart into the boot loader and at the start of
    // every full update. A slot connected directly runs before anything is
    // sent (and may read the board's settings with ReadSettingsNow).
    // How the last FullUpdate ended.
    FullUpdateRecord LastFullUpdate;

    // ---- Records (the window reads and writes them directly) ----
    DrvSettingsRecord DrvSettings;
    QString VendorString;
    unsigned char OutputReport[Report::OutputSize] = {};
    unsigned char InputReport[Report::InputSize] = {};
    bool ReplyReceived = false;
    int32_t BusyCode = 0;
    RTDataRecord RTData;
    DriverInfoRecord DriverInfo;
    int32_t InfoAttempts = 0;
    int32_t StepFrequency = 0;
    int32_t StepDirection = 0;
    int32_t StepReload = 0;
    TrajectoryDataRecord TrajectoryData;
    PWMDataRecord PWMData;
    DriverRegistersRecord DriverRegisters;
    uint32_t LinkKey = 0;
    double TimingTable[13] = {400, 450, 650, 850, 43, 250, 500, 1000, 2000, 50, 100, 150, 200};

signals:
    void firmwareUpdateStarting();
    void newDriverInfoAvailable();
    void newDriverValuesAvailable();
    void newRTDataAvailable();
    void newFWProgressValueAvailable();

private slots:
    void USBEnumTimerHandler();
    void USBRXTimerHandler();
    void EnableRTStream();
    void EncodeData(unsigned char *data, unsigned int nKey);
    void ClearHIDReadBuffer();
    void CheckFirmware();
    unsigned int CalculateCRC(int nSector, const unsigned char *Flash);
    void Buffer2DriverRegisters();
    void Buffer2OtherSettings();
    void VM_T_Filter();

private:
    static constexpr int ReceivePeriodMs = 10;
    static constexpr int32_t Busy = 111;          // BusyCode while a blocking exchange runs
    static constexpr int MaxDrainedReports = 256; // reports ClearHIDReadBuffer discards at most
    static constexpr int MaxReadLinesPerSecond = 10;

    void log(const QString &text);
    // An exception caught at the top of an entry point: the operator's box,
    // its text logged.
    // Tells the operator text (marked QT_TR_NOOP) translated, and the log it
    // in English.
    void reportException(const QString &title, const char *text);
    // GetDeviceInfo without its exception guard, for Connect, whose own
    // guard reports a failure there as a failed connection.
    void exchangeDeviceInfo();
    // FullUpdate without its exception guard.
    void updateFirmware();
    bool isMatchingBoard(const HidDeviceEntry &entry) const;
    bool isListed(const std::string &path) const;
    void checkUnpolledBoard();
    void dispatchInputReport();
    // The line for a report that is neither live data nor an echo, at most
    // MaxReadLinesPerSecond a second; the rest summed up once a second.
    void logReportRead();
    void summariseReportsRead();
    void decodeDriverInfo();
    // The trajectory command for a record, with these mode bits (bit 0 the
    // external buttons, bit 1 speed mode); what the board's motion record
    // holds from then on.
    void sendTrajectory(const TrajectoryDataRecord &record, unsigned char modeBits);
    // The board's settings after a trajectory command in these modes.
    void keepSentTrajectory(const TrajectoryDataRecord &t, bool autoRun, bool binxButtons);
    // The configured profile with the motion record the board holds.
    TrajectoryDataRecord configuredOnBoard() const;
    // The other-settings reply just decoded, over the working and the
    // board's records as they were before it: the board's motion record
    // noted, and a lent profile not taken for the configured one.
    void takeReportedMotion(const TrajectoryDataRecord &window, const TrajectoryDataRecord &configured);
    // A live report: a lent profile goes once its move has ended.
    void putBackLentProfile();
    // One non-blocking read into the input record; the HID layer's count.
    int readReport();
    enum class PollResult { Reply, NoReply, ReadFailed };
    // Reads without pause until isReply() accepts a 64-byte report or
    // windowMs have passed (the end included). A failed read disconnects.
    PollResult pollReply(int windowMs, const std::function<bool()> &isReply);
    // The busy check and log line of a write of the driver values; false
    // when nothing is to be sent.
    bool beginDriverValuesWrite();
    // Sends the write-values command for this register image and these
    // settings; the board's record follows what was sent.
    void sendDriverValues(const DriverRegistersRecord &registers, const DrvSettingsRecord &settings);
    // Takes a driver registers reply into the board's record.
    void takeBoardRegisters();

    DrvSettingsRecord boardSettings;
    TrajectoryDataRecord boardTrajectory;
    DriverRegistersRecord boardRegisters;

    bool Connected = false;
    bool DeviceFound = false;
    bool Identified = false;
    QString productString;
    QString serialString;
    QString serialFilter;
    Logger *logger = nullptr;
    QTimer *enumTimer = nullptr;
    QTimer *rxTimer = nullptr;
    std::vector<HidDeviceEntry> enumerationList;
    HidHandle *handle = nullptr;
    // Boards that could not be opened are tried again on every tick, but
    // logged only once until they leave the bus or open.
    std::set<std::string> failedOpenPaths;
    qint64 readLogSecondStart = 0;
    int readLinesThisSecond = 0;
    int readsNotLogged = 0;
    int32_t liveModeBefore = 0; // operating mode of the previous live report
    // The board's motion record as far as known: what the last trajectory
    // command carried or the board reported since, a lent profile included.
    TrajectoryDataRecord boardMotion;
    bool boardMotionKnown = false;
    // A client's profile is on the board, for its move to this target.
    bool profileLent = false;
    int32_t lentTarget = 0;
    double voltageHistory[5] = {0, 0, 0, 0, 0};
    double temperatureHistory[5] = {0, 0, 0, 0, 0};

    HidTransport *transport;
    MonotonicClock *clock;
    OperatorDialogs *dialogs = nullptr;
    std::minstd_rand random; // never seeded: the same sequence in every run
};
