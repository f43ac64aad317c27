#include "device/TorvanDRV.h"

#include "config/DriverRegisterCodec.h"
#include "device/ByteOrder.h"
#include "device/Scrambler.h"
#include "log/LogText.h"
#include "log/Logger.h"

#include <QTimer>

#include <cstring>

using namespace ByteOrder;

namespace {

HidapiTransport &usbBus()
{
    static HidapiTransport transport;
    return transport;
}

SteadyClock &steadyClock()
{
    static SteadyClock clock;
    return clock;
}

constexpr int EnumerationPeriodMs = 200;
constexpr int DeviceInfoPollMs = 600;

// A board as the log names it; its USB strings are the device's words.
QString describeBoard(const QString &product, const QString &serial)
{
    return LogText::escaped(product) + QStringLiteral(" Serial: ") + LogText::escaped(serial);
}

} // namespace

TorvanDRV::TorvanDRV() : VendorString(QStringLiteral("Nelvar")), transport(&usbBus()), clock(&steadyClock())
{
    DrvSettings.TDrive = 0;
    DrvSettings.IDrive = 0;
    enumTimer = new QTimer();
    rxTimer = new QTimer();
}

TorvanDRV::~TorvanDRV()
{
    // The board handle is released with the process; nothing is sent.
    delete enumTimer;
    delete rxTimer;
}

void TorvanDRV::SetTransport(HidTransport *t)
{
    transport = t ? t : &usbBus();
}

void TorvanDRV::SetClock(MonotonicClock *c)
{
    clock = c ? c : &steadyClock();
}

void TorvanDRV::SetDialogs(OperatorDialogs *d)
{
    dialogs = d;
}

void TorvanDRV::SetLogger(Logger *l)
{
    logger = l;
}

void TorvanDRV::log(const QString &text)
{
    if (logger)
        logger->write(text);
}

bool TorvanDRV::IsReceiveTimerActive() const
{
    return rxTimer->isActive();
}

// ---------------------------------------------------------------------------
// Connection lifecycle

void TorvanDRV::StartTimers()
{
    connect(enumTimer, &QTimer::timeout, this, &TorvanDRV::USBEnumTimerHandler, Qt::UniqueConnection);
    enumTimer->start(EnumerationPeriodMs);
    connect(rxTimer, &QTimer::timeout, this, &TorvanDRV::USBRXTimerHandler, Qt::UniqueConnection);
}

bool TorvanDRV::IsTorvanBoard(const HidDeviceEntry &entry) const
{
    return entry.vendorId == Report::VendorId && entry.productId == Report::ProductId && entry.hasManufacturer &&
           entry.manufacturer == VendorString;
}

bool TorvanDRV::isMatchingBoard(const HidDeviceEntry &entry) const
{
    return IsTorvanBoard(entry) && (serialFilter.isEmpty() || entry.serialNumber == serialFilter);
}

bool TorvanDRV::isListed(const std::string &path) const
{
    for (const HidDeviceEntry &entry : enumerationList)
        if (entry.path == path)
            return true;
    return false;
}

void TorvanDRV::USBEnumTimerHandler()
{
    try {
        if (Connected && !rxTimer->isActive())
            checkUnpolledBoard();
        enumerationList = transport->enumerate(0, 0);
        DeviceFound = false;
        // A board that left the bus is announced again when it returns.
        for (auto it = failedOpenPaths.begin(); it != failedOpenPaths.end();)
            it = isListed(*it) ? std::next(it) : failedOpenPaths.erase(it);
        if (enumerationList.empty())
            return;
        for (const HidDeviceEntry &entry : enumerationList) {
            // The HID layer lists the board this process holds open; it is
            // not new. Other boards are ignored while one is connected.
            if (!isMatchingBoard(entry) || Connected)
                continue;
            DeviceFound = true;
            if (!failedOpenPaths.count(entry.path))
                log(QStringLiteral("Torvan60 device found. Serial: ") + entry.serialNumber);
        }
        if (DeviceFound)
            Connect();
    } catch (...) {
        if (dialogs)
            dialogs->notice(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Error enumerating devices")),
                            tr("Unexpected error occured while enumerating HID devices. Please try "
                               "reconnecting device."));
        log(QStringLiteral("Unexpected error occured while enumerating HID devices."));
    }
}

