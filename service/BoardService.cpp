#include "service/BoardService.h"

#include "device/Clock.h"
#include "device/Records.h"
#include "device/TorvanDRV.h"
#include "log/LogText.h"
#include "log/Logger.h"
#include "record/WallClock.h"
#include "service/StatusJson.h"

#include <QJsonDocument>

namespace {

constexpr int DeadlineCheckMs = 20;
// Requests of one client that wait behind the one the board is busy with;
// more are refused, so that a client cannot make the holder keep any
// number of them.
constexpr int MaxQueuedRequests = 64;
// A command as the log and the window show it, at most.
constexpr int MaxCommandChars = 160;
// Why one was refused (an error message may quote what the client sent).
constexpr int MaxReasonChars = 200;

} // namespace

BoardService::BoardService(TorvanDRV &drv, MonotonicClock &clock, const WallClock &wallClock, QObject *parent)
    : QObject(parent), drv(drv), clock(clock), wallClock(wallClock)
{
    deadlineTimer.setInterval(DeadlineCheckMs);
    connect(&deadlineTimer, &QTimer::timeout, this, &BoardService::poll);
    connect(&drv, &TorvanDRV::newRTDataAvailable, this, &BoardService::onLiveReport);
    connect(&drv, &TorvanDRV::newDriverValuesAvailable, this, &BoardService::onDriverValues);
    connect(&drv, &TorvanDRV::newDriverInfoAvailable, this, [this] {
        if (!connected())
            boardLost();
    });
}

BoardService::~BoardService() = default;

void BoardService::setHolder(const QString &program, qint64 pid)
{
    holderProgram = program;
    holderPid = pid;
}

QString BoardService::holder() const
{
    return QStringLiteral("%1 (pid %2)").arg(holderProgram).arg(holderPid);
}

void BoardService::setLogger(Logger *logger)
{
    this->logger = logger;
}

void BoardService::log(const QString &text) const
{
    if (logger)
        logger->write(text);
}

QString BoardService::boardName() const
{
    // The serial of the board held, also once it is gone.
    return drv.SerialString().isEmpty() ? drv.SerialFilter() : drv.SerialString();
}

bool BoardService::connected() const
{
    return drv.IsConnected();
}

const QStringList &BoardService::methods()
{
    static const QStringList names = [] {
        QStringList list;
        for (const auto &entry : handlers())
            list << entry.first;
        return list;
    }();
    return names;
}

bool BoardService::changesBoard(const QString &method)
{
    static const QSet<QString> reading = {QStringLiteral("hello"),         QStringLiteral("identity"),
                                          QStringLiteral("status"),        QStringLiteral("subscribe"),
                                          QStringLiteral("unsubscribe"),   QStringLiteral("settings.get"),
                                          QStringLiteral("settings.diff"), QStringLiteral("firmware.check")};
    return handlers().count(method) && !reading.contains(method);
}

const std::map<QString, BoardService::Handler> &BoardService::handlers()
{
    static const std::map<QString, Handler> table = {
        {QStringLiteral("hello"), &BoardService::hello},
        {QStringLiteral("identity"), &BoardService::identity},
        {QStringLiteral("status"), &BoardService::status},
        {QStringLiteral("subscribe"), &BoardService::subscribe},
        {QStringLiteral("unsubscribe"), &BoardService::unsubscribe},
        {QStringLiteral("settings.get"), &BoardService::settingsGet},
        {QStringLiteral("settings.set"), &BoardService::settingsSet},
        {QStringLiteral("settings.diff"), &BoardService::settingsDiff},
        {QStringLiteral("name"), &BoardService::name},
        {QStringLiteral("enable"), &BoardService::enable},
        {QStringLiteral("sleep"), &BoardService::sleep},
        {QStringLiteral("reset_faults"), &BoardService::resetFaults},
        {QStringLiteral("restart"), &BoardService::restart},
        {QStringLiteral("move"), &BoardService::move},
        {QStringLiteral("run"), &BoardService::run},
        {QStringLiteral("stop"), &BoardService::stop},
        {QStringLiteral("home"), &BoardService::home},
        {QStringLiteral("pwm"), &BoardService::pwm},
        {QStringLiteral("firmware.check"), &BoardService::firmwareCheck},
        {QStringLiteral("firmware.update"), &BoardService::firmwareUpdate},
    };
    return table;
}

