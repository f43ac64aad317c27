// A hostile client of the board's service: the input, cut at its line ends,
// is what one client sends, line by line, to the service on a connected
// simulated board, with live reports taken in between. Checked: every line
// the service sends is one JSON-RPC object; no request is answered twice or
// answered at all when it asked for no answer; and once the board has had
// time for every wait to end, every request with an id has its answer.
#include "FuzzSupport.h"

#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "service/BoardService.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "support/TestWallClock.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

// Longer than the longest wait of one request (the driver woken before a
// DC motor run, then enabled): a quiet spell this long means none is left.
constexpr qint64 QuietMs = 21000;
constexpr qint64 TickMs = 20;

void require(bool holds, const char *what, const QByteArray &line = QByteArray())
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz_service: %s\n  line: %s\n", what, line.left(300).constData());
    std::abort();
}

// Ids are told apart as the service writes them back.
QByteArray idKey(const QJsonValue &id)
{
    return QJsonDocument(QJsonArray{id}).toJson(QJsonDocument::Compact);
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

    // What a line asks for: its answer's id, if it is owed one.
    void expect(const QByteArray &line)
    {
        Rpc::Request request;
        QByteArray errorReply;
        if (Rpc::parseRequest(line, request, errorReply)) {
            if (!request.notification)
                ++expected[idKey(request.id)];
        } else if (!errorReply.isEmpty()) {
            ++expected[idKey(QJsonDocument::fromJson(errorReply).object().value(QLatin1String("id")))];
        }
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
                continue;
            }
            const bool result = object.contains(QLatin1String("result"));
            const bool failed = object.value(QLatin1String("error")).isObject();
            require(result != failed, "an answer needs a result or an error, not both", line);
            if (failed) {
                const QJsonObject e = object.value(QLatin1String("error")).toObject();
                require(e.value(QLatin1String("code")).isDouble() && e.value(QLatin1String("message")).isString(),
                        "an error needs a code and a message", line);
            }
            const QByteArray key = idKey(object.value(QLatin1String("id")));
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
        session.expect(line);
        service.receive(&session.peer, line);
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
