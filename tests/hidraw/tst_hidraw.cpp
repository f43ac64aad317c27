// The production HID path under test: hidapi (hidraw back end, libudev under
// it), the exclusive lock and the trace, driven by the device object, against
// the simulated board behind an emulated hidraw node. It runs under the
// umockdev preload (started through umockdev-wrapper); without it the test
// exits with 77, which CTest counts as skipped.

// GLib before Qt: Qt's keyword macros would break GLib's headers.
#include <umockdev.h>

#include "device/ExclusiveTransport.h"
#include "device/TorvanDRV.h"
#include "device/TracingTransport.h"
#include "device/sim/SimulatedBoard.h"
#include "firmware/FirmwareCheck.h"
#include "log/Logger.h"
#include "support/CapturingPane.h"
#include "support/ScriptedDialogs.h"

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
int nextNode = 0;

// The simulated board on the far side of an emulated node. The testbed's
// worker thread hands it every read and write of the node; a pump thread
// brings it up to the clock and keeps one byte in the node's pty per report
// ready, so that the host's poll() follows the report queue.
//
// The node follows the board as the kernel's would: when the board leaves
// the bus (pulled out, or restarted by a command) its node hangs up at once
// and goes; when it is back, it gets a new node. followBus() does the
// testbed's part of that, on the test's thread.
class EmulatedBoard
{
public:
    EmulatedBoard(MonotonicClock &clock, const QString &serial) : sim(clock, 0), serial(serial)
    {
        sim.serial = serial;
        sim.product = QStringLiteral("Torvan60");
        // Replies are ready, and their bytes in the pty, by the time the
        // host's write returns: the host's poll windows never wait on the
        // pump thread being scheduled on a loaded machine.
        sim.replyDelayMs = 0;
        addNode();
        pumping = std::thread([this] { pumpLoop(); });
    }
    ~EmulatedBoard()
    {
        unplug();
        running = false;
        pumping.join();
    }

    // Pulled out: the board and its node are gone until plug().
    void unplug()
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            sim.unplug();
        }
        followBus();
    }
    // Plugged in (again): powered up, under a new node.
    void plug()
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            sim.plug();
        }
        followBus();
    }

    // Removes the node of a board that left the bus since it was made, and
    // makes one for a board on the bus without one.
    void followBus()
    {
        Node *gone = nullptr;
        bool onBus = false;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (current && !usable(*current))
                std::swap(gone, current);
            onBus = sim.isPlugged();
        }
        if (gone) {
            umockdev_testbed_remove_device(testbed, gone->syspath.c_str());
            // Left behind by the testbed; a later node on this pty would trip it.
            ::unlink(gone->ptyMap.c_str());
        }
        if (!current && onBus)
            addNode();
    }

    template <class F> auto locked(F f)
    {
        std::lock_guard<std::mutex> hold(lock);
        return f(sim);
    }

    // The node the board is on now; empty while it is off the bus.
    std::string node()
    {
        std::lock_guard<std::mutex> hold(lock);
        return current ? current->devnode : std::string();
    }

    std::vector<size_t> writeLengths; // every write as it reached the board

