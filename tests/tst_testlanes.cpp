// The runner that puts a test's rows side by side (tests/support/TestLanes):
// every row runs, each in a process of its own, several at once, and a row
// that fails or crashes fails the run. A sample test object, run by this
// same executable when TESTLANES_SAMPLE says how its last row ends, is what
// the runner runs here.
#include "support/TestLanes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <unistd.h>

namespace {

const char *const SampleVariable = "TESTLANES_SAMPLE";
const char *const MeetingVariable = "TESTLANES_MEETING";

} // namespace

class Sample : public QObject
{
    Q_OBJECT

private slots:
    void rows_data()
    {
        QTest::addColumn<bool>("meets");
        QTest::newRow("meets the other") << true;
        QTest::newRow("meets the one") << true;
        QTest::newRow("ends as told") << false;
    }
    // The two meeting rows each leave a mark and wait for the other's: one
    // after the other in one process, they would wait in vain.
    void rows()
    {
        QFETCH(bool, meets);
        if (meets) {
            const QDir meeting(QString::fromLocal8Bit(qgetenv(MeetingVariable)));
            QFile mark(meeting.filePath(QString::number(::getpid())));
            QVERIFY(mark.open(QIODevice::WriteOnly));
            QTRY_COMPARE_WITH_TIMEOUT(meeting.entryList(QDir::Files).size(), 2, 60000);
            return;
        }
        const QByteArray end = qgetenv(SampleVariable);
        if (end == "crash")
            std::abort();
        QVERIFY2(end == "pass", "told to fail");
    }
    void withoutData() {}
};

namespace {

// The sample run as CTest runs a test (args empty) or as a developer runs
// one of its functions: its exit code (-1 when it crashed or hung) and all
// it printed.
struct SampleRun
{
    int code = -1;
    QString output;
};

SampleRun runSample(const QByteArray &end, const QStringList &args, const QString &meeting = QString())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(SampleVariable), QString::fromLatin1(end));
    environment.insert(QString::fromLatin1(MeetingVariable), meeting);
    environment.insert(QStringLiteral("TORVAN_TEST_LANES"), QStringLiteral("3"));
    QProcess run;
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QCoreApplication::applicationFilePath(), args);
    SampleRun result;
    if (run.waitForFinished(120000) && run.exitStatus() == QProcess::NormalExit)
        result.code = run.exitCode();
    result.output = QString::fromUtf8(run.readAll());
    return result;
}

} // namespace

class TestTestLanes : public QObject
{
    Q_OBJECT

private slots:
    void rowsRunSideBySide_data()
    {
        QTest::addColumn<QByteArray>("end");
        QTest::addColumn<bool>("passes");
        QTest::addColumn<QStringList>("told");
        const QStringList meetings{"PASS   : Sample::rows(meets the other)", "PASS   : Sample::rows(meets the one)"};
        QTest::newRow("every row passes")
            << QByteArray("pass") << true
            << meetings + QStringList{"PASS   : Sample::rows(ends as told)", "PASS   : Sample::withoutData()",
                                      "Totals: 4 rows, 4 passed or skipped, 0 failed"};
        QTest::newRow("a row fails") << QByteArray("fail") << false
                                     << meetings + QStringList{"FAIL!  : Sample::rows(ends as told) 'end == \"pass\"'",
                                                               "PASS   : Sample::withoutData()",
                                                               "Totals: 4 rows, 3 passed or skipped, 1 failed",
                                                               "Failed: rows:ends as told"};
        QTest::newRow("a row crashes") << QByteArray("crash") << false
                                       << meetings + QStringList{"rows:ends as told ended (crashed)",
                                                                 "Failed: rows:ends as told"};
    }
    void rowsRunSideBySide()
    {
        QFETCH(QByteArray, end);
        QFETCH(bool, passes);
        QFETCH(QStringList, told);
        QTemporaryDir meeting;
        const SampleRun run = runSample(end, QStringList(), meeting.path());
        const QString &output = run.output;
        QVERIFY2(run.code >= 0, qPrintable(output));
        QVERIFY2((run.code == 0) == passes, qPrintable(output));
        // In the rows' order, whichever ended first.
        int at = 0;
        for (const QString &line : told) {
            const int found = output.indexOf(line, at);
            QVERIFY2(found >= 0, qPrintable(line + QStringLiteral("\nnot (in order) in:\n") + output));
            at = found + line.size();
        }
        // Two processes met.
        QCOMPARE(QDir(meeting.path()).entryList(QDir::Files).size(), 2);
    }

    // With a function or row named, the test runs as QtTest runs it, in
    // this one process.
    void anArgumentRunsInProcess()
    {
        const SampleRun run = runSample("fail", {QStringLiteral("withoutData")});
        const QString &output = run.output;
        QCOMPARE(run.code, 0);
        QVERIFY2(output.contains(QLatin1String("Start testing of Sample")) &&
                     output.contains(QLatin1String("Totals: 3 passed, 0 failed")),
                 qPrintable(output));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(SampleVariable)) {
        Sample sample;
        return TestLanes::exec(&sample, argc, argv);
    }
    TestTestLanes test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_testlanes.moc"
