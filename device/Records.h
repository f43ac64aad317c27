#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Live data of the board, decoded from every live-data report.
struct RTDataRecord
{
    double SupplyVoltage = 0;
    double Temperature = 0;
    double MotorCurrent = 0;
    double FilteredVoltage = 0;
    double FilteredTemperature = 0;
    bool InpBootloaderOverride = false;
    bool InpSleep = false;
    bool InpStep = false;
    bool InpDir = false;
    bool InpBin1 = false;
    bool InpBin2 = false;
    bool InpEndSwitch = false;
    bool MotorPowerOK = false;
    int32_t FaultFlags = 0;
    int32_t OperatingMode = 0;
    int32_t DriverState = 0;
    int32_t TrajTickRate = 0;
    int32_t RTSampleCounter = 0; // counted by the window, not decoded
    int32_t CurrentPosition = 0;
    int32_t CurrentSpeed = 0;
};

// The board's identity and firmware versions, from the device information
// report.
struct DriverInfoRecord
{
    bool SignatureValid = false;
    bool BootloaderActive = false;
    bool FirmwareUpToDate = false;
    int32_t BLVersionHigh = 0;
    int32_t BLVersionLow = 0;
    int32_t APVersionHigh = 0;
    int32_t APVersionLow = 0;
    int32_t DeviceMode = 0;
    QString UniqueIDText;
};

// How the last full update ended, for a caller that must act on it (the log
// tells the operator the same).
struct FullUpdateRecord
{
    enum class Outcome {
        NotRun,
        Running,
        Restarted,      // every checksum agreed; signature written, restart sent
        ChecksumFailed, // the board stays connected in its boot loader, unsigned
        Lost,           // the board left (or was never there)
        Aborted,        // an unexpected error ended it
    };
    Outcome outcome = Outcome::NotRun;
    std::vector<int> wrongSectors;      // their checksum differed from the image's
    std::vector<int> unansweredSectors; // no checksum reply came for them
};

// Report layout facts shared by the device object and the simulated board.
namespace Report {
constexpr unsigned short VendorId = 0x2E4A;
constexpr unsigned short ProductId = 0x0B71;
constexpr int OutputSize = 65;
constexpr int InputSize = 64;
constexpr int TypeByte = 15;
constexpr unsigned char BootloaderMode = 0xB0;
constexpr uint32_t SignatureWord = 0xBABE3DC2u;

// Command codes (output byte 2).
enum Command : unsigned char {
    CmdGetDeviceInfo = 0x01,
    CmdRestart = 0x02,
    CmdEraseSector = 0x03,
    CmdWriteSubsector = 0x04,
    CmdWriteSignature = 0x05,
    CmdReadSectorCRC = 0x06,
    CmdWriteDriverValues = 0x80,
    CmdReadDriverRegisters = 0x81,
    CmdSaveDriverValues = 0x82,
    CmdResetFaults = 0x86,
    CmdReadOtherSettings = 0x88,
    CmdSetStepFrequency = 0x90,
    CmdEnableRTStream = 0xA0,
    CmdSetDriverEnable = 0xA1,
    CmdWritePWMSettings = 0xB0,
    CmdWriteTrajectory = 0xB1,
    CmdStopTrajectory = 0xB2,
    CmdSetHome = 0xB3,
    CmdTestButtons = 0xB4,
    CmdSetDriverName = 0xC0,
    CmdGetDriverName = 0xC1,
};

// Input report types (input byte 15).
enum Type : unsigned char {
    RptDeviceInfo = 0x01,
    RptDriverRegisters = 0x81,
    RptOtherSettings = 0x87,
    RptRTData = 0xA0,
    RptDriverName = 0xC0,
    // Echoes of the step-rate, PWM and trajectory commands: frequent, so
    // neither logged nor decoded.
    RptStepFrequencyEcho = 0x90,
    RptPWMEcho = 0xB0,
    RptTrajectoryEcho = 0xB1,
};
} // namespace Report
