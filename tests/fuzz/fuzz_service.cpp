// A hostile client of the board's service on a connected simulated board,
// with live reports taken in between. The input, cut at its line ends, is
// what the client sends, line by line; a line that starts with one of the
// bytes 0x01 to 0x06 is an event of the world instead: the board pulled off
// the bus or plugged back in, leaving the bus for a while (now, or at its
// next command, which may come from deep inside a request), the client
// leaving (a new one takes its place), or the client set to leave with the
// board, as a socket's clients do.
//
// Checked: every line the service sends is one JSON-RPC object, an answer
// with a result or an error of a documented code, or a live notification; a
// line the client sends is answered at once at most by one answer, its own
// (unless the board was lost meanwhile, which answers every call it owed);
// no request is answered twice or answered at all when it asked for no
// answer; nothing is sent to a client that left; and once the board has had
// time for every wait to end, every request with an id has its answer.
#include "FuzzSupport.h"

#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "service/BoardService.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "support/TestWallClock.h"

#include <QJsonDocument>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>

namespace {

// Longer than the longest wait of one request (the driver woken before a
// DC motor run, then enabled): a quiet spell this long means none is left.
constexpr qint64 QuietMs = 21000;
constexpr qint64 TickMs = 20;
// Enough for a board that left the bus to come back and be read in.
constexpr qint64 SettleMs = 2000;
// The error codes the protocol documents.
constexpr int DocumentedCodes[] = {-32700, -32600, -32601, -32602, -32603, -32001, -32003};

void require(bool holds, const char *what, const QByteArray &line = QByteArray())
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz_service: %s\n  line: %s\n", what, line.left(300).constData());
    std::abort();
}

// Ids are told apart as they are written, digit for digit.
QByteArray idKey(const QByteArray &line)
{
    return Rpc::Id::of(QJsonDocument::fromJson(line).object(), line).json();
}

// Events of the world, by the first byte of a line.
enum Event : char {
    Unplug = 1,
    Plug = 2,
    LeaveBus = 3,          // for 20 ms times the next byte (500 ms without one)
    ClientLeaves = 4,      // another client connects in its place
    GlitchNextCommand = 5, // the board leaves the bus for 500 ms at its next command (of the code
                           // in the next byte, if one is given)
    LeaveWithBoard = 6,    // from now on the client leaves when the board is lost
};

class CapturingPeer : public ServicePeer
{
public:
    void send(const QByteArray &line) override
    {
        require(!gone, "a line sent to a client that left", line);
        lines.push_back(line);
    }
    std::vector<QByteArray> lines;
    bool gone = false;
    std::map<QByteArray, int> expected; // answers owed, by id
    std::map<QByteArray, int> answered;
    size_t checked = 0; // lines looked at
};

struct Session
{
    ManualClock clock;
    SimulatedBus bus{clock};
    SimulatedBoard &board{bus.addBoard()};
    ScriptedDialogs dialogs;
    TorvanDRV drv;
    TestWallClock wallClock{clock, QDateTime(QDate(2026, 12, 10), QTime(14, 3, 7), Qt::UTC), 3600};
    BoardService *service = nullptr;
    std::vector<std::unique_ptr<CapturingPeer>> clients;
    CapturingPeer *peer = nullptr; // the client now
    bool plugged = true;
    bool leaveWithBoard = false;
    int losses = 0;
    int answers = 0;
    int turns = 0;

    Session()
    {
        drv.SetClock(&clock);
        drv.SetTransport(&bus);
        // No logger: stamping every line with the local time would cost most
        // of the run.
        drv.SetDialogs(&dialogs);
        // A holder's limits: moves outside them are refused.
        drv.TrajectoryData.PosLimitLower = -100000;
        drv.TrajectoryData.PosLimitUpper = 100000;
    }

    // Connected after the service, as a socket's holder follows the board:
    // its reaction to a loss comes after the service's own.
    void followBoard()
    {
        auto lost = [this] {
            if (drv.IsConnected())
                return;
            ++losses;
            if (leaveWithBoard && !peer->gone)
                newClient();
        };
        QObject::connect(&drv, &TorvanDRV::newRTDataAvailable, lost);
        QObject::connect(&drv, &TorvanDRV::newDriverInfoAvailable, lost);
    }

    // The client now leaves, if there is one, and another connects.
    void newClient()
    {
        if (peer) {
            checkSent();
            service->detach(peer);
            peer->gone = true;
        }
        clients.push_back(std::make_unique<CapturingPeer>());
        peer = clients.back().get();
        peer->program = QStringLiteral("fuzz");
        peer->pid = int(clients.size());
        service->attach(peer);
    }

    void event(const QByteArray &line)
    {
        switch (line.at(0)) {
        case Unplug:
            board.unplug();
            plugged = false;
            break;
        case Plug:
            board.plug();
            plugged = true;
            break;
        case LeaveBus:
            if (plugged)
                board.leaveBusFor(20 * (line.size() > 1 ? int(static_cast<unsigned char>(line.at(1))) : 25));
            break;
        case ClientLeaves:
            newClient();
            break;
        case GlitchNextCommand: {
            const int code = line.size() > 1 ? static_cast<unsigned char>(line.at(1)) : -1;
            board.onCommand = [code](SimulatedBoard &b, const ReceivedCommand &command) {
                if (code >= 0 && command.code() != code)
                    return;
                b.onCommand = nullptr;
                b.leaveBusFor(500);
            };
            break;
        }
        case LeaveWithBoard:
            leaveWithBoard = true;
            break;
        }
    }
    static bool isEvent(const QByteArray &line) { return !line.isEmpty() && line.at(0) >= 1 && line.at(0) <= 6; }

