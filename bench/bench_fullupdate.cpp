// Wall time of a full firmware update against the simulated board.
//
// 1. Paced: the board runs on the real steady clock and takes at most one
//    report per millisecond, as a full-speed USB interrupt endpoint does. The
//    update cannot beat that pace: 6 erase and 768 write reports at 1 ms each
//    plus six 20 ms pauses before the checksum replies, about 894 ms.
// 2. Unpaced, on a manual clock (every wait is instant): the CPU cost per
//    report, split into the tool's own work (building, scrambling, progress
//    signal, checksums, log) and the simulated board's (undoing the
//    scrambling, programming its flash, computing checksums).
#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "log/Logger.h"
#include "support/ManualClock.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

double msSince(Steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// Passes every call to the simulated bus and adds up the time spent inside
// it, so that the board's share can be taken out of the total.
class TimedTransport : public HidTransport
{
public:
    explicit TimedTransport(HidTransport &inner) : inner(inner) {}

    std::vector<HidDeviceEntry> enumerate(unsigned short v, unsigned short p) override { return inner.enumerate(v, p); }
    HidHandle *openPath(const std::string &path) override { return inner.openPath(path); }
    int setNonblocking(HidHandle *h, int n) override { return inner.setNonblocking(h, n); }
    int read(HidHandle *h, unsigned char *data, size_t length) override
    {
        const auto start = Steady::now();
        const int count = inner.read(h, data, length);
        insideMs += msSince(start);
        return count;
    }
    int write(HidHandle *h, const unsigned char *data, size_t length) override
    {
        const auto start = Steady::now();
        const int count = inner.write(h, data, length);
        insideMs += msSince(start);
        return count;
    }
    void close(HidHandle *h) override { inner.close(h); }

    double insideMs = 0;

private:
    HidTransport &inner;
};

struct Run
{
    double wallMs = 0;
    double boardMs = 0;
    int reports = 0;
    bool ok = false;
};

// One board in its boot loader over an older application, connected (the
// mismatch question is answered Cancel), then one timed full update.
Run fullUpdate(MonotonicClock &clock, int acceptIntervalMs)
{
    SimulatedBus bus(clock);
    SimulatedBoard &board = bus.addBoard();
    board.model.bootloaderRunning = true;
    board.model.apVersionLow = 0x22;
    board.model.flash.loadApplication(0x01, 0x22);
    TimedTransport transport(bus);
    Logger logger(nullptr, QString(), nullptr);
    TorvanDRV drv;
    drv.SetClock(&clock);
    drv.SetTransport(&transport);
    drv.SetLogger(&logger);
    QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler");
    if (!drv.IsConnected())
        return {};
    board.acceptIntervalMs = acceptIntervalMs;
    board.received.clear();
    transport.insideMs = 0;

    const auto start = Steady::now();
    drv.FullUpdate();
    Run run;
    run.wallMs = msSince(start);
    run.boardMs = transport.insideMs;
    run.reports = int(board.received.size());
    run.ok = run.reports == 782 && board.model.flash.holdsCarriedApplication() && board.model.flash.signatureValid();
    return run;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    constexpr int PacedReports = 6 + 768; // erase and write reports, back to back
    constexpr int ChecksumPauses = 6;
    constexpr int PauseMs = 20;
    constexpr int IntervalMs = 1;
    const double limitMs = PacedReports * IntervalMs + ChecksumPauses * PauseMs;

    out << "Full update against the simulated board\n\n";
    out << "Paced: real steady clock, board takes one report per " << IntervalMs << " ms\n";
    SteadyClock steady;
    std::vector<double> paced;
    for (int i = 0; i < 3; ++i) {
        const Run run = fullUpdate(steady, IntervalMs);
        if (!run.ok) {
            out << "  run " << i + 1 << ": update did not complete\n";
            return 1;
        }
        paced.push_back(run.wallMs);
        out << QString::asprintf("  run %d: %8.1f ms  (%d reports)\n", i + 1, run.wallMs, run.reports);
    }
    const double pacedMedian = median(paced);
    out << QString::asprintf("  median %.1f ms; limit set by the pace %.0f ms (%d reports x %d ms + %d x %d ms); "
                             "ratio %.3f\n\n",
                             pacedMedian, limitMs, PacedReports, IntervalMs, ChecksumPauses, PauseMs,
                             pacedMedian / limitMs);

    {
        const Run run = fullUpdate(steady, 0);
        out << QString::asprintf("Unpaced: real steady clock: %.1f ms (of which the six pauses are %d ms)\n\n",
                                 run.wallMs, ChecksumPauses * PauseMs);
    }

    constexpr int Repeats = 30;
    out << "Unpaced: manual clock (waits take no time), " << Repeats << " runs\n";
    std::vector<double> total, tool, board;
    int reports = 0;
    for (int i = 0; i < Repeats; ++i) {
        ManualClock manual;
        const Run run = fullUpdate(manual, 0);
        if (!run.ok) {
            out << "  run " << i + 1 << ": update did not complete\n";
            return 1;
        }
        reports = run.reports;
        total.push_back(run.wallMs);
        board.push_back(run.boardMs);
        tool.push_back(run.wallMs - run.boardMs);
    }
    const double toolMs = median(tool), boardMs = median(board), totalMs = median(total);
    out << QString::asprintf("  per run (median): %.3f ms total, %.3f ms tool, %.3f ms simulated board\n", totalMs,
                             toolMs, boardMs);
    out << QString::asprintf("  per report (%d reports): %.0f ns tool, %.0f ns simulated board\n", reports,
                             toolMs * 1e6 / reports, boardMs * 1e6 / reports);
    out << QString::asprintf("  the tool's work is %.2f%% of the paced limit\n", 100.0 * toolMs / limitMs);
    return 0;
}
