// The production HID path under test: hidapi (hidraw back end, libudev under
// it), the exclusive lock and the trace, driven by the device object, against
// the simulated board behind an emulated hidraw node. It runs under the
// umockdev preload (started through umockdev-wrapper); without it the test
// exits with 77, which CTest counts as skipped.

// GLib before Qt: Qt's keyword macros would break GLib's headers.
#include <umockdev.h>

#include "log/Logger.h"
#include "device/ExclusiveTransport.h"
#include "device/TorvanDRV.h"
#include "device/TracingTransport.h"
#include "device/sim/SimulatedBoard.h"
#include "support/CapturingPane.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

// Vendor page 0xFF00: one 64-byte input and one 64-byte output report, no id.
const unsigned char Descriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
                                    0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};

UMockdevTestbed *testbed = nullptr;
int nextNode = 0; // the kernel gives a re-plugged board a new node, and so must the testbed

// The simulated board on the far side of one emulated node. The testbed's
// worker thread hands it every read and write of the node; a pump thread
// brings it up to the clock and keeps one byte in the node's pty per report
// ready, so that the host's poll() follows the report queue.
class EmulatedBoard
{
public:
    EmulatedBoard(MonotonicClock &clock, const QString &serial) : sim(clock, 0), index(nextNode++)
    {
        sim.serial = serial;
        sim.product = QStringLiteral("Torvan60");
        node = QStringLiteral("/dev/hidraw%1").arg(index).toStdString();
        addDevice(serial);
        master = umockdev_testbed_get_dev_fd(testbed, node.c_str());
        // Our own end of the pty, taken from the master rather than opened,
        // so that the preload does not route it.
        peer = ioctl(master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC);
        UMockdevIoctlBase *handler = umockdev_ioctl_base_new();
        g_signal_connect(handler, "handle-ioctl", G_CALLBACK(onIoctl), this);
        g_signal_connect(handler, "handle-read", G_CALLBACK(onRead), this);
        g_signal_connect(handler, "handle-write", G_CALLBACK(onWrite), this);
        GError *error = nullptr;
        if (!umockdev_testbed_attach_ioctl(testbed, node.c_str(), handler, &error))
            qFatal("attach_ioctl: %s", error->message);
        g_object_unref(handler);
        pumping = std::thread([this] { pumpLoop(); });
    }
    ~EmulatedBoard()
    {
        unplug();
        running = false;
        pumping.join();
    }

    // Takes the board off the bus: its entries go, the node's pty is released.
    void unplug()
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!plugged)
            return;
        plugged = false;
        sim.unplug();
        umockdev_testbed_remove_device(testbed, syspath.c_str());
        ::close(peer);
        char pty[64] = "";
        ptsname_r(master, pty, sizeof pty);
        // The testbed keeps the master's number: it is pointed at /dev/null
        // so that the host's poll() sees the hang-up.
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        dup2(null, master);
        ::close(null);
        for (char *c = pty; *c; ++c)
            if (*c == '/')
                *c = '_';
        // Left behind by the testbed; a later node on this pty would trip it.
        const QByteArray map = QByteArray(umockdev_testbed_get_root_dir(testbed)) + "/dev/.ptymap/" + QByteArray(pty);
        ::unlink(map.constData());
    }

    template <class F> auto locked(F f)
    {
        std::lock_guard<std::mutex> hold(lock);
        return f(sim);
    }

    std::string node;
    std::vector<size_t> writeLengths; // every write as it reached the board

