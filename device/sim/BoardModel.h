#pragma once

#include "device/sim/FlashModel.h"

#include <QtGlobal>

#include <array>
#include <vector>

using InputReportBytes = std::array<unsigned char, 64>;

// What the simulated board is and does inside: identity, firmware state,
// inputs, driver state, live values. The link side (USB presence, report
// queue, scrambling, streaming pace) is SimulatedBoard's.
class BoardModel
{
public:
    explicit BoardModel(int index);

    // Moves the simulated world (motor, temperature, idle timer) up to nowMs.
    void advanceTo(qint64 nowMs);

    // Contents of the device information report (type 0x01).
    void fillDeviceInfo(InputReportBytes &report) const;
    // Contents of one live-data report (type 0xA0).
    void fillLiveReport(InputReportBytes &report) const;

    // Obeys one plain command report (65 bytes, byte 2 the command code)
    // other than device information, live stream and restart, which the link
    // side handles. Replies are appended to replies.
    void handleCommand(const unsigned char *plain, qint64 nowMs, std::vector<InputReportBytes> &replies);

    // A commanded restart: unsaved settings are lost; the board comes back in
    // its boot loader or its application.
    void restart();
    // Power comes back after the board was unplugged.
    void powerUp();

    // ---- Identity and firmware ----
    std::array<unsigned char, 16> uniqueId{};
    unsigned char blVersionHigh = 0x01;
    unsigned char blVersionLow = 0x05;
    unsigned char apVersionHigh = 0x01;
    unsigned char apVersionLow = 0x23;
    bool bootloaderRunning = false;
    bool signatureValid = true;
    static constexpr unsigned char ApplicationMode = 0x01;
    // The flash and the boot loader's flash commands (erase, write, sector
    // checksum, signature), obeyed only while the boot loader runs.
    FlashModel flash;

    // ---- Live values (tests may set them) ----
    double supplyVoltage = 24.0;     // volts
    double temperature = 31.5;       // degrees Celsius
    unsigned char inputs = 0;        // bit 0 boot loader override ... bit 6 end switch
    unsigned char faultFlags = 0;    // six fault bits
    unsigned char driverState = 1;   // 0 no power, 1 sleep, 2 active, 3 idle, 4 overheated, 5 PWM
    unsigned char operatingMode = 1; // 1 default (external step/dir)
    unsigned char currentGainCode = 2;
    unsigned char rawCurrent = 0;
    int32_t position = 0;
    int32_t speed = 0;
    uint16_t trajTickRaw = 500; // live report carries TrajTickRate / 20

private:
    void startApplication();

    int index;
};