void TorvanDRV::checkUnpolledBoard()
{
    // Nothing reads a board whose receive tick has stopped (after a firmware
    // update, or after a read threw). If it has left the bus meanwhile, close
    // it so that it is found again when it comes back; whatever report is
    // pending is of no use to anyone.
    if (readReport() < 0) {
        log(QStringLiteral("HID read count < 0. Disconnecting device."));
        Disconnect();
    }
}

void TorvanDRV::Connect()
{
    try {
        // Retrying boards that would not open stays quiet.
        if (failedOpenPaths.empty())
            log(QStringLiteral("Trying to connect..."));
        enumerationList = transport->enumerate(0, 0);
        // Matching boards in list order; one that will not open (no access
        // rights, held elsewhere) does not keep the next one from being tried.
        const HidDeviceEntry *chosen = nullptr;
        for (const HidDeviceEntry &entry : enumerationList) {
            if (Connected || !isMatchingBoard(entry))
                continue;
            const QString id = describeBoard(entry.product, entry.serialNumber);
            const bool retrying = failedOpenPaths.count(entry.path) > 0;
            if (!retrying)
                log(QStringLiteral("Connecting to: ") + id + QStringLiteral("..."));
            handle = transport->openPath(entry.path);
            if (handle) {
                failedOpenPaths.erase(entry.path);
                chosen = &entry;
                break;
            }
            // Stay without this board; the next enumeration tick tries again.
            if (!retrying)
                log(QStringLiteral("Could not open: ") + id + QStringLiteral(". Will retry."));
            failedOpenPaths.insert(entry.path);
        }
        if (chosen) {
            productString = chosen->product;
            serialString = chosen->serialNumber;
            const QString id = describeBoard(productString, serialString);
            transport->setNonblocking(handle, 1);
            Connected = true;
            Identified = false;
            boardMotionKnown = false; // its record is read with its settings
            log(QStringLiteral("Connected to: ") + id);
            emit newDriverInfoAvailable();
            rxTimer->start(ReceivePeriodMs);
            log(QStringLiteral("RX timer started."));
            // An exception here is a failed connection, not a failed request.
            exchangeDeviceInfo();
            if (!DriverInfo.BootloaderActive)
                EnableRTStream();
        }
    } catch (...) {
        reportException(
            QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Error connecting Torvan device")),
            QT_TR_NOOP("Unexpected error occured while connecting to a device. Please try reconnecting device."));
    }
}

void TorvanDRV::reportException(const QString &title, const char *text)
{
    if (dialogs)
        dialogs->notice(title, tr(text));
    log(QString::fromUtf8(text));
}

void TorvanDRV::Disconnect()
{
    log(QStringLiteral("Disconnecting device..."));
    rxTimer->stop();
    if (handle)
        transport->close(handle);
    handle = nullptr;
    Connected = false;
    Identified = false;
    LinkKey = 0;
    liveModeBefore = 0; // the next board's first report tells its mode afresh
    RTData.SupplyVoltage = 0;
    RTData.Temperature = 0;
    RTData.MotorCurrent = 0;
    emit newDriverInfoAvailable();
    emit newRTDataAvailable();
    log(QStringLiteral("Torvan device disconnected!"));
}

int TorvanDRV::readReport()
{
    // The HID layer is handed a 65-byte buffer; only the 64 report bytes
    // reach the input record, whatever the layer returns.
    unsigned char buffer[Report::OutputSize];
    const int count = transport->read(handle, buffer, sizeof buffer);
    if (count > 0)
        std::memcpy(InputReport, buffer, static_cast<size_t>(std::min(count, Report::InputSize)));
    return count;
}

void TorvanDRV::ClearHIDReadBuffer()
{
    if (!Connected)
        return;
    // The HID layer queues a few dozen reports per device. A board that
    // keeps sending would refill it as fast as it is read, so the drain
    // stops after more than a full queue: what is left is newer than the
    // request about to go out, and the poll for its answer skips it.
    for (int drained = 0; drained < MaxDrainedReports; ++drained) {
        const int count = readReport();
        if (count < 0) {
            Disconnect();
            return;
        }
        if (count != Report::InputSize)
            return;
    }
}

