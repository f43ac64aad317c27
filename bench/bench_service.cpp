// The board's service under load: the simulated board on the real steady
// clock behind the device object's own timers, its service on the local
// socket, and a real event loop that sleeps while it waits. Clients are
// ServiceClients on threads of their own, as other programs would be.
//
// 1. Subscribers: 8 clients subscribed to every live report at 100 reports
//    per second, reading everything. The CPU time of the holder's thread is
//    measured over 20 s without them and 20 s with them; they may add at most
//    1 % of a core.
// 2. Stop: a client runs the motor and stops it, again and again, with the 8
//    subscribers still reading. From just before the stop request is written
//    to the socket (so a little before the holder could see it) to the moment
//    the board's transport takes the stop command: at most 5 ms at the 99th
//    percentile.
//
// Exit status 1 when a figure is over its budget.
#include "ThreadCpu.h"
#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "log/Logger.h"
#include "record/WallClock.h"
#include "service/BoardService.h"
#include "service/LocalServer.h"
#include "service/ServiceClient.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Steady = std::chrono::steady_clock;

constexpr int ReportsPerSecond = 100;
constexpr int Subscribers = 8;
constexpr int PhaseMs = 20000;
constexpr double CpuBudgetPercent = 1.0;
constexpr int StopTrials = 400;
constexpr double StopBudgetMs = 5.0;

// The holder's event loop for ms milliseconds, or until done() holds.
template <class Done> void serve(int ms, Done done)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(10);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Passes everything to the simulated bus and notes when each stop command
// was handed to it.
class StopTimingTransport : public HidTransport
{
public:
    StopTimingTransport(HidTransport &inner, SimulatedBoard &board) : inner(inner), board(board) {}

    std::vector<HidDeviceEntry> enumerate(unsigned short v, unsigned short p) override { return inner.enumerate(v, p); }
    HidHandle *openPath(const std::string &path) override { return inner.openPath(path); }
    int setNonblocking(HidHandle *h, int n) override { return inner.setNonblocking(h, n); }
    int read(HidHandle *h, unsigned char *data, size_t length) override { return inner.read(h, data, length); }
    int write(HidHandle *h, const unsigned char *data, size_t length) override
    {
        const Steady::time_point at = Steady::now();
        const size_t before = board.received.size();
        const int count = inner.write(h, data, length);
        if (board.received.size() > before && board.received.back().code() == Report::CmdStopTrajectory)
            stops.push_back(at);
        return count;
    }
    void close(HidHandle *h) override { inner.close(h); }

    std::vector<Steady::time_point> stops;

private:
    HidTransport &inner;
    SimulatedBoard &board;
};

struct Subscriber
{
    std::thread thread;
    std::atomic<bool> ready{false};
    std::atomic<bool> failed{false};
    std::atomic<long> received{0};
};

void subscribe(const QString &path, Subscriber &me, const std::atomic<bool> &counting, const std::atomic<bool> &stop)
{
    ServiceClient client;
    client.interrupted = [&] { return stop.load(); };
    if (!client.connectTo(path, 5000).isEmpty() ||
        !client.call(QStringLiteral("subscribe"), {{QStringLiteral("every"), 1}}, 5000).ok) {
        me.failed = true;
        return;
    }
    me.ready = true;
    QString method;
    QJsonObject params;
    while (client.nextNotification(-1, method, params) == ServiceClient::Next::Notification)
        if (counting)
            ++me.received;
}