    // One report period: the board's live report and the replies it has
    // ready are taken in; now and then the link looks for a board that left.
    void tick()
    {
        clock.advance(TickMs);
        if (++turns % 10 == 0 && !drv.IsConnected())
            QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler");
        for (int reads = 0; reads < 64 && drv.IsConnected(); ++reads) {
            QMetaObject::invokeMethod(&drv, "USBRXTimerHandler");
            if (board.readyReports() == 0)
                break;
        }
        service->poll();
        checkSent();
    }

    // What a line asks for: its answer's id, if it is owed one (else empty).
    QByteArray expect(const QByteArray &line)
    {
        Rpc::Request request;
        QByteArray errorReply;
        QByteArray key;
        if (Rpc::parseRequest(line, request, errorReply)) {
            if (!request.notification)
                key = request.id.json();
        } else if (!errorReply.isEmpty()) {
            key = idKey(errorReply);
        }
        if (!key.isEmpty())
            ++peer->expected[key];
        return key;
    }

    // What the service sent while it took one line in: nothing, or one
    // answer, to that line (the others wait for the board or their turn),
    // unless the board was lost meanwhile.
    void checkAnswerAtOnce(CapturingPeer *client, size_t sentBefore, const QByteArray &owed, const QByteArray &line,
                           bool lost)
    {
        const size_t sent = client->lines.size() - sentBefore;
        if (lost || sent == 0)
            return;
        require(sent <= 1, "more than one line sent for one line taken in", line);
        require(!owed.isEmpty(), "an answer to a line that asked for none", line);
        // A line sent that is no answer at all is told by checkSent().
        const QJsonObject object = QJsonDocument::fromJson(client->lines.back()).object();
        require(!object.contains(QLatin1String("id")) || idKey(client->lines.back()) == owed,
                "a line taken in answered with another id", line);
    }

    // Looks at what the service sent each client since last time.
    void checkSent()
    {
        for (const auto &client : clients)
            checkSent(*client);
    }
    void checkSent(CapturingPeer &client)
    {
        for (; client.checked < client.lines.size(); ++client.checked) {
            const QByteArray &line = client.lines[client.checked];
            require(!line.contains('\n'), "a line sent holds a line end", line);
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(line, &error);
            require(error.error == QJsonParseError::NoError && document.isObject(), "a line sent is no JSON object",
                    line);
            const QJsonObject object = document.object();
            require(object.value(QLatin1String("jsonrpc")) == QLatin1String("2.0"), "no \"jsonrpc\": \"2.0\"", line);
            if (!object.contains(QLatin1String("id"))) {
                require(object.value(QLatin1String("method")) == QLatin1String("live"), "an unknown notification",
                        line);
                require(object.value(QLatin1String("params")).isObject(), "a live notification without its report",
                        line);
                continue;
            }
            const bool result = object.contains(QLatin1String("result"));
            const bool failed = object.value(QLatin1String("error")).isObject();
            require(result != failed, "an answer needs a result or an error, not both", line);
            if (failed) {
                const QJsonObject e = object.value(QLatin1String("error")).toObject();
                require(e.value(QLatin1String("code")).isDouble() && e.value(QLatin1String("message")).isString(),
                        "an error needs a code and a message", line);
                const int code = e.value(QLatin1String("code")).toInt();
                require(std::find(std::begin(DocumentedCodes), std::end(DocumentedCodes), code) !=
                                std::end(DocumentedCodes) &&
                            e.value(QLatin1String("code")).toDouble() == code,
                        "an error code the protocol does not document", line);
            }
            const QByteArray key = idKey(line);
            require(++client.answered[key] <= client.expected[key], "an answer nobody asked for (or a second one)",
                    line);
            ++answers;
        }
    }

    // The client now has every answer it is owed.
    bool allAnswered() const { return peer->answered == peer->expected; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ensureApplication();
    Session session;
    QMetaObject::invokeMethod(&session.drv, "USBEnumTimerHandler");
    require(session.drv.IsConnected(), "the simulated board did not connect");
    BoardService service(session.drv, session.clock, session.wallClock);
    service.setHolder(QStringLiteral("torvan60"), 4242);
    session.service = &service;
    session.followBoard();
    session.newClient();

    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const QList<QByteArray> lines = input.split('\n');
    for (const QByteArray &line : lines) {
        if (Session::isEvent(line)) {
            session.event(line);
        } else {
            CapturingPeer *client = session.peer;
            const QByteArray owed = session.expect(line);
            const size_t sentBefore = client->lines.size();
            const int lossesBefore = session.losses;
            service.receive(client, line);
            session.checkAnswerAtOnce(client, sentBefore, owed, line, session.losses != lossesBefore);
            session.checkSent();
        }
        // One to three reports between lines, as a client's pace varies.
        for (int i = 0; i <= line.size() % 3; ++i)
            session.tick();
    }

    // The board gets the time for every wait to end: requests queued behind
    // one that waits start when it is answered. A board that left the bus
    // for a while comes back meanwhile, and waits of clients that left would
    // show.
    const qint64 end = session.clock.nowMs();
    qint64 quietSince = end;
    int answers = session.answers;
    while ((!session.allAnswered() || session.clock.nowMs() - end < SettleMs) &&
           session.clock.nowMs() - quietSince < QuietMs) {
        session.tick();
        if (session.answers != answers) {
            answers = session.answers;
            quietSince = session.clock.nowMs();
        }
    }
    require(session.allAnswered(), "a request with an id was never answered");
    service.detach(session.peer);
    return 0;
}