private:
    void addDevice(const QString &serial)
    {
        const QString usb = QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(index + 1);
        const QString intf = usb + QStringLiteral("/1-%1:1.0").arg(index + 1);
        const QString hidName = QStringLiteral("0003:2E4A:0B71.%1").arg(index + 1, 4, 16, QLatin1Char('0')).toUpper();
        const QString hid = intf + QLatin1Char('/') + hidName;
        const QString raw = hid + QStringLiteral("/hidraw/hidraw%1").arg(index);
        const QString rdesc = QString::fromLatin1(
            QByteArray(reinterpret_cast<const char *>(Descriptor), sizeof Descriptor).toHex().toUpper());
        const QString description =
            QStringLiteral("P: %1\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: PRODUCT=2e4a/b71/100\n"
                           "E: BUSNUM=001\nE: DEVNUM=%2\nA: idVendor=2e4a\nA: idProduct=0b71\nA: bcdDevice=0100\n"
                           "A: manufacturer=Nelvar\nA: product=Torvan60\nA: serial=%3\n\n")
                .arg(usb)
                .arg(index + 5, 3, 10, QLatin1Char('0'))
                .arg(serial) +
            QStringLiteral("P: %1\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: INTERFACE=3/0/0\n"
                           "A: bInterfaceNumber=00\nA: bInterfaceClass=03\n\n")
                .arg(intf) +
            QStringLiteral("P: %1\nE: SUBSYSTEM=hid\nE: DRIVER=hid-generic\nE: HID_ID=0003:00002E4A:00000B71\n"
                           "E: HID_NAME=Nelvar Torvan60\nE: HID_PHYS=usb-0000:00:14.0-%2/input0\nE: HID_UNIQ=%3\n"
                           "E: MODALIAS=hid:b0003g0001v00002E4Ap00000B71\nH: report_descriptor=%4\n\n")
                .arg(hid)
                .arg(index + 1)
                .arg(serial, rdesc) +
            QStringLiteral("P: %1\nN: hidraw%2\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw%2\nE: MAJOR=241\n"
                           "E: MINOR=%2\nA: dev=241:%2\nL: device=../../../%3\n\n")
                .arg(raw)
                .arg(index)
                .arg(hidName);
        GError *error = nullptr;
        if (!umockdev_testbed_add_from_string(testbed, description.toUtf8().constData(), &error))
            qFatal("add_from_string: %s", error->message);
        syspath = (QStringLiteral("/sys") + usb).toStdString();
    }

    void pumpLoop()
    {
        while (running) {
            {
                std::lock_guard<std::mutex> hold(lock);
                if (plugged) {
                    sim.pump();
                    const int ready = sim.readyReports();
                    const unsigned char token = 0;
                    for (; tokens < ready; ++tokens)
                        if (::write(master, &token, 1) != 1)
                            break;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    static gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer)
    {
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        GError *error = nullptr;
        if (request == HIDIOCGRDESCSIZE) {
            UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), &error);
            *reinterpret_cast<int *>(data->data) = sizeof Descriptor;
        } else if (request == HIDIOCGRDESC) {
            UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), &error);
            auto *d = reinterpret_cast<hidraw_report_descriptor *>(data->data);
            std::memcpy(d->value, Descriptor, sizeof Descriptor);
            d->size = sizeof Descriptor;
        } else if (request == HIDIOCGRAWINFO) {
            UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_devinfo), &error);
            auto *info = reinterpret_cast<hidraw_devinfo *>(data->data);
            info->bustype = 3;
            info->vendor = static_cast<__s16>(Report::VendorId);
            info->product = static_cast<__s16>(Report::ProductId);
        } else {
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return TRUE;
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }

    static gboolean onWrite(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
    {
        auto *self = static_cast<EmulatedBoard *>(user);
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        std::lock_guard<std::mutex> hold(self->lock);
        self->writeLengths.push_back(arg->data_len);
        const int n = self->plugged ? self->sim.write(arg->data, arg->data_len) : -1;
        umockdev_ioctl_client_complete(client, n, n < 0 ? ENODEV : 0);
        return TRUE;
    }

    static gboolean onRead(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
    {
        auto *self = static_cast<EmulatedBoard *>(user);
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        std::lock_guard<std::mutex> hold(self->lock);
        if (!self->plugged) {
            umockdev_ioctl_client_complete(client, -1, EIO);
            return TRUE;
        }
        unsigned char token;
        if (self->tokens > 0 && ::read(self->peer, &token, 1) == 1)
            --self->tokens;
        const int n = self->sim.read(arg->data, arg->data_len);
        if (n <= 0)
            umockdev_ioctl_client_complete(client, -1, n < 0 ? EIO : EAGAIN);
        else
            umockdev_ioctl_client_complete(client, n, 0);
        return TRUE;
    }

    SimulatedBoard sim;
    int index;
    std::string syspath;
    int master = -1;
    int peer = -1;
    int tokens = 0; // bytes in the pty, one per report the host may read
    bool plugged = true;
    std::mutex lock;
    std::atomic<bool> running{true};
    std::thread pumping;
};

} // namespace

