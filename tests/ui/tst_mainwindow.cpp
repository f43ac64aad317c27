// The operator window's frame, live status panel and firmware tab, on the
// simulated board.
#include "WindowRig.h"

#include "device/Records.h"
#include "ui/AppInfo.h"
#include "ui/PlainTextLogPane.h"
#include "ui/RepaintPacer.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLCDNumber>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// One live report as far as the status panel reads it.
struct Live
{
    bool power = true;
    int faults = 0;
    int state = 2;
    int mode = 1;
    unsigned inputs = 0; // bit 0 boot loader override ... bit 6 end switch
    double voltage = 24.0;
    double temperature = 31.5;
    int position = 0;
    int speed = 0;
};

void apply(RTDataRecord &rt, const Live &live)
{
    rt.MotorPowerOK = live.power;
    rt.FaultFlags = live.faults;
    rt.DriverState = live.state;
    rt.OperatingMode = live.mode;
    rt.InpBootloaderOverride = live.inputs & 0x01;
    rt.InpSleep = live.inputs & 0x02;
    rt.InpStep = live.inputs & 0x04;
    rt.InpDir = live.inputs & 0x08;
    rt.InpBin1 = live.inputs & 0x10;
    rt.InpBin2 = live.inputs & 0x20;
    rt.InpEndSwitch = live.inputs & 0x40;
    rt.FilteredVoltage = live.voltage;
    rt.FilteredTemperature = live.temperature;
    rt.CurrentPosition = live.position;
    rt.CurrentSpeed = live.speed;
    rt.TrajTickRate = 10000;
}

const QStringList ModeButtons = {"rbMode", "rbMode_2", "rbMode_3", "rbMode_4", "rbMode_5", "rbMode_6"};

QString checkedMode(const WindowRig &rig)
{
    QString checked;
    for (const QString &name : ModeButtons)
        if (rig.w<QRadioButton>(name.toLatin1().constData())->isChecked())
            checked += (checked.isEmpty() ? QString() : QStringLiteral(",")) + name;
    return checked;
}

QStringList paneLines(const QPlainTextEdit *pane)
{
    const QString text = pane->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Counts the paint events of the widgets it watches.
struct PaintCounter : QObject
{
    QMap<QObject *, int> paints;
    void watch(QWidget *widget) { widget->installEventFilter(this); }
    int total() const
    {
        int sum = 0;
        for (int n : paints)
            sum += n;
        return sum;
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints[watched];
        return false;
    }
};

// The window's pictures in its working directory: 40x20 pictures, a logo of
// the given width (0: none) and the icon.
void putPictures(const QDir &dir, int logoWidth)
{
    dir.mkpath(QStringLiteral("release"));
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    QVERIFY(picture.save(dir.filePath(QStringLiteral("release/Connection diagram.png"))));
    QVERIFY(picture.save(dir.filePath(QStringLiteral("release/TorvanLogo.png"))));
    QVERIFY(picture.save(dir.filePath(QStringLiteral("release/Driver timing.png"))));
    if (logoWidth > 0) {
        QImage logo(logoWidth, 10, QImage::Format_ARGB32);
        logo.fill(Qt::red);
        QVERIFY(logo.save(dir.filePath(QStringLiteral("release/Logo.png"))));
    }
    QImageWriter icon(dir.filePath(QStringLiteral("Torvan-IFU-Graphics2.ico")), "ico");
    QVERIFY(icon.write(picture.scaled(32, 32)));
}

const QString DeviceTitle =
    QStringLiteral("Torvan60 1.23 - Torvan60 (simulated). Serial: SIM60-000001; BL: 0x0105, AP: 0x0123, 01, 1");

} // namespace

