// The command-line tool, run as the real executable against its simulated
// boards. These run in real time: waits are generous and nothing asserts on
// how long a command took.
#include "config/DriverRegisterCodec.h"
#include "config/SettingsFile.h"
#include "device/Records.h"
#include "device/Scrambler.h"
#include "device/sim/SimulatedBoard.h"
#include "record/LiveCsv.h"
#include "support/CsvReader.h"
#include "support/ManualClock.h"
#include "support/ProcessRun.h"
#include "support/TestLanes.h"
#include "support/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int FinishMs = 90000;

using Result = ProcessResult;

void start(QProcess &process, const QStringList &args, const QString &dir,
           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    process.setProcessEnvironment(environment);
    process.setProgram(QStringLiteral(TORVAN60CTL));
    process.setArguments(args);
    process.setWorkingDirectory(dir);
    process.start();
}

Result finish(QProcess &process)
{
    return finishProcess(process, FinishMs);
}

// The link key of the simulated board with this index.
uint32_t simulatedKey(int index)
{
    ManualClock clock;
    SimulatedBus bus(clock);
    for (int i = 0; i < index; ++i)
        bus.addBoard();
    return bus.addBoard().linkKey();
}

// The writes of a trace that decode with the key (plain reports, sent
// before the key is known, decode with any), in order.
QList<QByteArray> tracedWrites(const QString &traceFile, uint32_t key)
{
    QList<QByteArray> reports;
    QFile file(traceFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return reports;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() != 3 || parts.at(1) != "W")
            continue;
        QByteArray bytes = QByteArray::fromHex(parts.at(2));
        if (bytes.size() == Scrambler::ReportSize &&
            Scrambler::decode(reinterpret_cast<unsigned char *>(bytes.data()), key) != Scrambler::Decoded::Corrupt)
            reports << bytes;
    }
    return reports;
}