// ---------------------------------------------------------------------------
// Clients and their requests

void BoardService::attach(ServicePeer *peer)
{
    if (peers.count(peer))
        return;
    peers[peer];
    emit peersChanged(peerCount());
}

void BoardService::detach(ServicePeer *peer)
{
    const auto found = peers.find(peer);
    if (found == peers.end())
        return;
    // Its calls, the busy one, the waiting ones and a stop's among them,
    // end unanswered wherever they are held.
    *found->second.present = false;
    const bool announced = found->second.announced;
    peers.erase(found);
    if (announced)
        log(QStringLiteral("Remote client left: ") + peer->describe());
    emit peersChanged(peerCount());
}

void BoardService::receive(ServicePeer *peer, const QByteArray &line)
{
    if (!peers.count(peer))
        return;
    Rpc::Request request;
    QByteArray errorReply;
    if (!Rpc::parseRequest(line, request, errorReply)) {
        peer->send(errorReply);
        return;
    }
    auto refuse = [&](int code, const QString &message) {
        if (!request.notification)
            peer->send(Rpc::error(request.id, code, message));
    };
    if (!handlers().count(request.method))
        return refuse(Rpc::MethodNotFound, QStringLiteral("unknown method \"%1\"").arg(request.method));
    // A client is logged once it asks for more than who serves the board:
    // the programs that only look (torvan60ctl list) leave no lines.
    PeerState &state = peers[peer];
    if (!state.announced && request.method != QLatin1String("hello")) {
        state.announced = true;
        log(QStringLiteral("Remote client connected: ") + peer->describe());
    }
    if (!peer->allowed.isEmpty() && !peer->allowed.contains(request.method) &&
        request.method != QLatin1String("hello")) {
        const QString method = LogText::escaped(request.method);
        log(QStringLiteral("Remote command refused from %1: %2 is not allowed").arg(peer->describe(), method));
        emit remoteCommandRefused(peer->describe(), method, QStringLiteral("not allowed"));
        return refuse(Rpc::Refused, QStringLiteral("\"%1\" is not allowed here").arg(request.method));
    }
    // A stop acts at once, whatever the client's other requests wait for.
    if (request.method == QLatin1String("stop"))
        return dispatch(newCall(peer, request));
    if (int(state.queue.size()) >= MaxQueuedRequests)
        return refuse(Rpc::Refused, QStringLiteral("too many requests wait on this connection (at most %1); wait "
                                                   "for their answers")
                                        .arg(MaxQueuedRequests));
    state.queue.push_back(request);
    pump(peer);
}

BoardService::CallPtr BoardService::newCall(ServicePeer *peer, const Rpc::Request &request)
{
    auto call = std::make_shared<Call>();
    call->peer = peer;
    call->present = peers.at(peer).present;
    call->request = request;
    return call;
}

void BoardService::pump(ServicePeer *peer)
{
    auto found = peers.find(peer);
    if (found == peers.end() || found->second.pumping)
        return;
    found->second.pumping = true;
    while (true) {
        found = peers.find(peer);
        if (found == peers.end())
            return; // dropped while sending
        PeerState &state = found->second;
        if (state.busy || state.queue.empty())
            break;
        const CallPtr call = newCall(peer, state.queue.front());
        state.queue.pop_front();
        state.busy = call;
        dispatch(call);
    }
    found->second.pumping = false;
}

