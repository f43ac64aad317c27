// Two programs on one board: the one that opened it keeps it to itself.
#include "device/ExclusiveTransport.h"
#include "device/Records.h"
#include "device/TorvanDRV.h"
#include "support/CapturingPane.h"
#include "support/ManualClock.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdint>

namespace {

// A HID layer that, like hidraw, lists every device and opens any of them as
// often as asked. Its devices are files standing in for device nodes.
class SharingBus : public HidTransport
{
public:
    std::vector<HidDeviceEntry> entries;

    void addDevice(const std::string &path, bool board = true)
    {
        HidDeviceEntry entry;
        entry.path = path;
        entry.vendorId = board ? Report::VendorId : 0x046D;
        entry.productId = board ? Report::ProductId : 0xC31C;
        entry.hasManufacturer = true;
        entry.manufacturer = QStringLiteral("Nelvar");
        entry.serialNumber = QString::fromStdString(path);
        entries.push_back(entry);
    }

    std::vector<HidDeviceEntry> enumerate(unsigned short, unsigned short) override { return entries; }
    HidHandle *openPath(const std::string &) override { return reinterpret_cast<HidHandle *>(++opened); }
    int setNonblocking(HidHandle *, int) override { return 0; }
    int read(HidHandle *, unsigned char *, size_t) override { return 0; }
    int write(HidHandle *, const unsigned char *, size_t length) override { return int(length); }
    void close(HidHandle *) override {}

    std::uintptr_t opened = 0;
};

QStringList paths(const std::vector<HidDeviceEntry> &list)
{
    QStringList out;
    for (const HidDeviceEntry &entry : list)
        out << QString::fromStdString(entry.path);
    return out;
}

} // namespace

class TestExclusiveOpen : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::string node(const char *name)
    {
        const QString path = dir.filePath(QLatin1String(name));
        QFile file(path);
        if (!file.exists() && file.open(QIODevice::WriteOnly))
            file.close();
        return path.toStdString();
    }

private slots:
    void heldBoardIsInvisibleToOthersUntilClosed()
    {
        SharingBus bus;
        const std::string a = node("hidraw0"), b = node("hidraw1");
        bus.addDevice(a);
        bus.addDevice(b);
        ExclusiveTransport first(bus), second(bus); // two programs

        HidHandle *held = first.openPath(a);
        QVERIFY(held);
        QCOMPARE(paths(second.enumerate(0, 0)), QStringList{QString::fromStdString(b)});
        QCOMPARE(paths(first.enumerate(0, 0)), QStringList{QString::fromStdString(b)}); // its own, too
        QVERIFY(!second.openPath(a));
        QCOMPARE(paths(second.enumerateHeld(0, 0)), QStringList{QString::fromStdString(a)}); // listed apart
        QVERIFY(second.openPath(b));
        QCOMPARE(paths(first.enumerate(0, 0)), QStringList());

        first.close(held);
        QCOMPARE(paths(second.enumerate(0, 0)), QStringList{QString::fromStdString(a)});
        QVERIFY(second.openPath(a));
    }

    void otherDevicesAndUnreadableNodesAreLeftToTheHidLayer()
    {
        SharingBus bus;
        const std::string locked = node("hidraw2");
        bus.addDevice(locked, false); // a keyboard, say, whose node happens to be locked
        bus.addDevice(dir.filePath(QStringLiteral("gone")).toStdString()); // no node to lock
        ExclusiveTransport holder(bus), other(bus);
        QVERIFY(holder.openPath(locked)); // locks it, as another program might
        QCOMPARE(other.enumerate(0, 0).size(), size_t(2));
        QVERIFY(other.openPath(bus.entries[1].path));
    }

    void deviceObjectNeverConnectsABoardHeldElsewhere()
    {
        SharingBus bus;
        const std::string a = node("hidraw3");
        bus.addDevice(a);
        ExclusiveTransport elsewhere(bus), ours(bus);
        QVERIFY(elsewhere.openPath(a));

        ManualClock clock;
        CapturingPane pane;
        Logger logger(nullptr, QString(), &pane);
        TorvanDRV drv;
        drv.SetClock(&clock);
        drv.SetTransport(&ours);
        drv.SetLogger(&logger);
        QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler");
        QVERIFY(!drv.IsConnected());
        QVERIFY(pane.texts().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestExclusiveOpen)
#include "tst_exclusiveopen.moc"
