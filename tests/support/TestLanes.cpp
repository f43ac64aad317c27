#include "support/TestLanes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace TestLanes {

namespace {

constexpr int DefaultLanes = 4;
// Listing the rows runs every _data function, nothing more.
constexpr int ListTimeoutMs = 60000;

struct Row
{
    QString function;
    QString tag; // empty for a function without data
    QString argument() const { return tag.isEmpty() ? function : function + QLatin1Char(':') + tag; }

    std::unique_ptr<QProcess> process;
    QByteArray output;
    QString outcome; // how its process ended
    bool done = false;
    bool passed = false;
};

int lanesWanted()
{
    bool ok = false;
    const int lanes = qEnvironmentVariableIntValue("TORVAN_TEST_LANES", &ok);
    return ok && lanes > 0 ? lanes : DefaultLanes;
}

void print(const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

// The rows as QtTest lists them ("Class function tag" per line, or "Class
// function" for a function without data); empty when they cannot be listed
// one by one (the listing failed, or the test has global data).
std::vector<Row> listRows(const QString &className)
{
    QProcess lister;
    lister.start(QCoreApplication::applicationFilePath(), {QStringLiteral("-datatags")});
    if (!lister.waitForFinished(ListTimeoutMs) || lister.exitStatus() != QProcess::NormalExit || lister.exitCode() != 0)
        return {};
    const QString prefix = className + QLatin1Char(' ');
    std::vector<Row> rows;
    for (const QString &line : QString::fromUtf8(lister.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.isEmpty())
            continue;
        if (!line.startsWith(prefix) || line.contains(QLatin1String(" __global__ ")))
            return {};
        const QString rest = line.mid(prefix.size());
        const int space = rest.indexOf(QLatin1Char(' '));
        Row row;
        row.function = space < 0 ? rest : rest.left(space);
        row.tag = space < 0 ? QString() : rest.mid(space + 1);
        rows.push_back(std::move(row));
    }
    return rows;
}

// What a passing row prints: its own lines, without QtTest's frame around
// every process (start, configuration, initTestCase, cleanupTestCase,
// totals, finish).
QByteArray withoutFrame(const QByteArray &output)
{
    QByteArray kept;
    for (const QByteArray &line : output.split('\n')) {
        if (line.isEmpty() || line.startsWith("********* ") || line.startsWith("Config: ") ||
            line.startsWith("Totals: ") || line.contains("::initTestCase()") || line.contains("::cleanupTestCase()"))
            continue;
        kept += line + '\n';
    }
    return kept;
}

// Whether QtTest reported the row itself (and not only "Unknown testdata").
bool reported(const Row &row, const QString &className)
{
    const QByteArray name =
        (className + QStringLiteral("::") + row.function + QLatin1Char('(') + row.tag + QLatin1Char(')')).toUtf8();
    for (const char *outcome : {"PASS   : ", "SKIP   : ", "FAIL!  : ", "XFAIL  : ", "XPASS  : "})
        if (row.output.contains(outcome + name))
            return true;
    return false;
}

} // namespace

int exec(QObject *test, int argc, char **argv)
{
    const int lanes = lanesWanted();
    if (argc > 1 || lanes == 1)
        return QTest::qExec(test, argc, argv);
    const QString className = QString::fromLatin1(test->metaObject()->className());
    std::vector<Row> rows = listRows(className);
    if (rows.empty())
        return QTest::qExec(test, argc, argv);

    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    size_t started = 0, printed = 0;
    int running = 0, failed = 0;
    // In the rows' order: each as soon as those before it are.
    const auto printDone = [&] {
        while (printed < rows.size() && rows[printed].done) {
            const Row &row = rows[printed++];
            if (row.passed) {
                print(withoutFrame(row.output));
                continue;
            }
            ++failed;
            print(row.output);
            if (!reported(row, className))
                print(QStringLiteral("FAIL!  : %1 ended (%2) without running the row\n")
                          .arg(row.argument(), row.outcome)
                          .toUtf8());
        }
    };
    std::function<void()> startNext = [&] {
        while (running < lanes && started < rows.size()) {
            Row &row = rows[started++];
            row.process = std::make_unique<QProcess>();
            row.process->setProcessChannelMode(QProcess::MergedChannels);
            QObject::connect(row.process.get(), QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
                             [&, &row = row](int code, QProcess::ExitStatus status) {
                                 row.output = row.process->readAll();
                                 row.outcome = status == QProcess::NormalExit ? QStringLiteral("exit code %1").arg(code)
                                                                              : QStringLiteral("crashed");
                                 row.passed = status == QProcess::NormalExit && code == 0 && reported(row, className);
                                 row.done = true;
                                 --running;
                                 printDone();
                                 startNext();
                                 if (running == 0)
                                     loop.quit();
                             });
            row.process->start(QCoreApplication::applicationFilePath(), {row.argument()});
            if (!row.process->waitForStarted()) {
                row.outcome = row.process->errorString();
                row.done = true;
                continue;
            }
            ++running;
        }
        printDone();
    };
    print(QStringLiteral("********* %1: %2 rows, %3 side by side *********\n")
              .arg(className)
              .arg(rows.size())
              .arg(lanes)
              .toUtf8());
    startNext();
    if (running > 0)
        loop.exec();
    print(QStringLiteral("Totals: %1 rows, %2 passed or skipped, %3 failed, %4ms\n")
              .arg(rows.size())
              .arg(int(rows.size()) - failed)
              .arg(failed)
              .arg(clock.elapsed())
              .toUtf8());
    for (const Row &row : rows)
        if (!row.passed)
            print(QStringLiteral("Failed: %1\n").arg(row.argument()).toUtf8());
    return failed > 0 ? 1 : 0;
}

} // namespace TestLanes
