// The window holding a board that other programs reach through its
// service: the status bar counts them, the log names them and their
// commands, and what they change shows in the controls without the window
// sending anything of its own.
#include "service/BoardService.h"
#include "support/TestWallClock.h"
#include "ui/WindowRig.h"

#include <QDoubleSpinBox>
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
};

QTEST_MAIN(TestRemoteClients)
#include "tst_remoteclients.moc"