// Runs and stops the motor trials times; the moments just before each stop
// request went out.
std::vector<Steady::time_point> runAndStop(const QString &path, int trials, QString &error)
{
    std::vector<Steady::time_point> sent;
    ServiceClient client;
    error = client.connectTo(path, 5000);
    for (int i = 0; i < trials && error.isEmpty(); ++i) {
        const QJsonObject run{{QStringLiteral("speed"), i % 2 ? -2000 : 2000},
                              {QStringLiteral("max_speed"), 4000},
                              {QStringLiteral("accel"), 100000},
                              {QStringLiteral("decel"), 100000}};
        Rpc::Reply reply = client.call(QStringLiteral("run"), run, 5000);
        if (reply.ok) {
            sent.push_back(Steady::now());
            reply = client.call(QStringLiteral("stop"), {}, 5000);
        }
        if (!reply.ok)
            error = reply.message;
    }
    return sent;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p / 100.0 * double(v.size())))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());

    SteadyClock clock;
    SimulatedBus bus(clock);
    SimulatedBoard &board = bus.addBoard();
    board.liveReportsPerSecond = ReportsPerSecond;
    StopTimingTransport transport(bus, board);
    Logger logger(nullptr, QString(), nullptr); // the holder logs every command; no file, no pane
    TorvanDRV drv;
    drv.SetClock(&clock);
    drv.SetTransport(&transport);
    drv.SetLogger(&logger);
    drv.StartTimers();
    serve(5000, [&] { return drv.IsConnected(); });
    if (!drv.IsConnected()) {
        out << "the simulated board did not connect\n";
        return 1;
    }
    SystemWallClock wallClock;
    BoardService service(drv, clock, wallClock);
    service.setHolder(QStringLiteral("bench_service"), ::getpid());
    service.setLogger(&logger);
    LocalServer server(service);
    server.setLogger(&logger);
    const QString error = server.listen(board.serial);
    if (!error.isEmpty()) {
        out << "cannot serve: " << error << "\n";
        return 1;
    }
    long reports = 0;
    QObject::connect(&drv, &TorvanDRV::newRTDataAvailable, [&] { ++reports; });
    serve(1000, [] { return false; }); // settled

    out << "The board's service on the simulated board, " << ReportsPerSecond << " live reports/s\n\n";

    // 1. Subscribers.
    const double seconds = PhaseMs / 1000.0;
    reports = 0;
    double cpu = threadCpuMs();
    serve(PhaseMs, [] { return false; });
    const double aloneMs = threadCpuMs() - cpu;
    const long aloneReports = reports;

    std::atomic<bool> counting{false}, stop{false};
    std::vector<std::unique_ptr<Subscriber>> subscribers;
    for (int i = 0; i < Subscribers; ++i) {
        subscribers.push_back(std::make_unique<Subscriber>());
        Subscriber &s = *subscribers.back();
        s.thread = std::thread(subscribe, server.path(), std::ref(s), std::cref(counting), std::cref(stop));
    }
    serve(10000, [&] {
        return std::all_of(subscribers.begin(), subscribers.end(), [](const auto &s) { return s->ready || s->failed; });
    });
    int subscribed = 0;
    for (const auto &s : subscribers)
        subscribed += s->ready ? 1 : 0;
    reports = 0;
    counting = true;
    cpu = threadCpuMs();
    serve(PhaseMs, [] { return false; });
    const double withMs = threadCpuMs() - cpu;
    counting = false;
    const long withReports = reports;
    long fewest = -1;
    for (const auto &s : subscribers)
        fewest = fewest < 0 ? s->received.load() : std::min(fewest, s->received.load());

    const double addedPercent = 100.0 * (withMs - aloneMs) / PhaseMs;
    const bool cpuOk =
        subscribed == Subscribers && addedPercent <= CpuBudgetPercent && fewest >= withReports * 95 / 100;
    out << "1. Live reports to " << subscribed << " of " << Subscribers << " subscribers, " << seconds
        << " s each way\n";
    out << QString::asprintf("   holder thread alone:            %7.1f ms CPU in %.0f s (%.2f %% of a core), %ld "
                             "reports\n",
                             aloneMs, seconds, 100.0 * aloneMs / PhaseMs, aloneReports);
    out << QString::asprintf("   holder thread with subscribers: %7.1f ms CPU in %.0f s (%.2f %% of a core), %ld "
                             "reports\n",
                             withMs, seconds, 100.0 * withMs / PhaseMs, withReports);
    out << QString::asprintf("   added by the subscribers: %.2f %% of a core (budget %.1f %%) %s\n", addedPercent,
                             CpuBudgetPercent, addedPercent <= CpuBudgetPercent ? "ok" : "OVER");
    out << QString::asprintf("   the slowest subscriber read %ld notifications of %ld reports\n\n", fewest,
                             withReports);
    out.flush();

    // 2. Stop latency, the subscribers still reading.
    QString trialError;
    const QString path = server.path();
    transport.stops.clear();
    std::vector<Steady::time_point> sent;
    std::atomic<bool> trialsDone{false};
    std::thread trials([&] {
        sent = runAndStop(path, StopTrials, trialError);
        trialsDone = true;
    });
    serve(StopTrials * 1000, [&] { return trialsDone.load(); });
    trials.join();
    stop = true;
    for (const auto &s : subscribers)
        s->thread.join();

    std::vector<double> latencies;
    size_t next = 0;
    for (const Steady::time_point at : sent) {
        while (next < transport.stops.size() && transport.stops[next] < at)
            ++next;
        if (next < transport.stops.size())
            latencies.push_back(std::chrono::duration<double, std::milli>(transport.stops[next++] - at).count());
    }
    out << "2. Stop written to the board, from the request's arrival on the socket (" << latencies.size()
        << " stops of " << StopTrials << ")\n";
    bool stopOk = trialError.isEmpty() && int(latencies.size()) == StopTrials;
    if (!trialError.isEmpty())
        out << "   the trials ended: " << trialError << "\n";
    if (!latencies.empty()) {
        const double p99 = percentile(latencies, 99);
        stopOk = stopOk && p99 <= StopBudgetMs;
        out << QString::asprintf("   median %.3f ms, 99th percentile %.3f ms (budget %.1f ms) %s, longest %.3f ms\n",
                                 percentile(latencies, 50), p99, StopBudgetMs, p99 <= StopBudgetMs ? "ok" : "OVER",
                                 percentile(latencies, 100));
    }
    server.close();
    return cpuOk && stopOk ? 0 : 1;
}
