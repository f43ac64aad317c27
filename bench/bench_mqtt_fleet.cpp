// A fleet on one broker: eight torvan60ctl serve processes, each holding its
// own simulated board, publish their state at 10 Hz to one local mosquitto
// for 60 s (or the seconds given as the argument). Each is also a Sparkplug B
// edge node of its own and publishes Home Assistant discovery configs
// (--plain: neither), and its motor moves all along (moves sent as
// Sparkplug DCMD), so that DDATA flows at the state rate. A subscriber counts
// every message. Printed, each next to its budget:
// - per board, the state messages received against those the process says
//   it published, and the gaps in their "seq" user property (every state
//   message is numbered by its process, so a message lost anywhere shows as
//   a gap): budget none;
// - per board, the Sparkplug messages received and the gaps in their seq
//   (0 to 255 and round again, from 0 at each NBIRTH): budget none;
// - per process, the share of a core it used over the run, from utime +
//   stime in /proc/<pid>/stat: budget under 2 %.
#include "MqttRig.h"
#include "SparkplugWire.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

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

QByteArray edge(int board)
{
    return "edge" + QByteArray::number(board);
}

// The Sparkplug messages of one edge node, and the gaps in their seq.
std::pair<int, int> sparkplugGaps(const Watcher &watcher, int board)
{
    const QByteArray prefix = "spBv1.0/bench/";
    int count = 0, gaps = 0;
    qint64 last = -1;
    for (const Message &m : watcher.all()) {
        const QList<QByteArray> levels = m.topic.split('/');
        if (!m.topic.startsWith(prefix) || levels.size() < 4 || levels[3] != edge(board) || levels[2].endsWith("CMD") ||
            levels[2] == "NDEATH")
            continue;
        SparkplugWire::Payload payload;
        if (!SparkplugWire::read(m.payload, payload)) {
            ++gaps;
            continue;
        }
        ++count;
        const bool birth = levels[2] == "NBIRTH";
        if ((birth && payload.seq != 0) || (!birth && last >= 0 && payload.seq != (last + 1) % 256))
            ++gaps;
        last = payload.seq;
    }
    return {count, gaps};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool plain = app.arguments().contains(QStringLiteral("--plain"));
    QStringList numbers = app.arguments().mid(1);
    numbers.removeAll(QStringLiteral("--plain"));
    const int seconds = numbers.isEmpty() ? 60 : numbers.first().toInt();
    if (brokerProgram().isEmpty() || seconds <= 0) {
        std::printf("usage: %s [SECONDS] [--plain]; needs mosquitto (scripts/setup.sh installs it)\n", argv[0]);
        return 2;
    }
    Broker broker;
    if (!broker.start()) {
        std::printf("mosquitto did not start\n");
        return 1;
    }
    Watcher watcher;
    if (!watcher.connect(broker.port, "#")) {
        std::printf("the subscriber did not connect\n");
        return 1;
    }
    std::vector<std::unique_ptr<Serve>> serves;
    for (int board = 1; board <= Boards; ++board) {
        QStringList args{QStringLiteral("--simulate-boards=%1").arg(Boards),
                         QStringLiteral("-d"),
                         QString::fromLatin1(serial(board)),
                         QStringLiteral("serve"),
                         QStringLiteral("--mqtt"),
                         broker.url(),
                         QStringLiteral("--mqtt-rate"),
                         QString::number(Rate)};
        if (!plain)
            args << QStringLiteral("--mqtt-discovery") << QStringLiteral("--sparkplug")
                 << QStringLiteral("bench/") + QString::fromLatin1(edge(board)) << QStringLiteral("--mqtt-allow")
                 << QStringLiteral("move");
        serves.push_back(std::make_unique<Serve>(args));
    }
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
    // Every motor moves for the whole run: to one end of the position
    // limits (0 to 100000) and, every few seconds, to the other, so that it
    // turns before it arrives and its position changes at every state
    // message.
    QTimer mover;
    int end = 100000;
    if (!plain) {
        const auto moveAll = [&] {
            const QByteArray move = SparkplugWire::payload(SparkplugWire::metric("Commands/move", -1, 3, end));
            for (int board = 1; board <= Boards; ++board)
                if (!watcher.publish("spBv1.0/bench/DCMD/" + edge(board) + '/' + serial(board), move))
                    std::printf("the move to %d for board %d was not sent\n", end, board);
            end = 100000 - end;
        };
        moveAll();
        QObject::connect(&mover, &QTimer::timeout, moveAll);
        mover.start(4000);
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
    mover.stop();
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
    std::printf("\n%s, 8 boards\n", plain ? "JSON state only" : "JSON state, discovery and Sparkplug B");
    std::printf("%-14s %9s %9s %6s %9s %6s %8s   %s\n", "board", "published", "received", "gaps", "sparkplug", "gaps",
                "CPU", "budget");
    for (int board = 1; board <= Boards; ++board) {
        const std::vector<Message> states = watcher.messages("torvan60/" + serial(board) + "/state");
        qint64 gaps = 0;
        for (size_t i = 1; i < states.size(); ++i) {
            const qint64 gap =
                qMax<qint64>(0, states[i].seq - states[i - 1].seq - 1) + (states[i].seq <= states[i - 1].seq);
            if (gap)
                std::printf("gap after seq %lld at %lld ms\n", states[i - 1].seq, states[i].atMs);
            gaps += gap;
        }
        const qint64 sent = published[size_t(board - 1)];
        const double share = cpu[size_t(board - 1)];
        const auto [spCount, spGaps] = sparkplugGaps(watcher, board);
        const bool boardOk = gaps == 0 && sent == qint64(states.size()) && share < CpuBudgetPercent && spGaps == 0 &&
                             (plain || spCount > 0);
        ok = ok && boardOk;
        std::printf("%-14s %9lld %9zu %6lld %9d %6d %7.2f%%   all received, no gap, CPU < %.0f %% of a core: %s\n",
                    serial(board).constData(), sent, states.size(), gaps, spCount, spGaps, share, CpuBudgetPercent,
                    boardOk ? "ok" : "OVER");
    }
    std::printf("\nexpected about %d state messages a board (%d Hz over %.1f s, and a few while starting)\n",
                int(Rate * elapsed), Rate, elapsed);
    std::printf("%s\n", ok ? "within budget" : "OVER BUDGET");
    return ok ? 0 : 1;
}