// ---------------------------------------------------------------------------
// Framing

void TorvanDRV::EncodeData(unsigned char *data, unsigned int nKey)
{
    // Plain reports take no number from the generator.
    const auto randomByte = nKey ? static_cast<unsigned char>(random() & 0xFF) : 0;
    Scrambler::encode(data, nKey, randomByte);
}

void TorvanDRV::SendReport()
{
    if (!Connected)
        return;
    try {
        InputReport[Report::TypeByte] = 0xFF;
        EncodeData(OutputReport, LinkKey);
        if (transport->write(handle, OutputReport, Report::OutputSize) < 0)
            Disconnect();
    } catch (...) {
        if (dialogs)
            dialogs->notice(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Error writing to HID device")),
                            tr("Unexpected error occured while ewriting to HID device. Please try "
                               "reconnecting device."));
        log(QStringLiteral("Unexpected error occured while ewriting to HID device."));
    }
}

void TorvanDRV::BusyWait(int ms)
{
    const qint64 start = clock->nowMs();
    while (clock->nowMs() - start < ms)
        clock->spin();
}

// ---------------------------------------------------------------------------
// Incoming reports

void TorvanDRV::USBRXTimerHandler()
{
    if (!Connected) {
        rxTimer->stop();
        log(QStringLiteral("Device disconection detected within RX handler. RX timer stopped."));
        return;
    }
    try {
        if (readsNotLogged > 0)
            summariseReportsRead(); // the sum is told even when the flood stops
        const int count = readReport();
        if (count < 0) {
            log(QStringLiteral("HID read count < 0. Disconnecting device."));
            Disconnect();
            return;
        }
        if (count == Report::InputSize)
            dispatchInputReport();
        BusyCode = 0;
    } catch (...) {
        rxTimer->stop();
        reportException(
            QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Error reading Torvan device")),
            QT_TR_NOOP("Unexpected error occured while pull-reading from a device. Please try reconnecting device."));
        BusyCode = 0;
    }
}

void TorvanDRV::dispatchInputReport()
{
    const unsigned char type = InputReport[Report::TypeByte];
    // Live data and the echoes of motion and PWM commands come often; they
    // are not logged.
    if (type != Report::RptRTData && type != Report::RptStepFrequencyEcho && type != Report::RptPWMEcho &&
        type != Report::RptTrajectoryEcho)
        logReportRead();
    switch (type) {
    case Report::RptDriverRegisters:
        Buffer2DriverRegisters();
        DriverRegisters2DrvSettings();
        emit newDriverValuesAvailable();
        log(QStringLiteral("Values read from driver."));
        break;
    case Report::RptOtherSettings: {
        const TrajectoryDataRecord window = TrajectoryData;
        const TrajectoryDataRecord configured = boardTrajectory;
        Buffer2OtherSettings();
        takeReportedMotion(window, configured);
        emit newDriverValuesAvailable();
        break;
    }
    case Report::RptRTData:
        Buffer2RTData();
        putBackLentProfile();
        emit newRTDataAvailable();
        break;
    case Report::RptDriverName: {
        // Control bytes are skipped, not taken as the end; the bytes are
        // UTF-8 so that any name the tool wrote comes back unchanged.
        QByteArray bytes;
        for (int i = 16; i <= 47; ++i)
            if (InputReport[i] > 0x1F)
                bytes.append(static_cast<char>(InputReport[i]));
        const QString name = QString::fromUtf8(bytes);
        log(QStringLiteral("Device name: ") + LogText::escaped(name));
        DrvSettings.DriverName = name;
        boardSettings.DriverName = name;
        emit newDriverValuesAvailable();
        break;
    }
    default:
        break;
    }
}

void TorvanDRV::logReportRead()
{
    // Answers come a few at a time and are logged one by one. A board that
    // sends such reports fast would write a line for each, 100 a second:
    // past a few lines a second they are counted and summed up instead.
    summariseReportsRead();
    if (readLinesThisSecond < MaxReadLinesPerSecond) {
        ++readLinesThisSecond;
        log(QStringLiteral("Device HID read OK (64 bytes)."));
    } else {
        ++readsNotLogged;
    }
}

