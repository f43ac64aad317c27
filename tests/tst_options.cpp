#include "app/Options.h"

#include <QtTest>

class TestOptions : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("simulate");
        QTest::addColumn<QString>("traceFile");
        QTest::addColumn<bool>("userDir");
        QTest::addColumn<bool>("check");
        QTest::addColumn<QStringList>("ignored");
        QTest::newRow("none") << QStringList() << false << QString() << false << false << QStringList();
        QTest::newRow("as the desktop entry starts it")
            << QStringList{QStringLiteral("--user-dir")} << false << QString() << true << false << QStringList();
        QTest::newRow("installation check, simulated, in the user folder")
            << QStringList{QStringLiteral("--simulate"), QStringLiteral("--user-dir"), QStringLiteral("--check")}
            << true << QString() << true << true << QStringList();
        QTest::newRow("trace file after its option")
            << QStringList{QStringLiteral("--trace"), QStringLiteral("--check")} << false << QStringLiteral("--check")
            << false << false << QStringList();
        QTest::newRow("trace option last, without a file")
            << QStringList{QStringLiteral("--check"), QStringLiteral("--trace")} << false << QString() << false << true
            << QStringList{QStringLiteral("--trace")};
        QTest::newRow("near misses are ignored")
            << QStringList{QStringLiteral("--check=yes"), QStringLiteral("--user-dir=/tmp"), QStringLiteral("-check")}
            << false << QString() << false << false
            << QStringList{QStringLiteral("--check=yes"), QStringLiteral("--user-dir=/tmp"), QStringLiteral("-check")};
    }
    void parse()
    {
        QFETCH(QStringList, args);
        args.prepend(QStringLiteral("torvan60"));
        const Options options = parseOptions(args);
        QTEST(options.simulate, "simulate");
        QTEST(options.traceFile, "traceFile");
        QTEST(options.userDir, "userDir");
        QTEST(options.check, "check");
        QTEST(options.ignored, "ignored");
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
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
