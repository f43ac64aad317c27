// A hostile client of the board's service: the input, cut at its line ends,
// is what one client sends, line by line, to the service on a connected
// simulated board, with live reports taken in between. Checked: every line
// the service sends is one JSON-RPC object, an answer with a result or an
// error of a documented code, or a live notification; a line the client
// sends is answered at once at most by one answer, its own; no request is
// answered twice or answered at all when it asked for no answer; and once
// the board has had time for every wait to end, every request with an id
// has its answer.
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

namespace {

// Longer than the longest wait of one request (the driver woken before a
// DC motor run, then enabled): a quiet spell this long means none is left.
constexpr qint64 QuietMs = 21000;
constexpr qint64 TickMs = 20;
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

class CapturingPeer : public ServicePeer
{
public:
    void send(const QByteArray &line) override { lines.push_back(line); }
    std::vector<QByteArray> lines;
};

struct Session
{
    ManualClock clock;
    SimulatedBus bus{clock};
    SimulatedBoard &board{bus.addBoard()};
    ScriptedDialogs dialogs;
    TorvanDRV drv;
    TestWallClock wallClock{clock, QDateTime(QDate(2026, 12, 10), QTime(14, 3, 7), Qt::UTC), 3600};
    CapturingPeer peer;
    std::map<QByteArray, int> expected; // answers owed, by id
    std::map<QByteArray, int> answered;
    size_t checked = 0; // lines of the peer looked at
    int answers = 0;
    int turns = 0;

    Session()
    {
        drv.SetClock(&clock);
        drv.SetTransport(&bus);
        // No logger: stamping every line with the local time would cost most
        // of the run.
        drv.SetDialogs(&dialogs);
        peer.program = QStringLiteral("fuzz");
        peer.pid = 1;
    }

    // One report period: the board's live report and the replies it has
    // ready are taken in; now and then the link looks for a board that left.
    void tick(BoardService &service)
    {
        clock.advance(TickMs);
        if (++turns % 10 == 0 && !drv.IsConnected())
            QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler");
        for (int reads = 0; reads < 64 && drv.IsConnected(); ++reads) {
            QMetaObject::invokeMethod(&drv, "USBRXTimerHandler");
            if (board.readyReports() == 0)
                break;
        }
        service.poll();
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
            ++expected[key];
        return key;
    }

    // What the service sent while it took one line in: nothing, or one
    // answer, to that line (the others wait for the board or their turn).
    void checkAnswerAtOnce(size_t sentBefore, const QByteArray &owed, const QByteArray &line)
    {
        const size_t sent = peer.lines.size() - sentBefore;
        require(sent <= 1, "more than one line sent for one line taken in", line);
        if (sent == 0)
            return;
        require(!owed.isEmpty(), "an answer to a line that asked for none", line);
        // A line sent that is no answer at all is told by checkSent().
        const QJsonObject object = QJsonDocument::fromJson(peer.lines.back()).object();
        require(!object.contains(QLatin1String("id")) || idKey(peer.lines.back()) == owed,
                "a line taken in answered with another id", line);
    }

    // Looks at what the service sent since last time.
    void checkSent()
    {
        for (; checked < peer.lines.size(); ++checked) {
            const QByteArray &line = peer.lines[checked];
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
            require(++answered[key] <= expected[key], "an answer nobody asked for (or a second one)", line);
            ++answers;
        }
    }

    bool allAnswered() const { return answered == expected; }
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
    service.attach(&session.peer);

    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const QList<QByteArray> lines = input.split('\n');
    for (const QByteArray &line : lines) {
        const QByteArray owed = session.expect(line);
        const size_t sentBefore = session.peer.lines.size();
        service.receive(&session.peer, line);
        session.checkAnswerAtOnce(sentBefore, owed, line);
        session.checkSent();
        // One to three reports between lines, as a client's pace varies.
        for (int i = 0; i <= line.size() % 3; ++i) {
            session.tick(service);
            session.checkSent();
        }
    }

    // The board gets the time for every wait to end: requests queued behind
    // one that waits start when it is answered.
    qint64 quietSince = session.clock.nowMs();
    int answers = session.answers;
    while (!session.allAnswered() && session.clock.nowMs() - quietSince < QuietMs) {
        session.tick(service);
        session.checkSent();
        if (session.answers != answers) {
            answers = session.answers;
            quietSince = session.clock.nowMs();
        }
    }
    require(session.allAnswered(), "a request with an id was never answered");
    service.detach(&session.peer);
    return 0;
}