private:
    // One appearance of the board on the bus.
    struct Node
    {
        EmulatedBoard *board = nullptr;
        int index = 0;
        std::string devnode;
        std::string syspath;
        std::string ptyMap; // the testbed's record of the node's pty
        int master = -1;
        int peer = -1;
        int tokens = 0;     // bytes in the pty, one per report the host may read
        int generation = 0; // the board's bus session this node belongs to
        bool live = true;
    };

    void addNode()
    {
        auto n = std::make_unique<Node>();
        n->board = this;
        n->index = nextNode++; // the kernel gives a re-plugged board a new node, and so must the testbed
        n->devnode = QStringLiteral("/dev/hidraw%1").arg(n->index).toStdString();
        n->syspath = addDevice(n->index);
        n->master = umockdev_testbed_get_dev_fd(testbed, n->devnode.c_str());
        // Our own end of the pty, taken from the master rather than opened,
        // so that the preload does not route it.
        n->peer = ioctl(n->master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC);
        char pty[64] = "";
        ptsname_r(n->master, pty, sizeof pty);
        for (char *c = pty; *c; ++c)
            if (*c == '/')
                *c = '_';
        n->ptyMap = std::string(umockdev_testbed_get_root_dir(testbed)) + "/dev/.ptymap/" + pty;
        UMockdevIoctlBase *handler = umockdev_ioctl_base_new();
        g_signal_connect(handler, "handle-ioctl", G_CALLBACK(onIoctl), n.get());
        g_signal_connect(handler, "handle-read", G_CALLBACK(onRead), n.get());
        g_signal_connect(handler, "handle-write", G_CALLBACK(onWrite), n.get());
        GError *error = nullptr;
        if (!umockdev_testbed_attach_ioctl(testbed, n->devnode.c_str(), handler, &error))
            qFatal("attach_ioctl: %s", error->message);
        g_object_unref(handler);
        std::lock_guard<std::mutex> hold(lock);
        n->generation = sim.generation();
        current = n.get();
        nodes.push_back(std::move(n));
    }

    // The board left: the host's poll() sees the hang-up, reads and writes
    // fail. The testbed keeps the master's number, so it is pointed at
    // /dev/null rather than closed. Called with the lock held.
    static void hangUp(Node &n)
    {
        n.live = false;
        ::close(n.peer);
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        dup2(null, n.master);
        ::close(null);
    }

    // Whether the host can still use the node; a node whose board left the
    // bus since it was made hangs up here at the latest. Called with the
    // lock held.
    bool usable(Node &n)
    {
        if (n.live && n.generation != sim.generation())
            hangUp(n);
        return n.live;
    }

    // One byte in the pty for every report the host may read now. Called
    // with the lock held.
    void offerReports(Node &n)
    {
        const int ready = sim.readyReports();
        const unsigned char token = 0;
        for (; n.tokens < ready; ++n.tokens)
            if (::write(n.master, &token, 1) != 1)
                break;
    }

    // The device tree of one node; returns the sysfs path that removes it all.
    std::string addDevice(int index)
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
        return (QStringLiteral("/sys") + usb).toStdString();
    }

    void pumpLoop()
    {
        while (running) {
            {
                std::lock_guard<std::mutex> hold(lock);
                sim.pump(); // also brings a restarted board back on the bus
                if (current && usable(*current))
                    offerReports(*current);
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
        auto *node = static_cast<Node *>(user);
        EmulatedBoard *self = node->board;
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        std::lock_guard<std::mutex> hold(self->lock);
        self->writeLengths.push_back(arg->data_len);
        const int n = self->usable(*node) ? self->sim.write(arg->data, arg->data_len) : -1;
        if (self->usable(*node)) // a restart takes the board off the bus
            self->offerReports(*node);
        umockdev_ioctl_client_complete(client, n, n < 0 ? ENODEV : 0);
        return TRUE;
    }

    static gboolean onRead(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
    {
        auto *node = static_cast<Node *>(user);
        EmulatedBoard *self = node->board;
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        std::lock_guard<std::mutex> hold(self->lock);
        if (!self->usable(*node)) {
            umockdev_ioctl_client_complete(client, -1, EIO);
            return TRUE;
        }
        unsigned char token;
        if (node->tokens > 0 && ::read(node->peer, &token, 1) == 1)
            --node->tokens;
        const int n = self->sim.read(arg->data, arg->data_len);
        if (n <= 0)
            umockdev_ioctl_client_complete(client, -1, n < 0 ? EIO : EAGAIN);
        else
            umockdev_ioctl_client_complete(client, n, 0);
        return TRUE;
    }

    SimulatedBoard sim;
    const QString serial;
    std::vector<std::unique_ptr<Node>> nodes; // kept: the testbed may still hand a stale node a call
    Node *current = nullptr;
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

    // Follows the board on and off the bus and runs enumeration ticks until
    // done() holds or about ten seconds of ticks have passed: a restart
    // takes the board off the bus for a moment, and the device object finds
    // it again under its new node. An update runs inside one of these ticks.
    template <class F> bool reconnectUntil(TorvanDRV &drv, EmulatedBoard &board, F done)
    {
        for (int i = 0; i < 1000 && !done(); ++i) {
            board.followBus();
            tick(drv, "USBEnumTimerHandler");
            if (!done())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }

    static bool runsCarriedApplication(const TorvanDRV &drv)
    {
        return drv.IsConnected() && !drv.DriverInfo.BootloaderActive && drv.DriverInfo.SignatureValid &&
               drv.DriverInfo.FirmwareUpToDate;
    }

    // The log of one whole successful update, from its first line.
    static QStringList updateLines()
    {
        QStringList lines{QStringLiteral("Starting full update..."), QStringLiteral("Erasing sectors..."),
                          QStringLiteral("Erasing done!"),           QStringLiteral("Uploading new FW..."),
                          QStringLiteral("Uploading OK."),           QStringLiteral("Reading CRCs...")};
        for (int sector = 2; sector <= 7; ++sector)
            lines << QStringLiteral("CRC %1 is OK.").arg(sector);
        return lines << QStringLiteral("All CRCs OK.") << QStringLiteral("Writing signature.")
                     << QStringLiteral("Restarting device...");
    }

    void attach(TorvanDRV &drv, HidTransport &transport, OperatorDialogs &dialogs)
    {
        drv.SetClock(&clock);
        drv.SetTransport(&transport);
        drv.SetLogger(&logger);
        drv.SetDialogs(&dialogs);
    }

    static bool holdsSignedCarriedImage(EmulatedBoard &board)
    {
        return board.locked([](SimulatedBoard &b) {
            return b.model.flash.holdsCarriedApplication() && b.model.flash.signatureValid();
        });
    }

    // Flash commands the board took, by command code.
    static int count(EmulatedBoard &board, unsigned char code)
    {
        return board.locked([code](SimulatedBoard &b) {
            const std::vector<unsigned char> codes = b.receivedCodes();
            return int(std::count(codes.begin(), codes.end(), code));
        });
    }

private slots:
    void init()
    {
        pane.lines.clear();
        PendingUpdateDevice.clear();
    }
    void cleanup() { PendingUpdateDevice.clear(); }

    void realHidPath()
    {
        auto board = std::make_unique<EmulatedBoard>(clock, QStringLiteral("TV60-000123"));
        HidapiTransport usb;

        // Enumeration: identity and strings as the USB descriptors give them.
        const std::vector<HidDeviceEntry> listed = usb.enumerate(0, 0);
        QCOMPARE(int(listed.size()), 1);
        const HidDeviceEntry &entry = listed.front();
        QCOMPARE(entry.path, board->node());
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
            HidHandle *held = elsewhere.openPath(board->node());
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
            QVERIFY(!second.openPath(board->node()));
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

    void fullUpdateAcrossRestarts()
    {
        // An older application runs; the operator agrees to the update.
        auto board = std::make_unique<EmulatedBoard>(clock, QStringLiteral("TV60-000456"));
        board->locked([](SimulatedBoard &b) {
            b.model.apVersionLow = 0x22;
            b.model.flash.loadApplication(0x01, 0x22);
        });
        const std::string firstNode = board->node();
        HidapiTransport usb;
        ExclusiveTransport exclusive(usb);
        ScriptedDialogs dialogs;
        dialogs.answers = {true};
        TorvanDRV drv;
        attach(drv, exclusive, dialogs);
        std::vector<int> progress;
        connect(&drv, &TorvanDRV::newFWProgressValueAvailable,
                [&] { progress.push_back(drv.OutputReport[3] * 128 + drv.OutputReport[4]); });

        // Found, asked, restarted into its boot loader: it leaves the bus.
        tick(drv, "USBEnumTimerHandler");
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown.first().text.endsWith(QLatin1String("Click OK to restart device and update FW.")));
        QVERIFY(!PendingUpdateDevice.isEmpty());
        QVERIFY(!drv.IsConnected());

        // Back in its boot loader under a new node: updated without a second
        // question, restarted, and back once more running the carried
        // application.
        QVERIFY2(reconnectUntil(drv, *board, [&] { return runsCarriedApplication(drv); }),
                 qPrintable(pane.texts().join(QLatin1Char('|'))));
        QVERIFY(board->node() != firstNode);
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(PendingUpdateDevice.isEmpty());
        const QStringList texts = pane.texts();
        QCOMPARE(texts.filter(QStringLiteral("Connected to: ")).size(), 3);
        QCOMPARE(texts.count(QStringLiteral("Starting full update...")), 1);
        QCOMPARE(texts.mid(texts.indexOf(QStringLiteral("Starting full update...")), updateLines().size()),
                 updateLines());

        // Every report of the update reached the board whole and in order.
        QCOMPARE(int(progress.size()), 768);
        for (int k = 0; k < 768; ++k)
            QCOMPARE(progress[size_t(k)], 256 + k);
        QCOMPARE(count(*board, Report::CmdEraseSector), 6);
        QCOMPARE(count(*board, Report::CmdWriteSubsector), 768);
        QCOMPARE(count(*board, Report::CmdReadSectorCRC), 6);
        QCOMPARE(count(*board, Report::CmdWriteSignature), 1);
        QCOMPARE(count(*board, Report::CmdRestart), 2);
        for (size_t length : board->writeLengths)
            QCOMPARE(length, size_t(65));
        QCOMPARE(board->locked([](SimulatedBoard &b) { return b.corruptReports; }), 0);
        QVERIFY(holdsSignedCarriedImage(*board));
        board->unplug();
        receiveUntil(drv, [&] { return !drv.IsConnected(); });
    }

    void unplugDuringUpload()
    {
        // Its boot loader runs over an older application; the update starts
        // at once and the board is pulled out halfway through the upload.
        auto board = std::make_unique<EmulatedBoard>(clock, QStringLiteral("TV60-000789"));
        board->locked([](SimulatedBoard &b) {
            b.model.bootloaderRunning = true;
            b.model.apVersionLow = 0x22;
            b.model.flash.loadApplication(0x01, 0x22);
            b.onCommand = [writes = 0](SimulatedBoard &on, const ReceivedCommand &command) mutable {
                if (command.code() == Report::CmdWriteSubsector && ++writes == 384)
                    on.unplug();
            };
        });
        HidapiTransport usb;
        ExclusiveTransport exclusive(usb);
        ScriptedDialogs dialogs;
        dialogs.answers = {true, true};
        TorvanDRV drv;
        attach(drv, exclusive, dialogs);

        tick(drv, "USBEnumTimerHandler");
        QVERIFY(!drv.IsConnected());
        QVERIFY2(pane.texts().contains(QStringLiteral("Device disconnected during upload. Please reconnect device.")),
                 qPrintable(pane.texts().join(QLatin1Char('|'))));
        QVERIFY(drv.LastFullUpdate.outcome == FullUpdateRecord::Outcome::Lost);
        QCOMPARE(count(*board, Report::CmdWriteSubsector), 384);
        board->followBus();
        QVERIFY(usb.enumerate(Report::VendorId, Report::ProductId).empty());

        // Plugged in again: its half-written application is unsigned, so it
        // comes back in its boot loader and the update is offered. The
        // operator declines, and starts it from the firmware tab instead.
        dialogs.answers = {false};
        board->locked([](SimulatedBoard &b) { return b.onCommand = nullptr; });
        board->plug();
        QVERIFY(reconnectUntil(drv, *board, [&] { return drv.IsConnected(); }));
        QVERIFY(drv.DriverInfo.BootloaderActive);
        QVERIFY(!drv.DriverInfo.SignatureValid);
        QCOMPARE(dialogs.shown.last().text,
                 QStringLiteral("Device firmware corruption detected. Click OK to update the FW."));
        pane.lines.clear();
        drv.FullUpdate();
        QCOMPARE(pane.texts(), updateLines());
        QVERIFY(drv.LastFullUpdate.outcome == FullUpdateRecord::Outcome::Restarted);

        // Nothing reads the board after an update started there (the receive
        // tick stays stopped): the enumeration tick sees its node hang up,
        // and finds it again running the new application.
        QVERIFY2(reconnectUntil(drv, *board, [&] { return runsCarriedApplication(drv); }),
                 qPrintable(pane.texts().join(QLatin1Char('|'))));
        QVERIFY(pane.texts().contains(QStringLiteral("HID read count < 0. Disconnecting device.")));
        QVERIFY(holdsSignedCarriedImage(*board));
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