Q_DECLARE_METATYPE(Live)

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void startState()
    {
        WindowRig rig([](const QDir &dir) { putPictures(dir, 1000); });
        MainWindow &w = *rig.window;

        QCOMPARE(w.windowTitle(), QStringLiteral("Torvan60 1.23 - No device connected"));
        QCOMPARE(w.size(), QSize(1118, 724));
        QCOMPARE(w.minimumSize(), QSize(900, 640));

        // Pages in order with their captions; which ones are in front.
        const auto pages = [](const QTabWidget *tabs) {
            QStringList list;
            for (int i = 0; i < tabs->count(); ++i)
                list << tabs->widget(i)->objectName() + QLatin1Char('=') + tabs->tabText(i);
            return list;
        };
        auto *mainTabs = rig.w<QTabWidget>("tabMainTab");
        QCOMPARE(pages(mainTabs), QStringList({"tabDriverSetup=Driver setup", "tabStepDirControl=Step control",
                                               "tabPositionControl=Auto control", "tabPWMControl=DC motor control",
                                               "tabTempLog=Log charts", "tabRecords=Records", "tab_5=Log", "tab=About",
                                               "tabConnectionDiagrams=Connection diagrams"}));
        QCOMPARE(mainTabs->currentWidget()->objectName(), QStringLiteral("tabDriverSetup"));
        auto *statusTabs = rig.w<QTabWidget>("tabWidget_2");
        QCOMPARE(pages(statusTabs), QStringList({"tab_6=Status", "tab_7=Firmware"}));
        QCOMPARE(statusTabs->currentWidget()->objectName(), QStringLiteral("tab_7"));
        auto *navigation = rig.w<QTabWidget>("tabNavigation");
        QCOMPARE(pages(navigation), QStringList({"tabInternalNavigation=Navigation", "tabExternalNavigation=External",
                                                 "tabSpeedMode=Speed mode"}));
        QCOMPARE(navigation->currentIndex(), 0);

        // Status frame and Status page as the form built them.
        QVERIFY(!rig.w<QLCDNumber>("lcdVoltage")->isEnabled());
        QVERIFY(!rig.w<QLCDNumber>("lcdTemperature")->isEnabled());
        QVERIFY(WindowRig::explicitlyHidden(rig.w<QWidget>("frmStatus")));
        QCOMPARE(rig.w<QLabel>("lblDriverStatus")->text(), QStringLiteral("Driver status"));
        QCOMPARE(rig.w<QLabel>("lblFaultsStatus")->text(), QStringLiteral("No faults detected"));
        QCOMPARE(rig.w<QPushButton>("btnRunStop")->text(), QStringLiteral("Run"));
        QCOMPARE(checkedMode(rig), QString());
        for (QCheckBox *box : rig.w<QWidget>("tab_6")->findChildren<QCheckBox *>()) {
            QVERIFY(!box->isChecked());
            QVERIFY2(!box->isEnabled(), qPrintable(box->objectName()));
        }
        for (const QString &name : ModeButtons)
            QVERIFY(!rig.w<QRadioButton>(name.toLatin1().constData())->isEnabled());

        // Developer controls hidden, automatic apply off, 6 A maxima.
        QVERIFY(!DeveloperMode);
        for (const char *name : {"pteRegistersValues", "ptePWMValues", "lblTrajCalcTickRate",
                                 "cbAutoResetFaultsOnEnableToggle", "btnTestBIN1", "btnTestBIN2", "dialStepSpeed"})
            QVERIFY2(WindowRig::explicitlyHidden(rig.w<QWidget>(name)), name);
        QVERIFY(!rig.w<QCheckBox>("cbAutoApplyChanges")->isEnabled());
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->maximum(), 6.0);
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbIdleCurrent")->maximum(), 6.0);

        // Firmware page.
        QVERIFY(rig.w<QWidget>("gbFWUpdate")->isEnabled());
        auto *bar = rig.w<QProgressBar>("pbUploadStatus");
        QCOMPARE(QList<int>({bar->minimum(), bar->maximum(), bar->value()}), QList<int>({256, 1023, 256}));
        QCOMPARE(rig.w<QPlainTextEdit>("pteFWLog")->toPlainText(), QString());

        // About page and the first log line, in the pane and in the file.
        QCOMPARE(rig.w<QPlainTextEdit>("pteAbout")->toPlainText(), AppVersion);
        QCOMPARE(rig.w<QLabel>("lblVisitUs")->textFormat(), Qt::RichText);
        const QStringList logged = paneLines(rig.w<QPlainTextEdit>("pteLog"));
        QCOMPARE(logged.size(), 1);
        QVERIFY(logged.first().endsWith(QStringLiteral(" Application started: Torvan60 1.23")));
        QCOMPARE(fileLines(rig.dir.filePath(QStringLiteral("log.txt"))), logged);
    }

    // Every by-name slot finds its one signal: the window starts without a
    // word from the wiring on the console.
    void slotsAreWiredByNameWithoutAWarning()
    {
        static QStringList wiring;
        wiring.clear();
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
                if (message.contains(QLatin1String("connectSlotsByName")))
                    wiring << message;
            });
        {
            WindowRig rig;
        }
        qInstallMessageHandler(previous);
        QVERIFY2(wiring.isEmpty(), qPrintable(wiring.join(QLatin1Char('\n'))));
    }

    void closingAsksAndSendsNothing()
    {
        WindowRig rig;
        rig.connectBoard();
        rig.board.model.operatingMode = 4; // even with the motor on its way
        QVERIFY(rig.window->close());
        QVERIFY(rig.dialogs.shown.isEmpty());
        QVERIFY(rig.board.received.empty());
        QVERIFY(rig.drv.IsConnected()); // released with the process, not before
    }

    void developerMarker_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("developer");
        QTest::newRow("release") << "Torvan60 1.23" << false;
        QTest::newRow("developer build") << "Torvan60 1.23 developer" << true;
        QTest::newRow("capital D") << "Torvan60 1.23 Developer" << false;
    }
    void developerMarker()
    {
        // A window built with this version starts with the developer
        // controls shown or hidden.
        QFETCH(QString, version);
        QFETCH(bool, developer);
        const QString released = AppVersion;
        AppVersion = version;
        WindowRig rig;
        AppVersion = released;
        QCOMPARE(DeveloperMode, developer);
        QCOMPARE(rig.window->windowTitle(), version + QStringLiteral(" - No device connected"));
        for (const char *name : {"pteRegistersValues", "ptePWMValues", "btnTestBIN1", "btnTestBIN2"})
            QVERIFY2(rig.w<QWidget>(name)->isHidden() != developer, name);
        QCOMPARE(rig.w<QCheckBox>("cbAutoApplyChanges")->isEnabled(), developer);
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->maximum(), developer ? 15.0 : 6.0);
    }

    void pictures_data()
    {
        QTest::addColumn<int>("logoWidth"); // 0: no Logo.png
        QTest::addColumn<QString>("site");
        QTest::newRow("no logo file") << 0 << "https://www.torvan-drives.example";
        QTest::newRow("maker's logo") << 1000 << "https://www.torvan-drives.example";
        QTest::newRow("partner's logo, 2000 wide") << 2000 << "https://www.partner.example";
        QTest::newRow("1999 wide") << 1999 << "https://www.torvan-drives.example";
    }
    void pictures()
    {
        QFETCH(int, logoWidth);
        QFETCH(QString, site);
        WindowRig rig([logoWidth](const QDir &dir) { putPictures(dir, logoWidth); });

        const QString link = rig.w<QLabel>("lblVisitUs")->text();
        QVERIFY2(link.contains(QStringLiteral("<a href=\"%1\">").arg(site)), qPrintable(link));
        QVERIFY(link.contains(QStringLiteral("Visit us at: ")));
        QVERIFY(link.contains(QStringLiteral("color:#0000ff")));
        // The start-up logo replaces the form's picture when it loads.
        const QPixmap logo = rig.picture("lblLogo");
        QCOMPARE(logo.width(), logoWidth > 0 ? logoWidth : 40);
        QCOMPARE(rig.picture("lblLogo_2").size(), QSize(40, 20));
        QVERIFY(!rig.window->windowIcon().availableSizes().isEmpty());
    }

    void unloadablePicturesAreNamedOnce_data()
    {
        QTest::addColumn<bool>("broken"); // false: missing
        QTest::newRow("missing") << false;
        QTest::newRow("broken files") << true;
    }
    void unloadablePicturesAreNamedOnce()
    {
        QFETCH(bool, broken);
        const QStringList pictures = {"release/TorvanLogo.png", "release/Connection diagram.png", "release/Logo.png",
                                      "release/Driver timing.png"};
        WindowRig rig([&](const QDir &dir) {
            if (!broken)
                return;
            dir.mkpath(QStringLiteral("release"));
            for (const QString &name : pictures) {
                QFile file(dir.filePath(name));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("\x89PNG\r\n\x1a\n not a picture after all");
            }
        });
        QVERIFY(rig.picture("lblLogo").isNull());
        QVERIFY(rig.picture("lblLogo_2").isNull());
        QVERIFY(rig.window->windowIcon().availableSizes().isEmpty());
        QVERIFY(rig.w<QLabel>("lblVisitUs")->text().contains(QStringLiteral("https://www.torvan-drives.example")));

        // Each picture is named once in the log, with the reason.
        const QStringList logged = paneLines(rig.w<QPlainTextEdit>("pteLog"));
        for (const QString &name : pictures) {
            const QStringList lines = logged.filter(QStringLiteral(" Picture ") + name + QStringLiteral(" could not"));
            QVERIFY2(lines.size() == 1, qPrintable(logged.join(QLatin1Char('|'))));
            QVERIFY2(lines.first().section(QStringLiteral("could not be loaded: "), 1).size() > 3,
                     qPrintable(lines.first()));
        }
        // Nothing else: the start line and the four pictures.
        QCOMPARE(logged.size(), 5);
    }

    void connectAndDisconnect()
    {
        WindowRig rig;
        QStringList titles;
        connect(rig.window.get(), &QWidget::windowTitleChanged, [&titles](const QString &t) { titles << t; });

        rig.connectBoard();
        QVERIFY(rig.drv.IsConnected());
        // First with the versions held from before (none), then the board's.
        QCOMPARE(titles.first(), QStringLiteral("Torvan60 1.23 - Torvan60 (simulated). Serial: SIM60-000001; "
                                                "BL: 0x0000, AP: 0x0000, 00, 0"));
        QCOMPARE(rig.window->windowTitle(), DeviceTitle);
        const QStringList fwLines = {"BLver: 0x0105", "AP: 0x0123, FW OK", "Mode: 01", "Sig: 1"};
        QCOMPARE(paneLines(rig.w<QPlainTextEdit>("pteFWLog")), fwLines);
        QVERIFY(rig.w<QLCDNumber>("lcdVoltage")->isEnabled());
        QVERIFY(rig.w<QLCDNumber>("lcdTemperature")->isEnabled());
        QVERIFY(!rig.w<QWidget>("gbFWUpdate")->isEnabled()); // application running

        // A live report through the receive tick reaches the displays.
        // A few, as the filter starts from zeros.
        for (int i = 0; i < 100 && rig.drv.RTData.RTSampleCounter < 3; ++i) {
            rig.clock.advance(20);
            rig.receiveTick();
        }
        QCOMPARE(rig.w<QLabel>("lblDriverStatus")->text(), QStringLiteral("Driver Disabled (Sleep)"));
        QVERIFY(rig.w<QLCDNumber>("lcdVoltage")->value() > 0);

        rig.board.unplug();
        rig.receiveTick();
        QVERIFY(!rig.drv.IsConnected());
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Torvan60 1.23 - No device connected"));
        QVERIFY(!rig.w<QLCDNumber>("lcdVoltage")->isEnabled());
        QVERIFY(!rig.w<QLCDNumber>("lcdTemperature")->isEnabled());
        // The last board's versions stay listed.
        QCOMPARE(paneLines(rig.w<QPlainTextEdit>("pteFWLog")), fwLines);
    }

    void firmwarePaneAndUpdateGroup()
    {
        WindowRig rig;
        rig.connectBoard();
        DriverInfoRecord &info = rig.drv.DriverInfo;
        info.BootloaderActive = true;
        info.FirmwareUpToDate = false;
        info.APVersionLow = 0x22;
        info.DeviceMode = 0xB0;
        info.SignatureValid = false;
        emit rig.drv.newDriverInfoAvailable();
        QVERIFY(rig.w<QWidget>("gbFWUpdate")->isEnabled());
        QCOMPARE(paneLines(rig.w<QPlainTextEdit>("pteFWLog")),
                 QStringList({"BLver: 0x0105", "AP: 0x0122 - Update needed", "Mode: B0", "Sig: 0"}));
        QVERIFY(rig.window->windowTitle().endsWith(QStringLiteral("; BL: 0x0105, AP: 0x0122, B0, 0")));

        // Unplugged, the group keeps its state while the title says so.
        rig.board.unplug();
        rig.receiveTick();
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Torvan60 1.23 - No device connected"));
        QVERIFY(rig.w<QWidget>("gbFWUpdate")->isEnabled());
    }

    void liveStatus_data()
    {
        QTest::addColumn<Live>("before"); // mode 0: no report before
        QTest::addColumn<Live>("now");
        QTest::addColumn<QString>("driverText");
        QTest::addColumn<QString>("faultsText");
        QTest::addColumn<QStringList>("faultLines");
        QTest::addColumn<bool>("lamp");
        QTest::addColumn<QString>("mode");

        const Live none{true, 0, 0, 0};
        const QString overTemp = "Device has entered overtemperature shutdown.";
        const QString lowSupply = "Power supply voltage too low.";
        const QString overA = "Channel A overcurrent shutdown. Please check wireing or possible short circuit.";
        const QString overB = "Channel B overcurrent shutdown. Please check wireing or possible short circuit.";

        QTest::newRow("fault 0x21 with power")
            << none << Live{true, 0x21, 4, 1} << "Driver Overheated"
            << "Fault no. 0x21 detected" << QStringList{overTemp, lowSupply} << true << "rbMode";
        QTest::newRow("all six faults, in bit order")
            << none << Live{true, 0x3F, 2, 3} << "Driver Active"
            << "Fault no. 0x3F detected"
            << QStringList{overTemp,
                           overA,
                           overB,
                           "Channel A predriver fault. Please check driver settings.",
                           "Channel B predriver fault. Please check driver settings.",
                           lowSupply}
            << true << "rbMode_3";
        QTest::newRow("fault 0 with power") << Live{true, 0x21, 4, 1} << Live{true, 0, 2, 2} << "Driver Active"
                                            << "Driver OK" << QStringList{"No faults detected!"} << false << "rbMode_2";
        QTest::newRow("power lost after a fault")
            << Live{true, 0x06, 2, 3} << Live{false, 0, 0, 3} << ""
            << "No motor power available." << QStringList{overA, overB} << true << "rbMode_3";
        QTest::newRow("mode 0 after 4") << Live{true, 0, 2, 4} << Live{true, 0, 3, 0} << "Driver IDLE"
                                        << "Driver OK" << QStringList{"No faults detected!"} << false << "rbMode_4";
        QTest::newRow("mode 5 after 6") << Live{true, 0, 2, 6} << Live{true, 0, 5, 5} << "Driver in PWM mode"
                                        << "Driver OK" << QStringList{"No faults detected!"} << false << "rbMode_5";
        QTest::newRow("driver state 7") << none << Live{true, 0, 7, 6} << ""
                                        << "Driver OK" << QStringList{"No faults detected!"} << false << "rbMode_6";
        QTest::newRow("driver state -1") << none << Live{true, 0, -1, 1} << ""
                                         << "Driver OK" << QStringList{"No faults detected!"} << false << "rbMode";
    }
    void liveStatus()
    {
        QFETCH(Live, before);
        QFETCH(Live, now);
        QFETCH(QString, driverText);
        QFETCH(QString, faultsText);
        QFETCH(QStringList, faultLines);
        QFETCH(bool, lamp);
        QFETCH(QString, mode);

        WindowRig rig;
        if (before.mode != 0) {
            apply(rig.drv.RTData, before);
            rig.announceLive();
        }
        apply(rig.drv.RTData, now);
        rig.announceLive();

        QCOMPARE(rig.w<QLabel>("lblDriverStatus")->text(), driverText);
        QCOMPARE(rig.w<QLabel>("lblFaultsStatus")->text(), faultsText);
        QCOMPARE(paneLines(rig.w<QPlainTextEdit>("pteFaults")), faultLines);
        QCOMPARE(!rig.w<QWidget>("frmStatus")->isHidden(), lamp);
        QCOMPARE(checkedMode(rig), mode);
    }

    // Most reports repeat the one before: the Faults box is rewritten only
    // when the faults change, or when something else wrote to it.
    void faultsBoxIsRewrittenOnlyWhenTheFaultsChange()
    {
        WindowRig rig;
        auto *pane = rig.w<QPlainTextEdit>("pteFaults");
        const QString overA = "Channel A overcurrent shutdown. Please check wireing or possible short circuit.";
        Live live{true, 0x21, 4, 1};
        apply(rig.drv.RTData, live);
        rig.announceLive();
        const int revision = pane->document()->revision();
        rig.announceLive(5);
        QCOMPARE(pane->document()->revision(), revision);

        live.faults = 0x02;
        apply(rig.drv.RTData, live);
        rig.announceLive();
        QCOMPARE(paneLines(pane), QStringList{overA});

        pane->appendPlainText(QStringLiteral("a note"));
        rig.announceLive();
        QCOMPARE(paneLines(pane), QStringList{overA});

        // Back to the faults shown before the last change.
        live.faults = 0x21;
        apply(rig.drv.RTData, live);
        rig.announceLive();
        QCOMPARE(paneLines(pane).size(), 2);
        QCOMPARE(rig.w<QLabel>("lblFaultsStatus")->text(), QStringLiteral("Fault no. 0x21 detected"));
    }

    // Widgets repaint when what they show changes, at most once per frame;
    // what they hold is up to date at once, but for the current position
    // and speed, which take the newest report at the end of a frame that
    // was painted already.
    void aLayoutChangeIsPaintedInOneFrame()
    {
        // A label deep inside layouts and a tab widget, as on the tab pages:
        // a new text must not leave layouts to settle (and the tab widget to
        // repaint) in the frames after the one that shows it.
        ManualClock clock;
        QWidget window;
        RepaintPacer pacer(&window, clock, RepaintPacer::ShortestIntervalMs);
        auto *tabs = new QTabWidget;
        (new QVBoxLayout(&window))->addWidget(tabs);
        QWidget *inner = new QWidget;
        tabs->addTab(inner, QStringLiteral("page"));
        for (int depth = 0; depth < 6; ++depth) {
            auto *next = new QWidget;
            (new QHBoxLayout(inner))->addWidget(next);
            inner = next;
        }
        auto *label = new QLabel(QStringLiteral("short"));
        (new QHBoxLayout(inner))->addWidget(label);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto frame = [&] {
            clock.advance(RepaintPacer::ShortestIntervalMs);
            QMetaObject::invokeMethod(&pacer, "release");
            QCoreApplication::processEvents();
        };
        for (int i = 0; i < 20; ++i)
            frame();

        PaintCounter counter;
        counter.watch(tabs);
        label->setText(QStringLiteral("a good deal longer than before"));
        frame();
        QVERIFY(counter.total() > 0);
        for (int i = 0; i < 10; ++i) {
            counter.paints.clear();
            frame();
            QCOMPARE(counter.total(), 0);
        }
    }

    void repaintsFollowChangesAtScreenPace_data()
    {
        // The window at the size it opens with and squeezed as far as it
        // goes.
        QTest::addColumn<bool>("smallest");
        QTest::newRow("default size") << false;
        QTest::newRow("minimum size") << true;
    }

    void repaintsFollowChangesAtScreenPace()
    {
        QFETCH(bool, smallest);
        WindowRig rig;
        if (smallest)
            rig.window->resize(rig.window->minimumSize());
        rig.w<QTabWidget>("tabMainTab")->setCurrentWidget(rig.w<QWidget>("tabPositionControl"));
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        auto *pacer = rig.window->findChild<RepaintPacer *>();
        QVERIFY(pacer);
        PaintCounter counter;
        for (const char *name : {"sbCurPos", "sbCurSpeed", "lcdVoltage", "lcdTemperature", "lblDriverStatus",
                                 "lblFaultsStatus", "btnRunStop"})
            counter.watch(rig.w<QWidget>(name));
        const auto frame = [&] {
            rig.clock.advance(RepaintPacer::frameIntervalMs());
            QMetaObject::invokeMethod(pacer, "release");
            QCoreApplication::processEvents();
        };
        Live live{true, 0, 2, 1}; // no position chart in mode 1
        live.position = 100;
        live.speed = 20;
        apply(rig.drv.RTData, live);
        rig.announceLive();
        frame();
        QVERIFY(counter.total() > 0);
        // Whatever the first paints left to paint (the boxes wait for the
        // end of a frame that was painted already): until two frames in a
        // row paint nothing.
        for (int i = 0, quiet = 0; i < 8 && quiet < 2; ++i) {
            counter.paints.clear();
            frame();
            quiet = counter.total() == 0 ? quiet + 1 : 0;
        }

        // The same report again and again: nothing to repaint.
        counter.paints.clear();
        rig.announceLive(10);
        frame();
        QCOMPARE(counter.total(), 0);

        // A new position repaints its box...
        live.position = 101;
        apply(rig.drv.RTData, live);
        rig.announceLive();
        frame();
        QVERIFY(counter.paints.value(rig.w<QWidget>("sbCurPos")) > 0);

        // ...and changes within the same frame wait for its end, together.
        counter.paints.clear();
        for (int i = 0; i < 5; ++i) {
            live.position = 102 + i;
            live.speed = 21 + i;
            apply(rig.drv.RTData, live);
            rig.announceLive();
            QCoreApplication::processEvents();
        }
        QCOMPARE(counter.total(), 0);
        QVERIFY(pacer->holding());
        QCOMPARE(rig.w<QSpinBox>("sbCurPos")->value(), 101);
        frame();
        QCOMPARE(rig.w<QSpinBox>("sbCurPos")->value(), 106);
        QCOMPARE(rig.w<QSpinBox>("sbCurSpeed")->value(), 25);
        QVERIFY(counter.paints.value(rig.w<QWidget>("sbCurPos")) > 0);
        QVERIFY(counter.paints.value(rig.w<QWidget>("sbCurSpeed")) > 0);
        QVERIFY(!pacer->holding());
    }

    void liveValues_data()
    {
        QTest::addColumn<unsigned>("inputs");
        QTest::addColumn<double>("temperature");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("shownTemperature"); // the digits the display shows
        QTest::addColumn<int>("shownSpeed");
        QTest::newRow("no inputs") << 0u << 31.46 << 1500 << "31.5" << 1500;
        QTest::newRow("all inputs") << 0x7Fu << 31.46 << -1500 << "31.5" << -1500;
        QTest::newRow("odd inputs, hot") << 0x55u << 120.46 << 2000000 << "120.5" << 1000000;
        QTest::newRow("even inputs") << 0x2Au << 99.96 << -2000000 << "100.0" << -1000000;
        // Only a faulty board sends such a reading: better without its decimal
        // than without its leading digit.
        QTest::newRow("too long for the display") << 0x00u << 1234.56 << 0 << "1235" << 0;
    }
    void liveValues()
    {
        QFETCH(unsigned, inputs);
        QFETCH(double, temperature);
        QFETCH(int, speed);
        QFETCH(QString, shownTemperature);
        QFETCH(int, shownSpeed);

        WindowRig rig;
        Live live;
        live.inputs = inputs;
        live.temperature = temperature;
        live.voltage = 24.04;
        live.speed = speed;
        live.position = -123456;
        apply(rig.drv.RTData, live);
        rig.announceLive();

        const char *const boxes[7] = {
            "cbInpBootloaderOverride", "cbInpSleep", "cbInpStep", "cbInpDir", "cbInpBin1", "cbInpBin2",
            "cbInpEndSwitch"};
        for (int bit = 0; bit < 7; ++bit)
            QVERIFY2(rig.w<QCheckBox>(boxes[bit])->isChecked() == bool(inputs & (1u << bit)), boxes[bit]);
        QCOMPARE(rig.w<QPushButton>("btnRunStop")->text(),
                 (inputs & 0x02) ? QStringLiteral("Stop") : QStringLiteral("Run"));

        // Readings of 100 and more keep their leading digit on the
        // four-digit display: what it draws is what a four-digit display
        // with a small decimal point draws for the expected digits.
        auto *lcdTemperature = rig.w<QLCDNumber>("lcdTemperature");
        QCOMPARE(lcdTemperature->value(), shownTemperature.toDouble());
        QLCDNumber expected(lcdTemperature->parentWidget());
        expected.setDigitCount(4);
        expected.setSmallDecimalPoint(true);
        expected.setSegmentStyle(lcdTemperature->segmentStyle());
        expected.setFrameShape(lcdTemperature->frameShape());
        expected.setFrameShadow(lcdTemperature->frameShadow());
        expected.setEnabled(lcdTemperature->isEnabled());
        expected.resize(lcdTemperature->size());
        expected.display(shownTemperature);
        QCOMPARE(lcdTemperature->grab().toImage(), expected.grab().toImage());
        QCOMPARE(rig.w<QLCDNumber>("lcdVoltage")->value(), 24.0);

        QCOMPARE(rig.w<QLabel>("lblTrajCalcTickRate")->text(), QStringLiteral("TCT rate: 10000"));
        QCOMPARE(rig.w<QSpinBox>("sbCurPos")->value(), -123456);
        QCOMPARE(rig.w<QSpinBox>("sbCurSpeed")->value(), shownSpeed);
    }

    void developerControlsToggleWithF12()
    {
        WindowRig rig;
        auto *fullScale = rig.w<QDoubleSpinBox>("dsbFSCurrent");
        auto *idle = rig.w<QDoubleSpinBox>("dsbIdleCurrent");
        auto *reduced = rig.w<QDoubleSpinBox>("dsbReducedCurrent");
        auto *autoApply = rig.w<QCheckBox>("cbAutoApplyChanges");
        const char *const developerControls[] = {"pteRegistersValues",  "ptePWMValues",
                                                 "lblTrajCalcTickRate", "cbAutoResetFaultsOnEnableToggle",
                                                 "btnTestBIN1",         "btnTestBIN2"};

        QTest::keyClick(rig.window.get(), Qt::Key_F12);
        QVERIFY(DeveloperMode);
        for (const char *name : developerControls)
            QVERIFY2(!rig.w<QWidget>(name)->isHidden(), name);
        QVERIFY(autoApply->isEnabled());
        QCOMPARE(fullScale->maximum(), 15.0);
        QCOMPARE(idle->maximum(), 15.0);
        QCOMPARE(reduced->maximum(), 6.0);

        fullScale->setValue(12.0);
        idle->setValue(9.5);
        reduced->setValue(5.5);
        autoApply->setChecked(true);

        QTest::keyClick(rig.window.get(), Qt::Key_F12);
        QVERIFY(!DeveloperMode);
        for (const char *name : developerControls)
            QVERIFY2(WindowRig::explicitlyHidden(rig.w<QWidget>(name)), name);
        QVERIFY(!autoApply->isEnabled());
        QVERIFY(!autoApply->isChecked());
        QCOMPARE(fullScale->maximum(), 6.0);
        QCOMPARE(fullScale->value(), 6.0);
        QCOMPARE(idle->value(), 6.0);
        QCOMPARE(reduced->value(), 5.5);
    }

    void escapeStopsOnlyATrajectory_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("stopSent");
        QTest::newRow("trajectory") << 4 << true;
        QTest::newRow("default") << 1 << false;
        QTest::newRow("BINx up/down") << 5 << false;
        QTest::newRow("speed") << 6 << false;
    }
    void escapeStopsOnlyATrajectory()
    {
        QFETCH(int, mode);
        QFETCH(bool, stopSent);
        WindowRig rig;
        rig.connectBoard();
        rig.drv.RTData.OperatingMode = mode;

        QTest::keyClick(rig.window.get(), Qt::Key_Escape);
        QCOMPARE(rig.board.receivedCodes(),
                 stopSent ? std::vector<unsigned char>{Report::CmdStopTrajectory} : std::vector<unsigned char>{});
        // Other keys do nothing.
        QTest::keyClick(rig.window.get(), Qt::Key_Space);
        QCOMPARE(int(rig.board.received.size()), stopSent ? 1 : 0);
    }

    void runStopFollowsTheSleepInput_data()
    {
        QTest::addColumn<bool>("enabled"); // InpSleep as last reported
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("enableByte");
        QTest::newRow("axis asleep: enable") << false << "Stop" << 1;
        QTest::newRow("axis enabled: sleep") << true << "Run" << 0;
    }
    void runStopFollowsTheSleepInput()
    {
        QFETCH(bool, enabled);
        QFETCH(QString, text);
        QFETCH(int, enableByte);
        WindowRig rig;
        rig.connectBoard();
        Live live;
        live.inputs = enabled ? 0x02 : 0;
        apply(rig.drv.RTData, live);
        rig.announceLive();

        rig.w<QPushButton>("btnRunStop")->click();
        QCOMPARE(rig.w<QPushButton>("btnRunStop")->text(), text);
        QCOMPARE(int(rig.board.received.size()), 1);
        QCOMPARE(rig.board.received[0].code(), Report::CmdSetDriverEnable);
        QCOMPARE(int(rig.board.received[0].plain[21]), enableByte);

        // The text was provisional: the next live report shows the input.
        rig.announceLive();
        QCOMPARE(rig.w<QPushButton>("btnRunStop")->text(), enabled ? QStringLiteral("Stop") : QStringLiteral("Run"));
    }

    void setReturnsToDefaultMode()
    {
        WindowRig rig;
        rig.connectBoard();
        rig.w<QPushButton>("btnSetDefault")->click();
        QCOMPARE(int(rig.board.received.size()), 1);
        const auto &plain = rig.board.received[0].plain;
        QCOMPARE(plain[2], Report::CmdSetStepFrequency);
        QCOMPARE(QList<int>({plain[21], plain[22], plain[23], plain[24], plain[25]}),
                 QList<int>({0xFF, 0xFF, 0xFF, 0xFF, 1}));
    }

    void firmwareButtons()
    {
        WindowRig rig;
        rig.connectBoard();
        rig.w<QPushButton>("btnGetDeviceInfo")->click();
        QVERIFY(!rig.board.received.empty());
        QCOMPARE(rig.board.received.front().code(), Report::CmdGetDeviceInfo);
        QCOMPARE(rig.window->windowTitle(), DeviceTitle);

        rig.board.received.clear();
        rig.w<QPushButton>("btnRestart")->click();
        QCOMPARE(rig.board.receivedCodes(), std::vector<unsigned char>{Report::CmdRestart});
    }

    void fullUpdateMovesTheProgressBar()
    {
        WindowRig rig;
        rig.board.model.bootloaderRunning = true; // over a valid application of this version
        rig.connectBoard();
        QVERIFY(rig.w<QWidget>("gbFWUpdate")->isEnabled());

        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        auto *bar = rig.w<QProgressBar>("pbUploadStatus");
        bar->setValue(700); // where an earlier run broke off
        QList<int> shown;
        connect(bar, &QProgressBar::valueChanged, [&shown](int v) { shown << v; });
        // Counts the paints of the bar while the update holds the event loop.
        struct PaintCounter : QObject
        {
            int paints = 0;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    ++paints;
                return false;
            }
        } counter;
        bar->installEventFilter(&counter);

        rig.w<QPushButton>("btnFullUpdate")->click();

        QCOMPARE(shown.size(), 768);
        QCOMPARE(shown.first(), 256);
        QCOMPARE(shown.last(), 1023);
        for (int i = 1; i < shown.size(); ++i)
            QCOMPARE(shown[i], shown[i - 1] + 1);
        QVERIFY2(counter.paints >= 768, qPrintable(QString::number(counter.paints)));
        QCOMPARE(rig.board.receivedCodes().back(), Report::CmdRestart);
    }

    void logPaneKeepsTheNewestLines()
    {
        WindowRig rig;
        auto *logger = rig.window->findChild<Logger *>();
        QVERIFY(logger);
        const int atStart = fileLines(rig.dir.filePath(QStringLiteral("log.txt"))).size();
        const int lines = PlainTextLogPane::MaxLines + 5;
        for (int i = 1; i <= lines; ++i)
            logger->write(QStringLiteral("line %1").arg(i));
        const QStringList shown = paneLines(rig.w<QPlainTextEdit>("pteLog"));
        QCOMPARE(shown.size(), PlainTextLogPane::MaxLines);
        QVERIFY(shown.last().endsWith(QStringLiteral(" line %1").arg(lines)));
        QVERIFY(shown.first().endsWith(QStringLiteral(" line %1").arg(lines - PlainTextLogPane::MaxLines + 1)));
        // The file keeps them all, the start-up lines included.
        QCOMPARE(fileLines(rig.dir.filePath(QStringLiteral("log.txt"))).size(), atStart + lines);
    }

    void deviceOutlivesTheWindow()
    {
        WindowRig rig;
        const QString log = rig.dir.filePath(QStringLiteral("log.txt"));
        rig.window.reset();
        const int lines = fileLines(log).size();
        // The device object logs on; the window's logger must be out of it.
        rig.LinkRig::connectBoard();
        QCOMPARE(fileLines(log).size(), lines);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
