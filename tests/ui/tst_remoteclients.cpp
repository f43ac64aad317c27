// The window holding a board that other programs reach through its
// service: the status bar counts them, the log names them and their
// commands, and what they change shows in the controls without the window
// sending anything of its own.
#include "device/sim/Scenarios.h"
#include "service/BoardService.h"
#include "service/ServiceHost.h"
#include "service/ServicePaths.h"
#include "support/ServiceRig.h"
#include "support/TestWallClock.h"
#include "ui/WindowRig.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest>

namespace {

struct CapturingPeer : ServicePeer
{
    CapturingPeer()
    {
        program = QStringLiteral("torvan60ctl");
        pid = 1234;
    }
    void send(const QByteArray &line) override { lines << line; }
    QList<QByteArray> lines;
};

// Lets the simulated board and the live stream run until the peer has an
// answer, at most 5 s of the board's time.
// Each line of requests in turn, the next once the one before is answered;
// the last answer.
template <class Rig>
QJsonObject answer(Rig &rig, BoardService &service, CapturingPeer &peer, const QByteArray &requests)
{
    QJsonObject last;
    for (const QByteArray &request : requests.split('\n')) {
        peer.lines.clear();
        service.receive(&peer, request);
        for (int t = 0; t < 5000 && peer.lines.isEmpty(); t += 10) {
            rig.clock.advance(10);
            rig.receiveTick();
            service.poll();
        }
        last = peer.lines.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(peer.lines.last()).object();
    }
    return last;
}

template <class Rig> void settle(Rig &rig, int ms)
{
    for (int t = 0; t < ms; t += 10) {
        rig.clock.advance(10);
        rig.receiveTick();
    }
}

QStringList paneLines(const QPlainTextEdit *pane)
{
    return pane->toPlainText().split(QLatin1Char('\n'));
}

// The window on a connected board, its driver awake, serving it to one
// client.
struct ServedWindow
{
    WindowRig rig;
    TestWallClock wall{rig.clock, QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), 0};
    BoardService service{rig.drv, rig.clock, wall};
    CapturingPeer peer;

    ServedWindow()
    {
        rig.connectBoard();
        rig.w<QPushButton>("btnRunStop")->click();
        settle(rig, 200);
        service.setLogger(rig.window->eventLog());
        rig.window->attachService(service);
        service.attach(&peer);
    }
    QJsonObject call(const QByteArray &requests) { return answer(rig, service, peer, requests); }
};

QJsonObject resultOf(const QJsonObject &reply)
{
    return reply.value(QLatin1String("result")).toObject();
}

QJsonObject errorOf(const QJsonObject &reply)
{
    return reply.value(QLatin1String("error")).toObject();
}

} // namespace

class TestRemoteClients : public QObject
{
    Q_OBJECT

private slots:
    void clientsShowInTheStatusBarAndTheLog()
    {
        WindowRig rig;
        rig.connectBoard();
        TestWallClock wall(rig.clock, QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), 0);
        BoardService service(rig.drv, rig.clock, wall);
        service.setLogger(rig.window->eventLog());
        rig.window->attachService(service);
        auto *label = rig.w<QLabel>("lblRemoteClients");
        QVERIFY(label->isHidden());

