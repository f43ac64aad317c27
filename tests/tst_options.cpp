// The command line: how options are read, and that the tool refuses to start
// on arguments it cannot follow, saying why.
#include "app/Options.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestOptions : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("simulate");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("traceFile");
        QTest::addColumn<QStringList>("ignored");
        QTest::addColumn<QString>("error"); // empty: accepted

        QTest::newRow("none") << QStringList{} << false << ""
                              << "" << QStringList{} << "";
        QTest::newRow("trace then simulate") << QStringList{"--trace", "t.txt", "--simulate"} << true << ""
                                             << "t.txt" << QStringList{} << "";
        QTest::newRow("scenario and trace=")
            << QStringList{"--simulate=broken", "--trace=--odd name"} << true << "broken"
            << "--odd name" << QStringList{} << "";
        QTest::newRow("unknown arguments are set aside") << QStringList{"--verbose", "x"} << false << ""
                                                         << "" << QStringList{"--verbose", "x"} << "";
        // An option that needs a value never takes the next option as one.
        QTest::newRow("trace swallowing simulate") << QStringList{"--trace", "--simulate"} << false << ""
                                                   << "" << QStringList{} << "--trace needs a file name";
        QTest::newRow("trace swallowing a short option") << QStringList{"--trace", "-x"} << false << ""
                                                         << "" << QStringList{} << "--trace needs a file name";
        // A negative number is a value only where a number is expected.
        QTest::newRow("trace swallowing a negative number") << QStringList{"--trace", "-4"} << false << ""
                                                            << "" << QStringList{} << "--trace needs a file name";
        QTest::newRow("serial swallowing a negative number") << QStringList{"-d", "-5"} << false << ""
                                                             << "" << QStringList{} << "-d needs a serial number";
        QTest::newRow("trace with an empty name") << QStringList{"--trace", "", "--simulate"} << false << ""
                                                  << "" << QStringList{} << "--trace needs a file name";
        QTest::newRow("trace last") << QStringList{"--simulate", "--trace"} << true << ""
                                    << "" << QStringList{} << "--trace needs a file name";
        QTest::newRow("trace= empty") << QStringList{"--trace="} << false << ""
                                      << "" << QStringList{} << "--trace= needs a file name";
        QTest::newRow("simulate= empty") << QStringList{"--simulate="} << true << ""
                                         << "" << QStringList{}
                                         << "--simulate= needs a scenario name (or use --simulate alone)";
    }
    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, simulate);
        QFETCH(QString, scenario);
        QFETCH(QString, traceFile);
        QFETCH(QStringList, ignored);
        QFETCH(QString, error);
        const Options options = parseOptions(QStringList{QStringLiteral("torvan60")} + args);
        QCOMPARE(options.error, error);
        if (!error.isEmpty())
            return; // nothing else is followed
        QCOMPARE(options.board.simulate, simulate);
        QCOMPARE(options.board.scenario, scenario);
        QCOMPARE(options.board.traceFile, traceFile);
        QCOMPARE(options.ignored, ignored);
    }

    // The options of the installed tool: the per-user folder and the
    // installation check.
    void startOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("simulate");
        QTest::addColumn<QString>("traceFile");
        QTest::addColumn<bool>("userDir");
        QTest::addColumn<bool>("check");
        QTest::addColumn<bool>("noService");
        QTest::addColumn<QStringList>("ignored");
        QTest::newRow("none") << QStringList() << false << QString() << false << false << false << QStringList();
        QTest::newRow("as the desktop entry starts it") << QStringList{QStringLiteral("--user-dir")} << false
                                                        << QString() << true << false << false << QStringList();
        QTest::newRow("installation check, simulated, in the user folder")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("--user-dir"), QStringLiteral("--check")}
            << true << QString() << true << true << false << QStringList();
        QTest::newRow("not serving the board") << QStringList{QStringLiteral("--no-service")} << false << QString()
                                               << false << false << true << QStringList();
        QTest::newRow("near misses are ignored")
            << QStringList{QStringLiteral("--check=yes"), QStringLiteral("--user-dir=/tmp"), QStringLiteral("-check")}
            << false << QString() << false << false << false
            << QStringList{QStringLiteral("--check=yes"), QStringLiteral("--user-dir=/tmp"), QStringLiteral("-check")};
    }
    void startOptions()
    {
        QFETCH(QStringList, args);
        args.prepend(QStringLiteral("torvan60"));
        const Options options = parseOptions(args);
        QTEST(options.board.simulate, "simulate");
        QTEST(options.board.traceFile, "traceFile");
        QTEST(options.userDir, "userDir");
        QTEST(options.check, "check");
        QTEST(options.noService, "noService");
        QTEST(options.ignored, "ignored");
    }

    // --open: the window starts with a recording shown.
    void openOption_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("openFile");
        QTest::addColumn<QString>("error");
        QTest::newRow("a file, simulated") << QStringList{"--simulate", "--open", "run.csv"} << "run.csv"
                                           << "";
        QTest::newRow("=, a name like an option") << QStringList{"--open=--odd.csv"} << "--odd.csv"
                                                  << "";
        QTest::newRow("swallowing simulate") << QStringList{"--open", "--simulate"} << ""
                                             << "--open needs a file name";
        QTest::newRow("last") << QStringList{"--open"} << ""
                              << "--open needs a file name";
        QTest::newRow("= empty") << QStringList{"--open="} << ""
                                 << "--open= needs a file name";
    }
    void openOption()
    {
        QFETCH(QStringList, args);
        const Options options = parseOptions(QStringList{QStringLiteral("torvan60")} + args);
        QTEST(options.error, "error");
        QTEST(options.openFile, "openFile");
        QVERIFY(options.ignored.isEmpty());
    }

    void userFolder_data()
    {
        QTest::addColumn<QString>("xdgStateHome");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("folder");
        QTest::newRow("HOME only") << QString() << QStringLiteral("/home/op") << "/home/op/.local/state/torvan60";
        QTest::newRow("XDG_STATE_HOME wins")
            << QStringLiteral("/var/state/op/") << QStringLiteral("/home/op") << "/var/state/op/torvan60";
        QTest::newRow("relative XDG_STATE_HOME is invalid")
            << QStringLiteral("state") << QStringLiteral("/home/op") << "/home/op/.local/state/torvan60";
        QTest::newRow("relative HOME is no home") << QString() << QStringLiteral("op") << QString();
        QTest::newRow("neither") << QString() << QString() << QString();
    }
    void userFolder()
    {
        QFETCH(QString, xdgStateHome);
        QFETCH(QString, home);
        QTEST(::userFolder(xdgStateHome, home), "folder");
    }

    // The built tool itself: arguments it cannot follow end it with exit
    // code 2 and the reason on stderr, before any window or board.
    void refusedArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        QTest::newRow("trace swallowing simulate")
            << QStringList{"--trace", "--simulate"} << "--trace needs a file name";
        QTest::newRow("empty scenario") << QStringList{"--simulate="} << "--simulate= needs a scenario name";
        QTest::newRow("unknown scenario")
            << QStringList{"--simulate=nonsense"} << "unknown simulation scenario \"nonsense\"";
        QTest::newRow("trace on a full disk")
            << QStringList{"--simulate", "--trace", "/dev/full"} << "Cannot write trace file /dev/full: ";
        QTest::newRow("trace into a directory")
            << QStringList{"--simulate", "--trace", "adir"} << "Cannot write trace file adir: ";
    }
    void refusedArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("adir")));
        QProcess tool;
        tool.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(TOOL_PATH), args);
        QVERIFY(tool.waitForStarted());
        if (!tool.waitForFinished(20000)) {
            tool.kill();
            tool.waitForFinished();
            QFAIL("the tool started instead of refusing its arguments");
        }
        const QString err = QString::fromLocal8Bit(tool.readAllStandardError());
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 2);
        QVERIFY2(err.contains(reason), qPrintable(err));
        // The reason itself follows the colon.
        if (reason.endsWith(QLatin1String(": ")))
            QVERIFY2(err.section(reason, 1).trimmed().size() > 3, qPrintable(err));
        // Nothing was written where the tool was started.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // The check shows no window: without a display it runs all the same.
    void checkWithoutADisplay()
    {
        QTemporaryDir dir;
        QProcess tool;
        tool.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(TOOL_PATH), {QStringLiteral("--simulate"), QStringLiteral("--check")});
        QVERIFY(tool.waitForStarted());
        QVERIFY(tool.waitForFinished(60000));
        const QString err = QString::fromLocal8Bit(tool.readAllStandardError());
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        // No pictures where it runs here: it says so, and where its log goes.
        QCOMPARE(tool.exitCode(), 1);
        const QString out = QString::fromLocal8Bit(tool.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("log: ") + QDir(dir.path()).filePath(QStringLiteral("log.txt"))),
                 qPrintable(out + err));
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
