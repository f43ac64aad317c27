// A fleet on one broker: eight torvan60ctl serve processes, each holding its
// own simulated board, publish their state at 10 Hz to one local mosquitto
// for 60 s (or the seconds given as the argument). A subscriber counts every
// state message. Printed, each next to its budget:
// - per board, the state messages received against those the process says
//   it published, and the gaps in their "seq" user property (every state
//   message is numbered by its process, so a message lost anywhere shows as
//   a gap): budget none;
// - per process, the share of a core it used over the run, from utime +
//   stime in /proc/<pid>/stat: budget under 2 %.
#include "MqttRig.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <cstdio>
#include <memory>
#include <vector>

#include <unistd.h>

using namespace MqttRig;

namespace {

constexpr int Boards = 8;
constexpr int Rate = 10;
constexpr double CpuBudgetPercent = 2.0;

// utime + stime of a process, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // The fields after the command name, which may hold spaces, in brackets.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    // utime and stime are the 14th and 15th fields of the line, the 12th and
    // 13th after the name.
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

QByteArray serial(int board)
{
    return QByteArray("SIM60-00000") + QByteArray::number(board);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    if (brokerProgram().isEmpty() || seconds <= 0) {
        std::printf("usage: %s [SECONDS]; needs mosquitto (scripts/setup.sh installs it)\n", argv[0]);
        return 2;
    }
    Broker broker;
    if (!broker.start()) {
        std::printf("mosquitto did not start\n");
        return 1;
    }
    Watcher watcher;
    if (!watcher.connect(broker.port, "torvan60/+/state")) {
        std::printf("the subscriber did not connect\n");
        return 1;
    }
    std::vector<std::unique_ptr<Serve>> serves;
    for (int board = 1; board <= Boards; ++board)
        serves.push_back(std::make_unique<Serve>(
            QStringList{QStringLiteral("--simulate-boards=%1").arg(Boards), QStringLiteral("-d"),
                        QString::fromLatin1(serial(board)), QStringLiteral("serve"), QStringLiteral("--mqtt"),
                        broker.url(), QStringLiteral("--mqtt-rate"), QString::number(Rate)}));
    // Measured once every board is published: starting up is not serving.
    const bool allUp = waitUntil([&] {
        for (int board = 1; board <= Boards; ++board)
            if (watcher.count("torvan60/" + serial(board) + "/state") == 0)
                return false;
        return true;
    });
    if (!allUp) {
        std::printf("not every board was published:\n%s\n", qPrintable(serves[0]->log()));
        return 1;
    }
    std::vector<qint64> ticksBefore;
    for (const auto &serve : serves)
        ticksBefore.push_back(cpuTicks(serve->pid()));
    std::printf("%d boards at %d Hz for %d s...\n", Boards, Rate, seconds);
    std::fflush(stdout);
    QElapsedTimer run;
    run.start();
    waitUntil([] { return false; }, seconds * 1000);
    const double elapsed = run.elapsed() / 1000.0;
    std::vector<double> cpu;
    for (size_t i = 0; i < serves.size(); ++i)
        cpu.push_back(100.0 * double(cpuTicks(serves[i]->pid()) - ticksBefore[i]) / double(sysconf(_SC_CLK_TCK)) /
                      elapsed);

    // Each process says how many it published as it ends; then the
    // subscriber has had every one that reached the broker.
    std::vector<qint64> published;
    for (const auto &serve : serves) {
        serve->terminate();
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("after (\\d+) state messages")).match(serve->log());
        published.push_back(match.hasMatch() ? match.captured(1).toLongLong() : -1);
    }
    waitUntil(
        [&] {
            qint64 received = 0, sent = 0;
            for (int board = 1; board <= Boards; ++board) {
                received += watcher.count("torvan60/" + serial(board) + "/state");
                sent += published[size_t(board - 1)];
            }
            return received >= sent;
        },
        5000);

    bool ok = true;
    std::printf("\n%-14s %9s %9s %6s %8s   %s\n", "board", "published", "received", "gaps", "CPU", "budget");
    for (int board = 1; board <= Boards; ++board) {
        const std::vector<Message> states = watcher.messages("torvan60/" + serial(board) + "/state");
        qint64 gaps = 0;
        for (size_t i = 1; i < states.size(); ++i)
            gaps += qMax<qint64>(0, states[i].seq - states[i - 1].seq - 1) + (states[i].seq <= states[i - 1].seq);
        const qint64 sent = published[size_t(board - 1)];
        const double share = cpu[size_t(board - 1)];
        const bool boardOk = gaps == 0 && sent == qint64(states.size()) && share < CpuBudgetPercent;
        ok = ok && boardOk;
        std::printf("%-14s %9lld %9zu %6lld %7.2f%%   all received, no gap, CPU < %.0f %% of a core: %s\n",
                    serial(board).constData(), sent, states.size(), gaps, share, CpuBudgetPercent,
                    boardOk ? "ok" : "OVER");
    }
    std::printf("\nexpected about %d state messages a board (%d Hz over %.1f s, and a few while starting)\n",
                int(Rate * elapsed), Rate, elapsed);
    std::printf("%s\n", ok ? "within budget" : "OVER BUDGET");
    return ok ? 0 : 1;
}