class TestHidraw : public QObject
{
    Q_OBJECT

    SteadyClock clock;
    CapturingPane pane;
    Logger logger{nullptr, QString(), &pane};

    void tick(TorvanDRV &drv, const char *handler) { QMetaObject::invokeMethod(&drv, handler); }

    // Receive ticks on the real clock until done() or two seconds.
    template <class F> bool receiveUntil(TorvanDRV &drv, F done)
    {
        for (int i = 0; i < 200 && !done(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            tick(drv, "USBRXTimerHandler");
        }
        return done();
    }

private slots:
    void realHidPath()
    {
        auto board = std::make_unique<EmulatedBoard>(clock, QStringLiteral("TV60-000123"));
        HidapiTransport usb;

        // Enumeration: identity and strings as the USB descriptors give them.
        const std::vector<HidDeviceEntry> listed = usb.enumerate(0, 0);
        QCOMPARE(int(listed.size()), 1);
        const HidDeviceEntry &entry = listed.front();
        QCOMPARE(entry.path, board->node);
        QCOMPARE(entry.vendorId, Report::VendorId);
        QCOMPARE(entry.productId, Report::ProductId);
        QVERIFY(entry.hasManufacturer);
        QCOMPARE(entry.manufacturer, QStringLiteral("Nelvar"));
        QCOMPARE(entry.product, QStringLiteral("Torvan60"));
        QCOMPARE(entry.serialNumber, QStringLiteral("TV60-000123"));

        // The tool's stack: trace over the exclusive lock over hidapi.
        QTemporaryDir dir;
        const QString traceFile = dir.filePath(QStringLiteral("trace.txt"));
        ExclusiveTransport exclusive(usb);
        TracingTransport trace(exclusive, clock, traceFile);
        QVERIFY(trace.isOpen());
        TorvanDRV drv;
        drv.SetClock(&clock);
        drv.SetTransport(&trace);
        drv.SetLogger(&logger);

        // Held by another copy of the tool: invisible, never connected.
        {
            ExclusiveTransport elsewhere(usb);
            HidHandle *held = elsewhere.openPath(board->node);
            QVERIFY(held);
            tick(drv, "USBEnumTimerHandler");
            QVERIFY(!drv.IsConnected());
            QVERIFY(pane.texts().isEmpty());
            elsewhere.close(held);
        }

        // Found, opened and locked; identity exchanged and the key taken.
        tick(drv, "USBEnumTimerHandler");
        QVERIFY2(drv.IsConnected(), qPrintable(pane.texts().join(QLatin1Char('|'))));
        QCOMPARE(drv.SerialString(), QStringLiteral("TV60-000123"));
        QCOMPARE(drv.ProductString(), QStringLiteral("Torvan60"));
        QVERIFY(!pane.texts().contains(QStringLiteral("Error while getting Device info")));
        QVERIFY(drv.LinkKey != 0);
        QCOMPARE(drv.LinkKey, board->locked([](SimulatedBoard &b) { return b.linkKey(); }));
        QVERIFY(board->locked([](SimulatedBoard &b) { return b.streaming(); }));
        {
            ExclusiveTransport second(usb); // a second open is refused, and the board not listed
            QVERIFY(second.enumerate(0, 0).empty());
            QVERIFY(!second.openPath(board->node));
        }
        // Every command reached the board as one 65-byte report, none garbled.
        QVERIFY(!board->writeLengths.empty());
        for (size_t length : board->writeLengths)
            QCOMPARE(length, size_t(65));
        QCOMPARE(board->locked([](SimulatedBoard &b) { return b.corruptReports; }), 0);

        // Live data through the receive tick.
        QSignalSpy live(&drv, &TorvanDRV::newRTDataAvailable);
        QVERIFY(receiveUntil(drv, [&] { return live.count() >= 3; }));
        QVERIFY2(drv.RTData.SupplyVoltage > 20.0, qPrintable(QString::number(drv.RTData.SupplyVoltage)));

        // The trace holds the writes as sent and the reports as read.
        QFile traced(traceFile);
        QVERIFY(traced.open(QIODevice::ReadOnly));
        const QByteArray lines = traced.readAll();
        QVERIFY(lines.contains(" W 000001"));
        QVERIFY(QRegularExpression(QStringLiteral(" R [0-9A-F]{30}A0")).match(QString::fromLatin1(lines)).hasMatch());

        // Unplugged mid-stream: the read fails, the link is closed.
        pane.lines.clear();
        board->unplug();
        QVERIFY(receiveUntil(drv, [&] { return !drv.IsConnected(); }));
        QCOMPARE(pane.texts().mid(0, 3), (QStringList{QStringLiteral("HID read count < 0. Disconnecting device."),
                                                      QStringLiteral("Disconnecting device..."),
                                                      QStringLiteral("Torvan device disconnected!")}));
        tick(drv, "USBEnumTimerHandler");
        QVERIFY(!drv.IsConnected());

        // Plugged in again (under a new node name): found and connected.
        board = std::make_unique<EmulatedBoard>(clock, QStringLiteral("TV60-000123"));
        pane.lines.clear();
        tick(drv, "USBEnumTimerHandler");
        QVERIFY(drv.IsConnected());
        QCOMPARE(pane.texts().first(), QStringLiteral("Torvan60 device found. Serial: TV60-000123"));
        QCOMPARE(drv.LinkKey, board->locked([](SimulatedBoard &b) { return b.linkKey(); }));
        board->unplug();
        receiveUntil(drv, [&] { return !drv.IsConnected(); });
    }

    void floodingBoard()
    {
        // A board that always has a report pending still connects: the drain
        // gives up and the identity request is answered among the flood.
        auto board = std::make_unique<EmulatedBoard>(clock, QStringLiteral("TV60-000777"));
        board->locked([](SimulatedBoard &b) { return b.floodReports = 1000000000; });
        HidapiTransport usb;
        ExclusiveTransport exclusive(usb);
        TorvanDRV drv;
        drv.SetClock(&clock);
        drv.SetTransport(&exclusive);
        drv.SetLogger(&logger);
        pane.lines.clear();
        tick(drv, "USBEnumTimerHandler");
        QVERIFY(drv.IsConnected());
        QVERIFY2(!pane.texts().contains(QStringLiteral("Error while getting Device info")),
                 qPrintable(pane.texts().join(QLatin1Char('|'))));
        QCOMPARE(drv.LinkKey, board->locked([](SimulatedBoard &b) { return b.linkKey(); }));
        board->unplug();
        receiveUntil(drv, [&] { return !drv.IsConnected(); });
    }
};

int main(int argc, char *argv[])
{
    // hidapi opens the node without O_NOCTTY: a process without a controlling
    // terminal would take the node's pty as its own and be hung up on unplug.
    std::signal(SIGHUP, SIG_IGN);
    QCoreApplication app(argc, argv);
    testbed = umockdev_testbed_new(); // sets UMOCKDEV_DIR; only then can the preload be seen
    if (!umockdev_in_mock_environment()) {
        fprintf(stderr, "Not under the umockdev preload (start through umockdev-wrapper): skipped\n");
        return 77;
    }
    TestHidraw test;
    const int result = QTest::qExec(&test, argc, argv);
    g_object_unref(testbed);
    return result;
}

#include "tst_hidraw.moc"