void TorvanDRV::summariseReportsRead()
{
    const qint64 now = clock->nowMs();
    if (now - readLogSecondStart < 1000)
        return;
    if (readsNotLogged > 0)
        log(QStringLiteral("Device HID read OK (64 bytes): %1 more reports not logged one by one.")
                .arg(readsNotLogged));
    readsNotLogged = 0;
    readLinesThisSecond = 0;
    readLogSecondStart = now;
}

void TorvanDRV::Buffer2RTData()
{
    const unsigned char *r = InputReport;
    RTData.SupplyVoltage = getBE16(r + 8) * 0.0009765625 * 3.3 * 49.2 / 2.2;
    RTData.Temperature = (getBE16(r + 44) * 0.125 + RTData.Temperature) * 0.5;
    RTData.MotorPowerOK = RTData.SupplyVoltage >= 8.0;
    VM_T_Filter();
    RTData.FaultFlags = r[54] & 0x3F;
    RTData.TrajTickRate = (r[56] | (r[57] << 8)) * 20;
    RTData.DriverState = r[46];
    RTData.OperatingMode = r[47];
    // A board that enters speed mode by itself (a start from its buttons, a
    // stored mode) shows as auto run. Only the entry counts: reports the
    // board sent before it took a command to leave speed mode must not set
    // the flag again once the window has cleared it.
    if (RTData.OperatingMode == 6 && liveModeBefore != 6) {
        DrvSettings.AutoRunMode = true;
        boardSettings.AutoRunMode = true;
        boardSettings.BINxButtonsMode = false;
    }
    liveModeBefore = RTData.OperatingMode;
    const unsigned char pins = r[6];
    RTData.InpBootloaderOverride = pins & 0x01;
    RTData.InpSleep = pins & 0x02;
    RTData.InpStep = pins & 0x04;
    RTData.InpDir = pins & 0x08;
    RTData.InpBin1 = pins & 0x10;
    RTData.InpBin2 = pins & 0x20;
    RTData.InpEndSwitch = pins & 0x40;
    RTData.MotorCurrent =
        DriverRegisterCodec::DecodeCurrent(r[49], r[48]) * (RTData.MotorPowerOK ? 1 : 0) * (RTData.InpSleep ? 1 : 0);
    if (RTData.FaultFlags != 0)
        RTData.MotorCurrent = 0;
    RTData.CurrentPosition = static_cast<int32_t>(getBE32(r + 20));
    RTData.CurrentSpeed = static_cast<int32_t>(getBE32(r + 24));
}

namespace {

// Mean of the middle three of five values.
double middleMean(const double v[5])
{
    double sum = 0, lo = v[0], hi = v[0];
    for (int i = 0; i < 5; ++i) {
        sum += v[i];
        lo = std::min(lo, v[i]);
        hi = std::max(hi, v[i]);
    }
    return (sum - hi - lo) / 3;
}

} // namespace

void TorvanDRV::VM_T_Filter()
{
    for (int i = 4; i > 0; --i) {
        voltageHistory[i] = voltageHistory[i - 1];
        temperatureHistory[i] = temperatureHistory[i - 1];
    }
    voltageHistory[0] = RTData.SupplyVoltage;
    temperatureHistory[0] = RTData.Temperature;
    RTData.FilteredVoltage = middleMean(voltageHistory);
    RTData.FilteredTemperature = middleMean(temperatureHistory);
}

void TorvanDRV::decodeDriverInfo()
{
    const unsigned char *r = InputReport;
    DriverInfo.SignatureValid = getBE32(r + 20) == Report::SignatureWord;
    DriverInfo.BootloaderActive = r[5] == Report::BootloaderMode;
    DriverInfo.FirmwareUpToDate = r[3] == 0x01 && r[4] == 0x23;
    DriverInfo.BLVersionHigh = r[1];
    DriverInfo.BLVersionLow = r[2];
    DriverInfo.APVersionHigh = r[3];
    DriverInfo.APVersionLow = r[4];
    DriverInfo.DeviceMode = r[5];
    DriverInfo.UniqueIDText = QString::asprintf(
        "0x%02X%02X%02X%02X-0x%02X%02X%02X%02X-0x%02X%02X%02X%02X-0x%02X%02X%02X%02X", r[36], r[37], r[38], r[39],
        r[32], r[33], r[34], r[35], r[28], r[29], r[30], r[31], r[24], r[25], r[26], r[27]);
    LinkKey = Scrambler::keyFromUniqueId(r + 24);
    RTData.Temperature = getBE16(r + 44) * 0.125;
}