        CapturingPeer one, two;
        service.attach(&one);
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("1 remote client connected"));
        service.attach(&two);
        QCOMPARE(label->text(), QStringLiteral("2 remote clients connected"));
        answer(rig, service, one, R"({"jsonrpc":"2.0","id":1,"method":"home"})");
        QCOMPARE(rig.window->statusBar()->currentMessage(),
                 QStringLiteral("Remote command from torvan60ctl (pid 1234): home"));
        // A refused command says so, and why.
        answer(rig, service, one, R"({"jsonrpc":"2.0","id":2,"method":"move","params":{"target":150000}})");
        const QString refused = QStringLiteral("Remote command refused from torvan60ctl (pid 1234): move 150000 "
                                               "(\"target\" 150000 is outside the position limits 0 to 100000)");
        QCOMPARE(rig.window->statusBar()->currentMessage(), refused);
        service.detach(&one);
        service.detach(&two);
        QVERIFY(label->isHidden());

        const QStringList log = paneLines(rig.w<QPlainTextEdit>("pteLog"));
        auto logged = [&log](const QString &text) {
            return std::any_of(log.begin(), log.end(), [&text](const QString &line) { return line.endsWith(text); });
        };
        QVERIFY(logged(QStringLiteral("Remote client connected: torvan60ctl (pid 1234)")));
        QVERIFY(logged(QStringLiteral("Remote command from torvan60ctl (pid 1234): home")));
        QVERIFY(logged(refused));
        QVERIFY(!logged(QStringLiteral("Remote command from torvan60ctl (pid 1234): move 150000")));
        QVERIFY(logged(QStringLiteral("Remote client left: torvan60ctl (pid 1234)")));
    }

    // Each command reaches the board exactly as it does from a program
    // without a window, and its change shows in the window's controls.
    void changesShowWithoutAnythingSentBack_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("shown");
        QTest::newRow("name") << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"name","params":{"name":"Bench 3"}})")
                              << "leDriverName" << QByteArray("text") << QVariant(QStringLiteral("Bench 3"));
        // A move's own profile is lent to it: the window keeps its settings.
        QTest::newRow("move with its own speed: the target")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"move","params":{"target":2000,"max_speed":1234}})")
            << "sbFinPos" << QByteArray("value") << QVariant(2000);
        QTest::newRow("move with its own speed: the window's speed")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"move","params":{"target":2000,"max_speed":1234}})")
            << "sbVmax" << QByteArray("value") << QVariant(10000);
        QTest::newRow("settings")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"settings.set","params":{"settings":)"
                          R"({"DriverSettings":{"FullScaleCurrent":1.5},"TrajectorySettings":{"MaxAccel":4321}}}})")
            << "dsbFSCurrent" << QByteArray("value") << QVariant(1.5);
        QTest::newRow("settings, the motion part")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"settings.set","params":{"settings":)"
                          R"({"DriverSettings":{"FullScaleCurrent":1.5},"TrajectorySettings":{"MaxAccel":4321}}}})")
            << "sbAccel" << QByteArray("value") << QVariant(4321);
        QTest::newRow("run in speed mode")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"run","params":{"speed":-300}})")
            << "cbEnableAutoRunPosCtrl" << QByteArray("checked") << QVariant(true);
        // The window's own way out of speed mode stops the motor and makes
        // its place the zero: a client's move must not get that.
        QTest::newRow("a move ends speed mode")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"run","params":{"speed":-300}})"
                          "\n"
                          R"({"jsonrpc":"2.0","id":2,"method":"move","params":{"target":100}})")
            << "cbEnableAutoRunPosCtrl" << QByteArray("checked") << QVariant(false);
        QTest::newRow("DC motors")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"pwm","params":{"a":-40,"b":25,"freq":5000}})")
            << "sbPWM_A" << QByteArray("value") << QVariant(-40);
    }

    void changesShowWithoutAnythingSentBack()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, widget);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, shown);

        // What the command sends from a program without a window.
        std::vector<unsigned char> expected;
        {
            LinkRig plain;
            plain.connectBoard();
            plain.drv.EnableDriver();
            settle(plain, 200);
            TestWallClock wall(plain.clock, QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), 0);
            BoardService service(plain.drv, plain.clock, wall);
            plain.drv.TrajectoryData.PosLimitUpper = 100000; // as the window's
            CapturingPeer peer;
            service.attach(&peer);
            plain.board.received.clear();
            const QJsonObject reply = answer(plain, service, peer, request);
            QVERIFY2(reply.contains(QLatin1String("result")), QJsonDocument(reply).toJson());
            expected = plain.board.receivedCodes();
        }

        WindowRig rig;
        rig.connectBoard();
        rig.w<QPushButton>("btnRunStop")->click(); // the board starts asleep
        settle(rig, 200);
        TestWallClock wall(rig.clock, QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), 0);
        BoardService service(rig.drv, rig.clock, wall);
        rig.window->attachService(service);
        CapturingPeer peer;
        service.attach(&peer);
        rig.board.received.clear();
        const QJsonObject reply = answer(rig, service, peer, request);
        QVERIFY2(reply.contains(QLatin1String("result")), QJsonDocument(reply).toJson());
        settle(rig, 300);
        auto hex = [](const std::vector<unsigned char> &codes) {
            QStringList out;
            for (unsigned char c : codes)
                out << QString::number(c, 16);
            return out.join(QLatin1Char(' '));
        };
        QCOMPARE(hex(rig.board.receivedCodes()), hex(expected));
        QWidget *control = rig.window->findChild<QWidget *>(widget);
        QVERIFY(control);
        QCOMPARE(control->property(property.constData()), shown);
    }

    // Clients see what the board holds; what the operator typed but did not
    // write stays the window's.
    void unwrittenEditsAreNotServed_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<int>("edit");
        QTest::newRow("temperature limit") << "sbTempLimit" << 66;
        QTest::newRow("maximum speed") << "sbVmax" << 1234;
    }

    void unwrittenEditsAreNotServed()
    {
        QFETCH(QString, widget);
        QFETCH(int, edit);
        ServedWindow served;
        const QByteArray get = R"({"jsonrpc":"2.0","id":1,"method":"settings.get","params":{"detail":true}})";
        const QJsonObject before = resultOf(served.call(get));
        QVERIFY(!before.isEmpty());
        served.rig.w<QCheckBox>("cbAutoUpdatePos")->setChecked(false);
        auto *box = served.rig.window->findChild<QSpinBox *>(widget);
        QVERIFY(box);
        QVERIFY(box->value() != edit);
        box->setValue(edit);
        settle(served.rig, 100);
        QCOMPARE(resultOf(served.call(get)), before);
    }

    // A client's change of a value the operator edited without writing it
    // replaces the edit and says so; edits of other values stay.
    void pendingEditsUnderRemoteChanges_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<int>("edit");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("told"); // empty: nothing is told
        QTest::newRow("a setting the client changed")
            << "sbTempLimit" << 66
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"settings.set","params":{"settings":)"
                          R"({"DriverSettings":{"TemperatureLimit":70}}}})")
            << 70 << "Temperature limit 66 → 70";
        QTest::newRow("a setting the client left")
            << "sbTempLimit" << 66
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"name","params":{"name":"Bench 3"}})") << 66 << QString();
        QTest::newRow("the target of a move")
            << "sbFinPos" << 5000 << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"move","params":{"target":2000}})")
            << 2000 << "Final position 5000 → 2000";
        QTest::newRow("the target under a change of speed")
            << "sbFinPos" << 5000
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"settings.set","params":{"settings":)"
                          R"({"TrajectorySettings":{"MaxSpeed":4000}}}})")
            << 5000 << QString();
    }

    void pendingEditsUnderRemoteChanges()
    {
        QFETCH(QString, widget);
        QFETCH(int, edit);
        QFETCH(QByteArray, request);
        QFETCH(int, shown);
        QFETCH(QString, told);
        ServedWindow served;
        served.rig.w<QCheckBox>("cbAutoUpdatePos")->setChecked(false);
        auto *box = served.rig.window->findChild<QSpinBox *>(widget);
        QVERIFY(box);
        box->setValue(edit);
        const QJsonObject reply = served.call(request);
        QVERIFY2(reply.contains(QLatin1String("result")), QJsonDocument(reply).toJson());
        settle(served.rig, 300); // read-backs included
        QCOMPARE(box->value(), shown);
        const QString prefix =
            QStringLiteral("Remote change from torvan60ctl (pid 1234) replaced values not yet written: ");
        const QStringList toldLines = served.rig.logged().filter(prefix);
        if (told.isEmpty()) {
            QCOMPARE(toldLines, QStringList());
        } else {
            QCOMPARE(toldLines.size(), 1);
            QVERIFY2(toldLines.first().endsWith(prefix + told), qPrintable(toldLines.first()));
            QVERIFY(served.rig.window->statusBar()->currentMessage().endsWith(told));
        }
    }

    // While the window's notice of the switch to DC motors is open, a client
    // cannot change the board behind it; what it reads is answered, and the
    // switch-over runs once.
    void remoteChangesWaitForTheWindowsQuestion()
    {
        ServedWindow served;
        QJsonObject moved, read;
        served.rig.dialogs.whileShown = [&](const ScriptedDialogs::Shown &shown) {
            if (shown.title != QLatin1String("PWM Information"))
                return;
            moved = served.call(R"({"jsonrpc":"2.0","id":1,"method":"move","params":{"target":5000}})");
            read = served.call(R"({"jsonrpc":"2.0","id":2,"method":"settings.get"})");
        };
        served.rig.board.received.clear();
        served.rig.w<QGroupBox>("gbPWMControl")->setChecked(true);
        settle(served.rig, 300);

        QCOMPARE(errorOf(moved).value(QLatin1String("code")).toInt(), int(Rpc::Refused));
        const QString message = errorOf(moved).value(QLatin1String("message")).toString();
        QVERIFY2(message.contains(QLatin1String("busy")) && message.contains(QLatin1String("\"PWM Information\"")),
                 qPrintable(message));
        QVERIFY(!resultOf(read).isEmpty());
        QCOMPARE(served.rig.shownOf(QStringLiteral("notice")), QStringList{QStringLiteral("PWM Information")});
        QCOMPARE(served.rig.logged().filter(QStringLiteral("Enabling PWMs.")).size(), 1);
        QCOMPARE(served.rig.count(Report::CmdWriteTrajectory), 0);
        QCOMPARE(int(served.rig.board.model.operatingMode), 3);
        // Answered: clients are served again.
        const QJsonObject after = served.call(R"({"jsonrpc":"2.0","id":3,"method":"pwm","params":{"a":10}})");
        QVERIFY2(after.contains(QLatin1String("result")), QJsonDocument(after).toJson());
    }

    // Closing the window while the motor moves or clients are connected
    // asks first; clients are told the holder closes.
    void closingWhileMovingAsks_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<QString>("logged");
        QTest::newRow("stop and close") << 0 << true << true << "Closing: the motor is stopped.";
        QTest::newRow("close and leave it") << 1 << true << false << "Closing: the motor is left moving.";
        QTest::newRow("cancel") << 2 << false << false << "Closing cancelled.";
    }

    void closingWhileMovingAsks()
    {
        QFETCH(int, choice);
        QFETCH(bool, closed);
        QFETCH(bool, stopped);
        QFETCH(QString, logged);
        ServedWindow served;
        CapturingPeer subscriber;
        served.service.attach(&subscriber);
        QVERIFY(resultOf(served.call(R"({"jsonrpc":"2.0","id":1,"method":"move","params":{"target":80000}})"))
                    .contains(QLatin1String("target")));
        settle(served.rig, 200);
        QVERIFY(served.rig.drv.RTData.CurrentSpeed != 0);
        served.rig.board.received.clear();

        served.rig.dialogs.choices << choice;
        QCOMPARE(served.rig.window->close(), closed);
        QCOMPARE(served.rig.shownOf(QStringLiteral("choose")), QStringList{QStringLiteral("Close the window")});
        QVERIFY(served.rig.dialogs.shown.last().text.contains(QLatin1String("2 remote clients are connected")));
        QCOMPARE(served.rig.count(Report::CmdStopTrajectory), stopped ? 1 : 0);
        QVERIFY2(served.rig.logged().contains(logged), qPrintable(served.rig.logged().join(QLatin1Char('\n'))));
        const QList<QByteArray> last = subscriber.lines;
        const bool told = !last.isEmpty() && last.last().contains("\"method\":\"closing\"");
        QCOMPARE(told, closed);
    }

    void closingAtRestWithoutClientsAsksNothing()
    {
        WindowRig rig;
        rig.connectBoard();
        TestWallClock wall(rig.clock, QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), 0);
        BoardService service(rig.drv, rig.clock, wall);
        rig.window->attachService(service);
        QVERIFY(rig.window->close());
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    // The firmware question when a board connects comes before the board is
    // served; a client meanwhile learns that the holder is busy with it,
    // not that there is no board.
    void aClientMeetsTheStartUpQuestionAsBusy()
    {
        QTemporaryDir runtime;
        // The folder the holder serves in, this test's own while it runs.
        struct OwnRuntime
        {
            const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
            ~OwnRuntime() { qputenv("XDG_RUNTIME_DIR", before); }
        } ownRuntime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        WindowRig rig;
        QVERIFY(applySimulationScenario(rig.board, QStringLiteral("outdated")));
        TestWallClock wall(rig.clock, QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), 0);
        BoardService service(rig.drv, rig.clock, wall);
        service.setHolder(QStringLiteral("torvan60"), 4242);
        service.setLogger(rig.window->eventLog());
        rig.window->attachService(service);
        ServiceHost host(service, rig.drv, rig.window->eventLog());
        QJsonObject hello, status;
        rig.dialogs.whileShown = [&](const ScriptedDialogs::Shown &shown) {
            if (shown.kind != QLatin1String("ask"))
                return;
            RawClient client(ServicePaths::socketPath(rig.board.serial));
            QVERIFY(client.connected);
            hello = client.call(QStringLiteral("hello"));
            status = client.call(QStringLiteral("status"));
        };
        rig.connectBoard();
        QCOMPARE(rig.shownOf(QStringLiteral("ask")), QStringList{QStringLiteral("Device firmware mismatch detected.")});
        QCOMPARE(resultOf(hello).value(QLatin1String("serial")).toString(), rig.board.serial);
        QCOMPARE(errorOf(status).value(QLatin1String("code")).toInt(), int(Rpc::Refused));
        const QString message = errorOf(status).value(QLatin1String("message")).toString();
        QVERIFY2(message.contains(QLatin1String("torvan60 (pid 4242) is busy with board SIM60-000001")) &&
                     message.contains(QLatin1String("\"Device firmware mismatch detected.\"")),
                 qPrintable(message));
        // Answered: served once read whole, not before.
        QVERIFY(!host.server().isListening());
        for (int t = 0; t < 2000 && !host.server().isListening(); t += 10)
            settle(rig, 10);
        QVERIFY(host.server().isListening());
    }

    void anUnwrittenDcMotorTickDoesNotRefuseAMove()
    {
        ServedWindow served;
        // The window's record holds DC motor mode, not yet written (as while
        // the notice of the switch-over is open).
        served.rig.drv.DrvSettings.PWMMode = true;
        const QJsonObject reply = served.call(R"({"jsonrpc":"2.0","id":1,"method":"move","params":{"target":500}})");
        QVERIFY2(reply.contains(QLatin1String("result")), QJsonDocument(reply).toJson());
    }
};

QTEST_MAIN(TestRemoteClients)
#include "tst_remoteclients.moc"