void BoardService::dispatch(const CallPtr &call)
{
    const Rpc::Request &request = call->request;
    if (!connected() && request.method != QLatin1String("hello"))
        return fail(call, Rpc::BoardLost, lostMessage());
    static const QSet<QString> inBootLoader = {QStringLiteral("hello"),          QStringLiteral("identity"),
                                               QStringLiteral("subscribe"),      QStringLiteral("unsubscribe"),
                                               QStringLiteral("firmware.check"), QStringLiteral("firmware.update"),
                                               QStringLiteral("restart")};
    if (drv.DriverInfo.BootloaderActive && !inBootLoader.contains(request.method))
        return fail(
            call, Rpc::Refused,
            QStringLiteral("board %1 runs its boot loader; update its firmware or restart it").arg(drv.SerialString()));
    if (refusedWhileAsked(call))
        return;
    Rpc::Params params(request.params);
    (this->*handlers().at(request.method))(call, params);
    // A handler still at work has carried its command out.
    if (!call->finished)
        carryOut(call);
}

void BoardService::carryOut(const CallPtr &call)
{
    if (call->announced || !changesBoard(call->request.method))
        return;
    call->announced = true;
    const QString command = describeCommand(call->request);
    log(QStringLiteral("Remote command from %1: %2").arg(call->peer->describe(), command));
    emit remoteCommand(call->peer->describe(), command);
}

void BoardService::announceRefusal(const QString &peer, const QString &command, const QString &reason)
{
    log(QStringLiteral("Remote command refused from %1: %2 (%3)").arg(peer, command, reason));
    emit remoteCommandRefused(peer, command, reason);
}

QString BoardService::describeCommand(const Rpc::Request &request) const
{
    // The main value bare ("move 5000"), the others as name=value.
    static const QStringList mainParams = {QStringLiteral("target"), QStringLiteral("speed"), QStringLiteral("name"),
                                           QStringLiteral("action")};
    QStringList words{request.method};
    for (const QString &key : mainParams)
        if (request.params.contains(key))
            words << request.params.value(key).toVariant().toString();
    for (auto it = request.params.begin(); it != request.params.end(); ++it) {
        if (mainParams.contains(it.key()))
            continue;
        const QJsonValue value = it.value();
        words << it.key() + QLatin1Char('=') +
                     (value.isObject() ? QStringLiteral("{...}") : value.toVariant().toString());
    }
    // The client's words: shown escaped, cut to what a log line holds.
    return LogText::escaped(words.join(QLatin1Char(' ')), MaxCommandChars);
}

void BoardService::reply(const CallPtr &call, const QJsonObject &result)
{
    if (!call->finished)
        carryOut(call);
    finish(call, [&] { return Rpc::result(call->request.id, result); });
}

void BoardService::fail(const CallPtr &call, int code, const QString &message)
{
    // A command refused before it was carried out is announced as refused;
    // one that failed after is not announced again.
    if (!call->finished && !call->announced && changesBoard(call->request.method)) {
        call->announced = true;
        announceRefusal(call->peer->describe(), describeCommand(call->request),
                        LogText::escaped(message, MaxReasonChars));
    }
    finish(call, [&] { return Rpc::error(call->request.id, code, message); });
}

void BoardService::finish(const CallPtr &call, const std::function<QByteArray()> &answer)
{
    if (call->finished)
        return;
    call->finished = true;
    if (!*call->present)
        return; // its client left; another may have its address now
    ServicePeer *peer = call->peer;
    if (!call->request.notification)
        peer->send(answer());
    const auto found = peers.find(peer);
    if (found != peers.end() && found->second.busy == call) {
        found->second.busy.reset();
        pump(peer);
    }
}

bool BoardService::paramsOk(const CallPtr &call, Rpc::Params &params)
{
    if (params.done())
        return true;
    fail(call, Rpc::InvalidParams, params.error());
    return false;
}

// ---------------------------------------------------------------------------
// The holder's questions and its end

void BoardService::questionOpened(const QString &title)
{
    questions << title;
    emit questionChanged();
}

void BoardService::questionClosed()
{
    if (questions.isEmpty())
        return;
    questions.removeLast();
    emit questionChanged();
}