// ---------------------------------------------------------------------------
// The identity exchange and the live stream

void TorvanDRV::GetDeviceInfo()
{
    try {
        exchangeDeviceInfo();
    } catch (...) {
        reportException(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Error getting device info")),
                        QT_TR_NOOP("Unexpected error occurred while getting device info. Please try reconnecting "
                                   "device."));
        if (Connected)
            rxTimer->start(ReceivePeriodMs);
        BusyCode = 0;
    }
}

void TorvanDRV::exchangeDeviceInfo()
{
    BusyCode = Busy;
    log(QStringLiteral("Getting Torvan device info..."));
    if (!Connected)
        return;
    rxTimer->stop();
    OutputReport[2] = Report::CmdGetDeviceInfo;
    InputReport[Report::TypeByte] = 0xFF;
    ReplyReceived = false;
    InfoAttempts = 0;
    while (!ReplyReceived && InfoAttempts <= 3 && Connected) {
        ClearHIDReadBuffer();
        // Sending scrambles the buffer in place: a repeated request must be
        // built anew, or a scrambled link would get a garbled command code.
        OutputReport[2] = Report::CmdGetDeviceInfo;
        SendReport();
        BusyWait(50);
        ++InfoAttempts;
        ReplyReceived = pollReply(DeviceInfoPollMs, [this] {
                            const unsigned char type = InputReport[Report::TypeByte];
                            return type == Report::RptDeviceInfo || (type == 0x00 && InputReport[1] != 0xC0);
                        }) == PollResult::Reply;
    }
    if (ReplyReceived) {
        decodeDriverInfo();
        Identified = true;
        CheckFirmware();
        BusyWait(50);
        GetDriverValues();
        BusyWait(50);
        GetDriverName();
    } else {
        log(QStringLiteral("Error while getting Device info"));
    }
    if (Connected)
        rxTimer->start(ReceivePeriodMs);
    BusyCode = 0;
    emit newDriverInfoAvailable();
}

bool TorvanDRV::ReadSettingsNow(int windowMs)
{
    if (!Connected || DriverInfo.BootloaderActive)
        return false;
    const bool receiving = rxTimer->isActive();
    rxTimer->stop();
    // What came before the requests (answers to earlier reads among it) is
    // taken in first, so the answers polled below are the new ones.
    for (int taken = 0; taken < MaxDrainedReports; ++taken) {
        const int count = readReport();
        if (count < 0) {
            Disconnect();
            return false;
        }
        if (count != Report::InputSize)
            break;
        dispatchInputReport();
    }
    std::set<unsigned char> seen;
    for (const unsigned char code :
         {Report::CmdReadDriverRegisters, Report::CmdReadOtherSettings, Report::CmdGetDriverName}) {
        OutputReport[2] = code;
        SendReport();
    }
    pollReply(windowMs, [this, &seen] {
        const unsigned char type = InputReport[Report::TypeByte];
        dispatchInputReport();
        if (type == Report::RptDriverRegisters || type == Report::RptOtherSettings || type == Report::RptDriverName)
            seen.insert(type);
        return seen.size() == 3;
    });
    if (receiving && Connected)
        rxTimer->start(ReceivePeriodMs);
    return seen.size() == 3;
}

TorvanDRV::PollResult TorvanDRV::pollReply(int windowMs, const std::function<bool()> &isReply)
{
    const qint64 start = clock->nowMs();
    while (Connected && clock->nowMs() - start <= windowMs) {
        const int count = readReport();
        if (count < 0) {
            Disconnect();
            return PollResult::ReadFailed;
        }
        if (count == Report::InputSize && isReply())
            return PollResult::Reply;
        clock->spin();
    }
    return PollResult::NoReply;
}

void TorvanDRV::EnableRTStream()
{
    log(QStringLiteral("Enabling real-time data stream."));
    OutputReport[2] = Report::CmdEnableRTStream;
    SendReport();
}