// The command codes of those writes.
QList<int> tracedCommands(const QString &traceFile, uint32_t key)
{
    QList<int> codes;
    for (const QByteArray &report : tracedWrites(traceFile, key))
        codes << static_cast<unsigned char>(report.at(2));
    return codes;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    // Where holders put their sockets and the tool looks for them: this
    // test's own, as tests run side by side and must not find each other's.
    QTemporaryDir runtime;

    Result run(const QStringList &args,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess process;
        start(process, args, dir.path(), environment);
        return finish(process);
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString stateFolder() const { return dir.filePath(QStringLiteral("state")); }
    // The settings a run of the tool saves as a file, with changes.
    QString settingsFile(const QString &name, const QVariantMap &changes)
    {
        // The board's own settings are saved once and copied.
        const QString factory = path(QStringLiteral("factory-board.tvs"));
        if (!QFile::exists(factory) &&
            run({QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("get"), factory}).code != 0)
            return QString();
        const QString file = path(name);
        QFile::remove(file);
        if (!QFile::copy(factory, file))
            return QString();
        QSettings ini(file, QSettings::IniFormat);
        for (auto it = changes.begin(); it != changes.end(); ++it)
            ini.setValue(it.key(), it.value());
        ini.sync();
        return file;
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        // Settings snapshots of firmware updates land in the test's folder.
        qputenv("XDG_STATE_HOME", stateFolder().toLocal8Bit());
    }

    void usageErrorsExitTwoWithOneLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList{QStringLiteral("--simulate")};
        QTest::newRow("unknown command") << QStringList{QStringLiteral("--simulate"), QStringLiteral("frob")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--simulate"), QStringLiteral("move"),
                                                       QStringLiteral("10"), QStringLiteral("--bogus")};
        QTest::newRow("serial without value")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("list"), QStringLiteral("--serial")};
        QTest::newRow("serial swallowing an option")
            << QStringList{QStringLiteral("--serial"), QStringLiteral("--simulate"), QStringLiteral("list")};
        QTest::newRow("empty scenario") << QStringList{QStringLiteral("--simulate="), QStringLiteral("list")};
        QTest::newRow("unknown scenario") << QStringList{QStringLiteral("--simulate=nope"), QStringLiteral("list")};
        QTest::newRow("no boards") << QStringList{QStringLiteral("--simulate-boards=0"), QStringLiteral("list")};
        QTest::newRow("move without target") << QStringList{QStringLiteral("--simulate"), QStringLiteral("move")};
        QTest::newRow("target not a number")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("move"), QStringLiteral("far")};
        QTest::newRow("target beyond 32 bits")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("move"), QStringLiteral("2147483648")};
        QTest::newRow("target outside the position limits")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("move"), QStringLiteral("150000")};
        QTest::newRow("duty beyond 100") << QStringList{QStringLiteral("--simulate"), QStringLiteral("pwm"),
                                                        QStringLiteral("--a"), QStringLiteral("101")};
        QTest::newRow("option value swallowed")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("move"), QStringLiteral("--accel"),
                           QStringLiteral("--decel"), QStringLiteral("5")};
        QTest::newRow("csv without watch")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("status"), QStringLiteral("--csv")};
        QTest::newRow("settings without action")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("settings")};
        QTest::newRow("not a settings file")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("set"),
                           QStringLiteral("tst_cli_nonexistent.tvs")};
        QTest::newRow("firmware without action")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("firmware")};
        // Nobody to ask: no terminal, and no --yes.
        QTest::newRow("update not confirmed")
            << QStringList{QStringLiteral("--simulate=outdated"), QStringLiteral("firmware"), QStringLiteral("update")};
    }

    void usageErrorsExitTwoWithOneLine()
    {
        QFETCH(QStringList, args);
        const Result result = run(args);
        QCOMPARE(result.code, 2);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err.count(QLatin1Char('\n')), 1);
        QVERIFY(result.err.startsWith(QLatin1String("torvan60ctl: ")));
    }

    void helpAndVersionGoToStdout()
    {
        // What the help says is tst_clihelp's.
        const Result help = run({QStringLiteral("--help")});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.startsWith(QLatin1String("Usage: torvan60ctl ")));
        QCOMPARE(help.err, QString());
        const Result version = run({QStringLiteral("--version")});
        QCOMPARE(version.code, 0);
        QVERIFY(version.out.startsWith(QLatin1String("torvan60ctl 1.23")));
    }

    void listShowsEveryBoardAndWhichAreHeld()
    {
        const Result three = run({QStringLiteral("--simulate-boards=3"), QStringLiteral("list")});
        QCOMPARE(three.code, 0);
        QCOMPARE(three.lines(),
                 (QStringList{QStringLiteral("SIM60-000001\tTorvan60 (simulated)\tsim:torvan60/0\tfree"),
                              QStringLiteral("SIM60-000002\tTorvan60 (simulated)\tsim:torvan60/1\tfree"),
                              QStringLiteral("SIM60-000003\tTorvan60 (simulated)\tsim:torvan60/2\tfree")}));

        const Result held =
            run({QStringLiteral("--simulate=held"), QStringLiteral("--simulate-boards=2"), QStringLiteral("list")});
        QCOMPARE(held.code, 0);
        QCOMPARE(held.lines().size(), 2);
        QVERIFY(held.lines().at(1).startsWith(QLatin1String("SIM60-000001\t")));
        QVERIFY(held.lines().at(1).endsWith(QLatin1String("\theld")));
    }

    void serialPicksTheSecondBoardAndItsKey()
    {
        const QString trace = path(QStringLiteral("second.trace"));
        const Result result =
            run({QStringLiteral("--simulate-boards=3"), QStringLiteral("-d"), QStringLiteral("SIM60-000002"),
                 QStringLiteral("--trace"), trace, QStringLiteral("name"), QStringLiteral("Bench 7")});
        QCOMPARE(result.code, 0); // the board read the name back: it unscrambled it
        // The name report decodes with the second board's key only.
        const auto nameSent = [&](int board) {
            for (const QByteArray &report : tracedWrites(trace, simulatedKey(board)))
                if (report.at(2) == char(Report::CmdSetDriverName) && report.mid(3, 8) == QByteArray("Bench 7\0", 8))
                    return true;
            return false;
        };
        QVERIFY(nameSent(1));
        QVERIFY(!nameSent(0));
    }

    void boardSelectionErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("serial absent") << QStringList{QStringLiteral("--simulate-boards=2"), QStringLiteral("-d"),
                                                      QStringLiteral("NOPE"), QStringLiteral("status")}
                                       << 3 << QStringLiteral("found: SIM60-000001, SIM60-000002");
        QTest::newRow("several, none named")
            << QStringList{QStringLiteral("--simulate-boards=2"), QStringLiteral("status")} << 2
            << QStringLiteral("SIM60-000001, SIM60-000002");
        QTest::newRow("named board held")
            << QStringList{QStringLiteral("--simulate=held"), QStringLiteral("--serial=SIM60-000001"),
                           QStringLiteral("status")}
            << 3 << QStringLiteral("held by another program");
        QTest::newRow("only board held") << QStringList{QStringLiteral("--simulate=held"), QStringLiteral("move"),
                                                        QStringLiteral("10")}
                                         << 3 << QStringLiteral("SIM60-000001 (held)");
    }

    void boardSelectionErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        const Result result = run(args);
        QCOMPARE(result.code, code);
        QCOMPARE(result.out, QString());
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
    }

    void statusJsonCarriesIdentityAndLiveData()
    {
        const Result result = run({QStringLiteral("--simulate"), QStringLiteral("status"), QStringLiteral("--json")});
        QCOMPARE(result.code, 0);
        const QJsonObject s = QJsonDocument::fromJson(result.out.toUtf8()).object();
        QCOMPARE(s.value(QLatin1String("name")).toString(), QStringLiteral("Torvan60 simulated"));
        QCOMPARE(s.value(QLatin1String("application_version")).toString(), QStringLiteral("0x0123"));
        QCOMPARE(s.value(QLatin1String("firmware")).toString(), QStringLiteral("up to date"));
        QVERIFY(s.value(QLatin1String("unique_id")).toString().startsWith(QLatin1String("0x")));
        // The filtered voltage has settled on the board's 24 V.
        QVERIFY(qAbs(s.value(QLatin1String("voltage")).toDouble() - 24.0) < 0.1);
        QVERIFY(s.value(QLatin1String("temperature")).toDouble() > 20.0);
        QCOMPARE(s.value(QLatin1String("driver_text")).toString(), QStringLiteral("Driver Disabled (Sleep)"));
        QCOMPARE(s.value(QLatin1String("faults")).toInt(-1), 0);
        QCOMPARE(s.value(QLatin1String("mode")).toInt(), 1);
        QVERIFY(s.value(QLatin1String("inputs")).toObject().value(QLatin1String("end_switch")).toBool());
        QVERIFY(QDateTime::fromString(s.value(QLatin1String("time")).toString(), Qt::ISODateWithMs).isValid());
        // The keys of the service's identity and status, and no others.
        QStringList keys = s.keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"application_version",
                                    "bootloader_active",
                                    "bootloader_version",
                                    "carried_version",
                                    "current",
                                    "driver_state",
                                    "driver_text",
                                    "fault_texts",
                                    "faults",
                                    "firmware",
                                    "inputs",
                                    "mode",
                                    "name",
                                    "position",
                                    "product",
                                    "serial",
                                    "signature_valid",
                                    "speed",
                                    "temperature",
                                    "time",
                                    "unique_id",
                                    "voltage"}));

        // A board in its boot loader sends no live data: identity only.
        const Result loader =
            run({QStringLiteral("--simulate=bootloader"), QStringLiteral("status"), QStringLiteral("--json")});
        QCOMPARE(loader.code, 0);
        const QJsonObject l = QJsonDocument::fromJson(loader.out.toUtf8()).object();
        QCOMPARE(l.value(QLatin1String("firmware")).toString(), QStringLiteral("boot loader"));
        QVERIFY(!l.contains(QLatin1String("voltage")));
    }

    // Qt takes the number format of the process from these variables whether
    // or not the C library has the locale installed.
    void watchCsvIsALiveRecording_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << QStringLiteral("LC_ALL") << QStringLiteral("C");
        QTest::newRow("German, decimal comma") << QStringLiteral("LC_ALL") << QStringLiteral("de_DE.UTF-8");
        QTest::newRow("French numbers only") << QStringLiteral("LC_NUMERIC") << QStringLiteral("fr_FR.UTF-8");
    }
    void watchCsvIsALiveRecording()
    {
        QFETCH(QString, variable);
        QFETCH(QString, locale);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("LC_ALL"));
        environment.insert(variable, locale);
        const Result counted = run({QStringLiteral("--simulate"), QStringLiteral("status"), QStringLiteral("--watch"),
                                    QStringLiteral("--csv"), QStringLiteral("--count"), QStringLiteral("3")},
                                   environment);
        QCOMPARE(counted.code, 0);
        QCOMPARE(counted.err, QString());
        const QByteArray out = counted.out.toUtf8();
        QVERIFY2(out.startsWith(liveCsvHeader()), out.left(200).constData());
        QCOMPARE(out.count("\r\n"), 4); // lines end as in a recording file

        const QList<QStringList> records = readCsv(out);
        QCOMPARE(records.size(), 4);
        const QStringList header = records.at(0);
        const QRegularExpression decimal(QStringLiteral("^-?[0-9]+\\.[0-9]+$"));
        const QRegularExpression integer(QStringLiteral("^-?[0-9]+$"));
        double lastElapsed = -1;
        for (const QStringList &row : records.mid(1)) {
            QCOMPARE(row.size(), header.size());
            QVERIFY2(QDateTime::fromString(row.at(0), Qt::ISODateWithMs).isValid(), qPrintable(row.at(0)));
            // Elapsed time, voltages, temperatures and current: dot decimals.
            for (int column = 1; column <= 6; ++column)
                QVERIFY2(decimal.match(row.at(column)).hasMatch(),
                         qPrintable(header.at(column) + QStringLiteral(": ") + row.at(column)));
            const double elapsed = row.at(1).toDouble();
            QVERIFY(elapsed >= lastElapsed);
            lastElapsed = elapsed;
            QVERIFY(row.at(9).startsWith(QLatin1String("0x")));
            for (int column = 11; column < header.size(); ++column)
                QVERIFY2(integer.match(row.at(column)).hasMatch(),
                         qPrintable(header.at(column) + QStringLiteral(": ") + row.at(column)));
        }
    }

    void watchPrintsOneLinePerReportAndEndsCleanlyOnInterrupt()
    {
        const Result counted = run({QStringLiteral("--simulate"), QStringLiteral("status"), QStringLiteral("--watch"),
                                    QStringLiteral("--count"), QStringLiteral("3")});
        QCOMPARE(counted.code, 0);
        QCOMPARE(counted.lines().size(), 3);
        for (const QString &line : counted.lines())
            QVERIFY2(line.startsWith(QLatin1String("ms=")) && line.contains(QLatin1String(" voltage=")),
                     qPrintable(line));

        QProcess watching;
        start(watching, {QStringLiteral("--simulate"), QStringLiteral("status"), QStringLiteral("--watch")},
              dir.path());
        QString seen;
        QTRY_VERIFY_WITH_TIMEOUT(
            (seen += QString::fromUtf8(watching.readAllStandardOutput())).count(QLatin1Char('\n')) >= 2, 30000);
        watching.terminate(); // as Ctrl-C
        const Result ended = finish(watching);
        QCOMPARE(ended.code, 0);
        QVERIFY((seen + ended.out).endsWith(QLatin1Char('\n')));
        QCOMPARE(ended.err, QString());
    }

    void settingsFromAWindowFileAreWrittenAndReadBack()
    {
        // A file as the window saves it, with values other than the board's.
        DrvSettingsRecord settings;
        TrajectoryDataRecord motion;
        const QString factory = path(QStringLiteral("factory.tvs"));
        QCOMPARE(run({QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("get"), factory}).code,
                 0);
        QVERIFY(SettingsFile::Load(factory, settings, motion).adjustments.isEmpty());
        settings.FullScaleCurrent = 3.5;
        settings.TemperatureLimit = 70;
        settings.PredriverSpeed = 3;
        settings.BlankingTime = 2.5;
        settings.DriverName = QStringLiteral("Line 4");
        motion.MaxSpeed = 25000;
        motion.BIN2Steps = 333;
        const QString file = path(QStringLiteral("line4.tvs"));
        QVERIFY(SettingsFile::Save(file, settings, motion));

        const Result result =
            run({QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("set"), file});
        QCOMPARE(result.code, 0);
        QCOMPARE(result.err, QString()); // nothing adjusted
        const QStringList lines = result.lines();
        QCOMPARE(lines.value(0), QStringLiteral("name: Line 4"));
        QCOMPARE(lines.value(1), QStringLiteral("settings: ") + DriverRegisterCodec::DrvSettings2String(settings));
        QVERIFY(lines.value(3).contains(QLatin1String("max-speed=25000")));
        QVERIFY(lines.value(3).contains(QLatin1String("bin2=333")));
    }

    // Settings files are UTF-8: a name outside ASCII goes to the board whole
    // and comes back from it the same.
    void aNameOutsideAsciiGoesToTheBoardWhole()
    {
        const QString file = path(QStringLiteral("utf8.tvs"));
        QCOMPARE(run({QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("get"), file}).code, 0);
        QByteArray text = readTextFile(file);
        const QByteArray utf8("Pr\xc3\xbc"
                              "fstand \xce\xb2");
        QVERIFY(text.contains("\nDriverName=Torvan60 simulated\n"));
        text.replace("\nDriverName=Torvan60 simulated\n", "\nDriverName=" + utf8 + "\n");
        QVERIFY(writeTextFile(file, text));

        const Result result =
            run({QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("set"), file});
        QCOMPARE(result.code, 0);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.lines().value(0), QStringLiteral("name: ") + QString::fromUtf8(utf8));
    }

    void settingsOutsideTheControlsAreAdjustedWithOneWarningEach()
    {
        const QString file = path(QStringLiteral("hot.tvs"));
        QCOMPARE(run({QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("get"), file}).code, 0);
        QSettings ini(file, QSettings::IniFormat);
        ini.setValue(QStringLiteral("DriverSettings/FullScaleCurrent"), 9.0); // the controls stop at 6 A
        ini.sync();

        const Result result =
            run({QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("set"), file});
        QCOMPARE(result.code, 0);
        QCOMPARE(result.err.count(QLatin1String("warning:")), 1);
        QVERIFY(result.err.contains(QLatin1String("DriverSettings/FullScaleCurrent")));
        QVERIFY2(result.lines().value(1).startsWith(QLatin1String("settings: 3;6.0;")), qPrintable(result.out));
    }

    void settingsGetShowsWhatItSaves()
    {
        const QString file = path(QStringLiteral("got.tvs"));
        const Result shown = run({QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("get")});
        QCOMPARE(shown.code, 0);
        QCOMPARE(run({QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("get"), file}).code, 0);
        DrvSettingsRecord settings;
        TrajectoryDataRecord motion;
        const SettingsFile::LoadResult loaded = SettingsFile::Load(file, settings, motion);
        QVERIFY(loaded.loaded);
        QCOMPARE(loaded.adjustments, QStringList());
        QCOMPARE(shown.lines().value(0), QStringLiteral("name: ") + settings.DriverName);
        QCOMPARE(shown.lines().value(1),
                 QStringLiteral("settings: ") + DriverRegisterCodec::DrvSettings2String(settings));
    }

    void moveReachesItsTarget()
    {
        const Result result = run({QStringLiteral("--simulate"), QStringLiteral("move"), QStringLiteral("3000"),
                                   QStringLiteral("--max-speed"), QStringLiteral("50000"), QStringLiteral("--accel"),
                                   QStringLiteral("200000"), QStringLiteral("--decel"), QStringLiteral("200000")});
        QCOMPARE(result.code, 0);
        QCOMPARE(result.out, QStringLiteral("position 3000 reached\n"));
    }

    void moveEndedByAFaultFailsAndStops()
    {
        const QString trace = path(QStringLiteral("stall.trace"));
        const Result result = run({QStringLiteral("--simulate=stall"), QStringLiteral("--trace"), trace,
                                   QStringLiteral("move"), QStringLiteral("5000")});
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains(QLatin1String("Channel A overcurrent shutdown")), qPrintable(result.err));
        const QList<int> codes = tracedCommands(trace, simulatedKey(0));
        QVERIFY(codes.contains(Report::CmdWriteTrajectory));
        QVERIFY(codes.lastIndexOf(Report::CmdStopTrajectory) > codes.indexOf(Report::CmdWriteTrajectory));
    }

    void boardLostDuringAMoveIsStoppedWhenItComesBack()
    {
        const QString trace = path(QStringLiteral("glitch.trace"));
        const Result result =
            run({QStringLiteral("--simulate=glitch"), QStringLiteral("--trace"), trace, QStringLiteral("move"),
                 QStringLiteral("100000"), QStringLiteral("--max-speed"), QStringLiteral("1000")});
        QCOMPARE(result.code, 3);
        QVERIFY2(result.err.contains(QLatin1String("it came back and was stopped")), qPrintable(result.err));
        const QList<int> codes = tracedCommands(trace, simulatedKey(0));
        const int moved = codes.indexOf(Report::CmdWriteTrajectory);
        // Connected anew (identity exchange), then stopped.
        QVERIFY(codes.indexOf(Report::CmdGetDeviceInfo, moved) > moved);
        QVERIFY(codes.lastIndexOf(Report::CmdStopTrajectory) > codes.indexOf(Report::CmdGetDeviceInfo, moved));
    }

    void interruptedMoveIsStopped()
    {
        const QString trace = path(QStringLiteral("interrupt.trace"));
        QProcess moving;
        start(moving,
              {QStringLiteral("--simulate"), QStringLiteral("--trace"), trace, QStringLiteral("move"),
               QStringLiteral("100000"), QStringLiteral("--max-speed"), QStringLiteral("1000")},
              dir.path());
        QTRY_VERIFY_WITH_TIMEOUT(tracedCommands(trace, simulatedKey(0)).contains(Report::CmdWriteTrajectory), 30000);
        moving.terminate(); // as Ctrl-C
        const Result result = finish(moving);
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains(QLatin1String("interrupted; stopped at position")), qPrintable(result.err));
        const QList<int> codes = tracedCommands(trace, simulatedKey(0));
        QVERIFY(codes.lastIndexOf(Report::CmdStopTrajectory) > codes.indexOf(Report::CmdWriteTrajectory));
    }

    void commandsSucceedOnTheSimulatedBoard_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("output");
        QTest::newRow("enable") << QStringList{QStringLiteral("enable")} << QString();
        QTest::newRow("sleep") << QStringList{QStringLiteral("sleep")} << QString();
        QTest::newRow("reset-faults") << QStringList{QStringLiteral("reset-faults")} << QString();
        QTest::newRow("restart") << QStringList{QStringLiteral("restart")}
                                 << QStringLiteral("restarted: boot loader running\n");
        QTest::newRow("name") << QStringList{QStringLiteral("name"), QStringLiteral("Bench 7"),
                                             QStringLiteral("--save")}
                              << QString();
        QTest::newRow("run") << QStringList{QStringLiteral("run"), QStringLiteral("-500")} << QString();
        QTest::newRow("stop") << QStringList{QStringLiteral("stop")} << QStringLiteral("stopped at position 0\n");
        QTest::newRow("home") << QStringList{QStringLiteral("home")} << QString();
        QTest::newRow("pwm") << QStringList{QStringLiteral("pwm"), QStringLiteral("--freq"), QStringLiteral("50000"),
                                            QStringLiteral("--a"), QStringLiteral("-40")}
                             << QStringLiteral("PWM A:  -40%, PWM B:    0%, Freq: 50000 Hz\n"
                                               "TMR_A:    0,   40, TMR_B:    0,    0, Actual Freq: 53333 Hz\n");
        QTest::newRow("pwm stop") << QStringList{QStringLiteral("pwm"), QStringLiteral("stop")} << QString();
        QTest::newRow("pwm off") << QStringList{QStringLiteral("pwm"), QStringLiteral("off")} << QString();
    }

    void commandsSucceedOnTheSimulatedBoard()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        const Result result = run(QStringList{QStringLiteral("--simulate")} + args);
        QVERIFY2(result.code == 0, qPrintable(result.err));
        QCOMPARE(result.out, output);
    }

    // A file against the board: the keys that differ, as text or JSON, and
    // none for a file equal once held as the board holds it.
    void settingsDiff_data()
    {
        QTest::addColumn<QVariantMap>("changes");
        QTest::addColumn<bool>("json");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        const QVariantMap two{{"DriverSettings/FullScaleCurrent", 2.5}, {"TrajectorySettings/MaxSpeed", 12000}};
        QTest::newRow("two changed") << two << false << 1
                                     << "DriverSettings/FullScaleCurrent\t2.5\t2.2\tA\n"
                                        "TrajectorySettings/MaxSpeed\t12000\t10000\tsteps/s\n";
        QTest::newRow("two changed, json")
            << two << true << 1
            << "[{\"a\":2.5,\"b\":2.2,\"key\":\"DriverSettings/FullScaleCurrent\",\"unit\":\"A\"},"
               "{\"a\":12000,\"b\":10000,\"key\":\"TrajectorySettings/MaxSpeed\",\"unit\":\"steps/s\"}]\n";
        QTest::newRow("equal after clamping") << QVariantMap{{"DriverSettings/FullScaleCurrent", "2.24"},
                                                             {"DriverSettings/TemperatureLimit", 85},
                                                             {"TrajectorySettings/PosLimitUpper", 5}}
                                              << false << 0 << "";
    }

    void settingsDiff()
    {
        QFETCH(QVariantMap, changes);
        QFETCH(bool, json);
        QFETCH(int, code);
        QFETCH(QString, out);
        const QString file = settingsFile(QStringLiteral("diff.tvs"), changes);
        QStringList args{QStringLiteral("--simulate"), QStringLiteral("settings"), QStringLiteral("diff"), file};
        if (json)
            args << QStringLiteral("--json");
        const Result result = run(args);
        QCOMPARE(result.code, code);
        QCOMPARE(result.out, out);
        QCOMPARE(result.err, QString());
    }

    // KEY=VALUE changes those keys: one write of the driver values and
    // nothing else; a bad key or value reaches no board.
    void settingsSetKeys_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QList<int>>("writes"); // settings commands sent
        QTest::newRow("one key") << QStringList{"FullScaleCurrent=2.5"} << 0 << "DriverSettings/FullScaleCurrent=2.5\n"
                                 << "" << QList<int>{Report::CmdWriteDriverValues};
        QTest::newRow("rounded, with a warning")
            << QStringList{"DriverSettings/IdleCurrent=0.96", "TrajectorySettings/MaxSpeed=12000"} << 0
            << "DriverSettings/IdleCurrent=1\nTrajectorySettings/MaxSpeed=12000\n"
            << "torvan60ctl: warning: Requested value DriverSettings/IdleCurrent=0.96 adjusted to 1.0.\n"
            << QList<int>{Report::CmdWriteDriverValues, Report::CmdWriteTrajectory};
        QTest::newRow("out of range") << QStringList{"FullScaleCurrent=99"} << 2 << ""
                                      << "torvan60ctl: DriverSettings/FullScaleCurrent takes 0.0 to 6.0 A, not \"99\" "
                                         "(see torvan60ctl help settings)\n"
                                      << QList<int>{};
        QTest::newRow("unknown key") << QStringList{"FullScaleCurrent=2.5", "Speed=3"} << 2 << ""
                                     << "torvan60ctl: unknown setting \"Speed\" (see torvan60ctl help settings)\n"
                                     << QList<int>{};
    }

    void settingsSetKeys()
    {
        QFETCH(QStringList, words);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QList<int>, writes);
        const QString trace = path(QStringLiteral("keys.trace"));
        QFile::remove(trace);
        const Result result = run(QStringList{QStringLiteral("--simulate"), QStringLiteral("--trace"), trace,
                                              QStringLiteral("settings"), QStringLiteral("set")} +
                                  words);
        QCOMPARE(result.code, code);
        QCOMPARE(result.out, out);
        QCOMPARE(result.err, err);
        QList<int> sent;
        for (const int command : tracedCommands(trace, simulatedKey(0)))
            if (command == Report::CmdWriteDriverValues || command == Report::CmdWriteTrajectory ||
                command == Report::CmdSetDriverName || command == Report::CmdSaveDriverValues)
                sent << command;
        QCOMPARE(sent, writes);
    }

    // One file to three boards, one of which keeps its saved settings
    // whatever is written: a line each, and a failure among them fails.
    void rollOutToEveryBoard()
    {
        const QString file = settingsFile(QStringLiteral("fleet.tvs"), {{"TrajectorySettings/MaxSpeed", 12000}});
        const Result dry = run({QStringLiteral("--simulate-boards=3"), QStringLiteral("-d"),
                                QStringLiteral("SIM60-000003"), QStringLiteral("-d"), QStringLiteral("SIM60-000009"),
                                QStringLiteral("settings"), QStringLiteral("set"), file, QStringLiteral("--dry-run")});
        QCOMPARE(dry.code, 1);
        QCOMPARE(dry.lines(), QStringList({"SIM60-000003: 1 differ",
                                           "SIM60-000003: TrajectorySettings/MaxSpeed\t12000\t10000\tsteps/s",
                                           "SIM60-000009: not found"}));

        const Result result = run({QStringLiteral("--simulate=locked"), QStringLiteral("--simulate-boards=3"),
                                   QStringLiteral("settings"), QStringLiteral("set"), file, QStringLiteral("--all")});
        QCOMPARE(result.code, 1);
        const QStringList lines = result.lines();
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith(QLatin1String("SIM60-000001: refused: the board did not take the settings")),
                 qPrintable(result.out));
        QCOMPARE(lines.mid(1), QStringList({"SIM60-000002: applied", "SIM60-000003: applied"}));
    }

    // An update that resets the board's settings: a snapshot before it, the
    // differences after it, and with --restore-settings the settings back.
    void firmwareUpdateKeepsTheSettingsSafe()
    {
        const Result kept = run({QStringLiteral("--simulate=updatereset"), QStringLiteral("firmware"),
                                 QStringLiteral("update"), QStringLiteral("--yes")});
        QCOMPARE(kept.code, 0);
        const QStringList snapshots = QDir(stateFolder() + QStringLiteral("/torvan60/snapshots/SIM60-000001"))
                                          .entryList({QStringLiteral("*-before-update.tvs")});
        QCOMPARE(snapshots.size(), 1);
        const QStringList differences{"  DriverSettings/FullScaleCurrent\t3\t2.2\tA",
                                      "  DriverSettings/TemperatureLimit\t70\t85\t\u00B0C",
                                      "  DriverSettings/DriverName\t\"Bench 7\"\t\"Torvan60 simulated\"\t",
                                      "  TrajectorySettings/MaxSpeed\t12000\t10000\tsteps/s"};
        QVERIFY(kept.lines().first().startsWith(QLatin1String("settings saved before the update: ")));
        QVERIFY(kept.lines().first().endsWith(snapshots.first()));
        QCOMPARE(kept.lines().mid(kept.lines().size() - 5),
                 QStringList{"settings changed by the update (before, now):"} + differences);
        QVERIFY(kept.err.contains(QLatin1String("restore them with")));

        const Result restored =
            run({QStringLiteral("--simulate=updatereset"), QStringLiteral("firmware"), QStringLiteral("update"),
                 QStringLiteral("--yes"), QStringLiteral("--restore-settings")});
        QCOMPARE(restored.code, 0);
        QVERIFY(restored.lines()
                    .at(restored.lines().size() - 5)
                    .startsWith(QLatin1String("settings changed by the update, restored from ")));
        QCOMPARE(restored.lines().mid(restored.lines().size() - 4), differences);
    }

    void firmware_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("lastLine");
        const QString check = QStringLiteral("check"), update = QStringLiteral("update");
        QTest::newRow("check current") << QStringList{QStringLiteral("--simulate"), check} << 0
                                       << QStringLiteral("firmware: up to date");
        QTest::newRow("check outdated") << QStringList{QStringLiteral("--simulate=outdated"), check} << 1
                                        << QStringLiteral("firmware: update needed");
        QTest::newRow("update outdated") << QStringList{QStringLiteral("--simulate=outdated"), update,
                                                        QStringLiteral("--yes")}
                                         << 0 << QStringLiteral("settings unchanged by the update");
        QTest::newRow("update broken") << QStringList{QStringLiteral("--simulate=broken"), update,
                                                      QStringLiteral("--yes")}
                                       << 0 << QStringLiteral("firmware updated to 0x0123");
        QTest::newRow("update current") << QStringList{QStringLiteral("--simulate"), update, QStringLiteral("--yes")}
                                        << 0 << QStringLiteral("firmware 0x0123 is up to date");
    }

    void firmware()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, lastLine);
        args.insert(1, QStringLiteral("firmware"));
        const Result result = run(args);
        QVERIFY2(result.code == code, qPrintable(result.err));
        QCOMPARE(result.lines().value(result.lines().size() - 1), lastLine);
        if (result.out.contains(QLatin1String("updated"))) {
            // Plain percentage lines, rising to 100, when not on a terminal.
            const QStringList progress = result.lines().filter(QStringLiteral("%"));
            QVERIFY(progress.size() >= 2);
            QCOMPARE(progress.last(), QStringLiteral("100%"));
        }
    }

    // An update that breaks off ends the command at once, naming what
    // failed; nothing after it tells the board its application is valid.
    void firmwareUpdateThatBreaksOff_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        const QString again =
            QStringLiteral("; the board stays in its boot loader, and the next \"firmware update\" flashes it again\n");
        QTest::newRow("wrong checksum after a restart")
            << QStringLiteral("badchecksum") << 1
            << QStringLiteral("torvan60ctl: firmware update failed: the checksum of sector 5 differs") + again;
        QTest::newRow("checksum never answered")
            << QStringLiteral("nochecksum") << 1
            << QStringLiteral("torvan60ctl: firmware update failed: sector 3 did not answer with its checksum") + again;
        QTest::newRow("unplugged during the upload")
            << QStringLiteral("unplugged") << 3
            << QStringLiteral("torvan60ctl: board SIM60-000001 was lost during the update; reconnect it and run "
                              "\"firmware update\" again: it stays in its boot loader until then\n");
    }
    void firmwareUpdateThatBreaksOff()
    {
        QFETCH(QString, scenario);
        QFETCH(int, code);
        QFETCH(QString, error);
        const QString trace = path(scenario + QStringLiteral(".trace"));
        const Result result = run({QStringLiteral("--simulate=") + scenario, QStringLiteral("--trace"), trace,
                                   QStringLiteral("firmware"), QStringLiteral("update"), QStringLiteral("--yes")});
        QCOMPARE(result.code, code);
        QCOMPARE(result.err, error);
        const QList<int> codes = tracedCommands(trace, simulatedKey(0));
        const int erased = codes.indexOf(Report::CmdEraseSector);
        QVERIFY(erased >= 0);
        QVERIFY(!codes.contains(Report::CmdWriteSignature));
        QVERIFY(codes.lastIndexOf(Report::CmdRestart) < erased);
    }

    // A board another program holds and serves: torvan60ctl without
    // --simulate finds it and every command goes through the holder's
    // service, but the firmware update, which is the holder's alone. The
    // socket goes with the holder on SIGTERM.
    void servedBoardIsReachedThroughItsHolder_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("torvan60ctl serve")
            << QStringLiteral(TORVAN60CTL) << QStringList{QStringLiteral("--simulate"), QStringLiteral("serve")};
        QTest::newRow("the window") << QStringLiteral(TORVAN60) << QStringList{QStringLiteral("--simulate")};
    }
    void servedBoardIsReachedThroughItsHolder()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QTemporaryDir runtime, holderDir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess holder;
        holder.setProcessEnvironment(env);
        holder.setWorkingDirectory(holderDir.path());
        holder.start(program, args);
        QVERIFY(holder.waitForStarted());
        const QString socket = runtime.filePath(QStringLiteral("torvan60/SIM60-000001.sock"));
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(socket); }, FinishMs));

        // The product as the holder names it: the board is on no bus here.
        const Result list = run({QStringLiteral("list")}, env);
        QCOMPARE(list.code, 0);
        QCOMPARE(list.out, QStringLiteral("SIM60-000001\tTorvan60 (simulated)\t%1\tserved by %2 (pid %3)\n")
                               .arg(socket, QFileInfo(program).fileName())
                               .arg(holder.processId()));
        // A second holder of its own simulated board gives way, naming the
        // one that serves it, and says nothing of serving.
        const Result second = run({QStringLiteral("--simulate"), QStringLiteral("serve")}, env);
        QCOMPARE(second.code, 3);
        QVERIFY2(second.err.endsWith(QStringLiteral("torvan60ctl: board SIM60-000001 is served already by %1 (pid "
                                                    "%2) on %3\n")
                                         .arg(QFileInfo(program).fileName())
                                         .arg(holder.processId())
                                         .arg(socket)),
                 qPrintable(second.err));
        QVERIFY2(!second.err.contains(QStringLiteral("Stopped serving")), qPrintable(second.err));
        const Result status = run(
            {QStringLiteral("-d"), QStringLiteral("SIM60-000001"), QStringLiteral("status"), QStringLiteral("--json")},
            env);
        QCOMPARE(status.code, 0);
        QCOMPARE(QJsonDocument::fromJson(status.out.toUtf8()).object().value(QLatin1String("name")).toString(),
                 QStringLiteral("Torvan60 simulated"));
        const Result move =
            run({QStringLiteral("-d"), QStringLiteral("SIM60-000001"), QStringLiteral("move"), QStringLiteral("2000")},
                env);
        QCOMPARE(move.code, 0);
        QCOMPARE(move.lines().value(0), QStringLiteral("position 2000 reached"));
        const Result update = run({QStringLiteral("firmware"), QStringLiteral("update"), QStringLiteral("--yes")}, env);
        QCOMPARE(update.code, 3);
        QVERIFY2(update.err.contains(QStringLiteral("(pid %1)").arg(holder.processId())), qPrintable(update.err));

        // A client still watching when the holder ends is told why.
        QProcess watcher;
        start(
            watcher,
            {QStringLiteral("-d"), QStringLiteral("SIM60-000001"), QStringLiteral("status"), QStringLiteral("--watch")},
            dir.path(), env);
        QVERIFY(watcher.waitForReadyRead(FinishMs));

        const qint64 holderPid = holder.processId();
        holder.terminate();
        QVERIFY(holder.waitForFinished(FinishMs));
        QCOMPARE(holder.exitStatus(), QProcess::NormalExit);
        QCOMPARE(holder.exitCode(), 0);
        QVERIFY(!QFile::exists(socket));
        const Result watched = finish(watcher);
        QCOMPARE(watched.code, 3);
        QVERIFY2(watched.err.contains(QStringLiteral("board SIM60-000001 was lost: ")) &&
                     watched.err.contains(
                         QStringLiteral("(pid %1) closes; board SIM60-000001 is no longer served").arg(holderPid)),
                 qPrintable(watched.err));
        if (program == QLatin1String(TORVAN60)) {
            QFile log(QDir(holderDir.path()).filePath(QStringLiteral("log.txt")));
            QVERIFY(log.open(QIODevice::ReadOnly));
            QVERIFY(log.readAll().contains("): move 2000"));
        }
    }

    // A holder that could not serve its board (here: a socket folder others
    // may enter) holds it until told to end, and never says it stopped
    // serving.
    void aHolderThatNeverServedSaysNothingOfStopping()
    {
        QTemporaryDir runtime;
        QVERIFY(QDir(runtime.path()).mkdir(QStringLiteral("torvan60")));
        QVERIFY(QFile::setPermissions(runtime.filePath(QStringLiteral("torvan60")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                          QFile::ExeOther));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        QProcess serve;
        start(serve, {QStringLiteral("--simulate"), QStringLiteral("serve")}, dir.path(), env);
        QString err;
        QVERIFY(QTest::qWaitFor(
            [&] {
                err += QString::fromUtf8(serve.readAllStandardError());
                return err.contains(QLatin1String("Not serving board SIM60-000001"));
            },
            FinishMs));
        serve.terminate();
        const Result result = finish(serve);
        QCOMPARE(result.code, 0);
        QVERIFY2(!(err + result.err).contains(QLatin1String("Stopped serving")), qPrintable(err + result.err));
    }

    void logFileOnlyWithLog()
    {
        QTemporaryDir quiet, logged;
        QProcess plain;
        start(plain, {QStringLiteral("--simulate"), QStringLiteral("status")}, quiet.path());
        QCOMPARE(finish(plain).code, 0);
        QCOMPARE(QDir(quiet.path()).entryList(QDir::Files), QStringList());

        QProcess withLog;
        start(withLog, {QStringLiteral("--simulate"), QStringLiteral("--log"), QStringLiteral("status")},
              logged.path());
        QCOMPARE(finish(withLog).code, 0);
        QFile log(QDir(logged.path()).filePath(QStringLiteral("log.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("Connected to: Torvan60 (simulated) Serial: SIM60-000001"));
    }
};

// Every row waits on the tool's own processes: they run side by side.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestCli test;
    QTEST_SET_MAIN_SOURCE_PATH
    return TestLanes::exec(&test, argc, argv);
}
#include "tst_cli.moc"