bool BoardService::refusedWhileAsked(const CallPtr &call)
{
    const QString &method = call->request.method;
    if (questions.isEmpty() || method == QLatin1String("hello") || method == QLatin1String("stop"))
        return false;
    // Inside an exchange with the board nothing it reported is complete yet.
    if (drv.BusyCode == 0 && !changesBoard(method))
        return false;
    fail(call, Rpc::Refused,
         QStringLiteral("%1 is busy with board %2: its operator is asked \"%3\"; try again once that is answered")
             .arg(holder(), boardName(), questions.last()));
    return true;
}

void BoardService::announceClosing(const QString &detail)
{
    if (closingAnnounced)
        return;
    closingAnnounced = true;
    QString message = QStringLiteral("%1 closes; board %2 is no longer served").arg(holder(), boardName());
    if (!detail.isEmpty())
        message += QStringLiteral(" (%1)").arg(detail);
    const QByteArray line = Rpc::notification(
        QStringLiteral("closing"), {{QStringLiteral("holder"), holder()}, {QStringLiteral("message"), message}});
    std::vector<ServicePeer *> receivers;
    for (const auto &entry : peers)
        receivers.push_back(entry.first);
    for (ServicePeer *peer : receivers)
        if (peers.count(peer))
            peer->send(line);
    if (!receivers.empty())
        log(QStringLiteral("Remote clients told: ") + message);
}

// ---------------------------------------------------------------------------
// Waiting for the board

void BoardService::waitFor(const CallPtr &call, int reports, const std::function<bool()> &done, int timeoutMs,
                           const std::function<QString()> &timeoutMessage, const std::function<void()> &then)
{
    // The command that the wait follows may have lost the board.
    if (!connected())
        return fail(call, Rpc::BoardLost, lostMessage());
    if (reports <= 0 && done()) {
        then();
        return;
    }
    Wait wait;
    wait.call = call;
    wait.done = done;
    wait.reportsLeft = reports;
    wait.deadline = clock.nowMs() + timeoutMs;
    wait.then = then;
    wait.timeoutMessage = timeoutMessage;
    waits.push_back(std::move(wait));
    if (!deadlineTimer.isActive())
        deadlineTimer.start();
}

void BoardService::checkWaits(bool liveReport)
{
    // A wait that ends runs its client's next request, which never leads
    // here again but may lose the board (boardLost sees these waits too).
    if (waits.empty() || checking)
        return;
    // Waits that end may start others: those are looked at next time.
    std::vector<Wait> current;
    current.swap(waits);
    checking = &current;
    std::vector<Wait> kept;
    const qint64 now = clock.nowMs();
    for (Wait &wait : current) {
        if (wait.call->finished || !*wait.call->present)
            continue;
        if (liveReport && wait.reportsLeft > 0)
            --wait.reportsLeft;
        if (wait.reportsLeft <= 0 && wait.done()) {
            wait.then();
        } else if (now >= wait.deadline) {
            fail(wait.call, Rpc::Refused, wait.timeoutMessage());
        } else {
            kept.push_back(std::move(wait));
        }
    }
    checking = nullptr;
    for (Wait &wait : waits)
        kept.push_back(std::move(wait));
    waits.swap(kept);
    if (waits.empty())
        deadlineTimer.stop();
}

void BoardService::poll()
{
    checkWaits(false);
}

void BoardService::onLiveReport()
{
    // Disconnecting emits the signal too, with zeroed readings: no report.
    if (!connected()) {
        boardLost();
        return;
    }
    checkWaits(true);
    bool anyone = false;
    for (const auto &entry : peers)
        anyone = anyone || entry.second.every > 0;
    if (!anyone)
        return;
    // Each form of the notification is made once for all subscribers.
    const WallTime now = wallClock.now();
    QByteArray plain, raw;
    std::vector<ServicePeer *> receivers;
    for (auto &entry : peers) {
        PeerState &state = entry.second;
        if (state.every <= 0 || ++state.skipped < state.every)
            continue;
        state.skipped = 0;
        QByteArray &line = state.raw ? raw : plain;
        if (line.isEmpty())
            line = Rpc::notification(QStringLiteral("live"), StatusJson::live(drv.RTData, now, state.raw));
        receivers.push_back(entry.first);
    }
    for (ServicePeer *peer : receivers)
        if (peers.count(peer))
            peer->send(peers[peer].raw ? raw : plain);
}

void BoardService::onDriverValues()
{
    settingsSeen.insert(drv.InputReport[Report::TypeByte]);
    checkWaits(false);
}

QString BoardService::lostMessage() const
{
    return QStringLiteral("board %1 was lost").arg(boardName());
}

void BoardService::boardLost()
{
    // Every call the board's answer was owed to fails: the waiting ones
    // (also those being looked at, when a command of a wait that ended lost
    // the board) and each client's busy one (its handler may be the one
    // whose command lost the board). Their clients' next requests start as
    // each fails, and find the board gone.
    std::vector<CallPtr> lost;
    for (const Wait &wait : waits)
        lost.push_back(wait.call);
    waits.clear();
    deadlineTimer.stop();
    if (checking)
        for (const Wait &wait : *checking)
            lost.push_back(wait.call);
    for (const auto &entry : peers)
        if (entry.second.busy)
            lost.push_back(entry.second.busy);
    const QString message = lostMessage();
    for (const CallPtr &call : lost)
        fail(call, Rpc::BoardLost, message);
}

// ---------------------------------------------------------------------------
// Identity and state

void BoardService::hello(const CallPtr &call, Rpc::Params &params)
{
    const QString program = params.text(QStringLiteral("program"), QString());
    if (!paramsOk(call, params))
        return;
    // Kept one character longer than it is shown, so that the log shows a
    // longer name as cut.
    if (call->peer->renamable && !program.isEmpty())
        call->peer->program = program.left(ServicePeer::MaxProgramChars + 1);
    reply(call, {{QStringLiteral("protocol"), Rpc::ProtocolVersion},
                 {QStringLiteral("program"), holderProgram},
                 {QStringLiteral("pid"), holderPid},
                 {QStringLiteral("serial"), drv.SerialString()},
                 {QStringLiteral("product"), drv.ProductString()}});
}

void BoardService::identity(const CallPtr &call, Rpc::Params &params)
{
    if (paramsOk(call, params))
        reply(call, StatusJson::identity(drv));
}

void BoardService::status(const CallPtr &call, Rpc::Params &params)
{
    if (!paramsOk(call, params))
        return;
    if (drv.DriverInfo.BootloaderActive)
        return fail(call, Rpc::Refused, QStringLiteral("the board runs its boot loader and sends no live data"));
    reply(call, StatusJson::live(drv.RTData, wallClock.now()));
}

void BoardService::subscribe(const CallPtr &call, Rpc::Params &params)
{
    const qint64 every = params.integer(QStringLiteral("every"), 1, 1000000, 1);
    const bool raw = params.boolean(QStringLiteral("raw"), false);
    if (!paramsOk(call, params))
        return;
    PeerState &state = peers[call->peer];
    state.every = int(every);
    state.raw = raw;
    state.skipped = 0;
    reply(call);
}

void BoardService::unsubscribe(const CallPtr &call, Rpc::Params &params)
{
    if (!paramsOk(call, params))
        return;
    peers[call->peer].every = 0;
    reply(call);
}

void BoardService::firmwareCheck(const CallPtr &call, Rpc::Params &params)
{
    if (paramsOk(call, params))
        reply(call, StatusJson::firmware(drv.DriverInfo));
}

void BoardService::firmwareUpdate(const CallPtr &call, Rpc::Params &params)
{
    if (paramsOk(call, params))
        fail(call, Rpc::Refused,
             QStringLiteral("a firmware update runs only in the program that holds the board: %1").arg(holder()));
}
