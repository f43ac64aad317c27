#pragma once

#include "service/Rpc.h"
#include "service/ServicePeer.h"

#include <QObject>
#include <QSet>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class BoardService;
class Logger;
class MonotonicClock;
class TorvanDRV;
class WallClock;

// Answers the requests of the board's clients (docs/service.md) on the
// holder's device object, from the holder's event loop: the window, the
// headless torvan60ctl serve, torvan60ctl on a board of its own and the
// Python package all drive a board through it. It does not own the device
// object and never opens or closes the board.
//
// A request whose answer waits for the board (the driver awake, the motor at
// rest) is answered from later live reports; the requests of one client
// after it wait their turn, those of other clients do not. A stop acts at
// once. The waits measure time on the device object's monotonic clock.
class BoardService : public QObject
{
    Q_OBJECT
public:
    BoardService(TorvanDRV &drv, MonotonicClock &clock, const WallClock &wallClock, QObject *parent = nullptr);
    ~BoardService() override;

    // The program that holds the board, for hello and for refusals that
    // name it ("torvan60 (pid 4242)").
    void setHolder(const QString &program, qint64 pid);
    QString holder() const;
    // Clients that come and go and every command that changes the board
    // are logged when a logger is set.
    void setLogger(Logger *logger);

    // A client came or goes. Its waiting requests are dropped unanswered;
    // what was already sent to the board stays sent.
    void attach(ServicePeer *peer);
    void detach(ServicePeer *peer);
    // One line the client sent, without its line end.
    void receive(ServicePeer *peer, const QByteArray &line);
    int peerCount() const { return int(peers.size()); }
    // Whether the board is there to take commands.
    bool boardConnected() const { return connected(); }

    // Ends the waits whose time is up; a timer does it while any wait.
    void poll();

    // The holder asks its operator something about the board (a question
    // box is open, titled title) and waits for the answer. Until it is
    // answered, commands that change the board are refused as busy, naming
    // the question; a stop still acts, and what only reads is answered.
    // While the holder is in an exchange with the board besides (the
    // question came up inside it), only hello is answered. Questions may
    // nest; each opened is closed.
    void questionOpened(const QString &title);
    void questionClosed();
    // The title of the innermost open question; empty when none is open.
    QString openQuestion() const { return questions.isEmpty() ? QString() : questions.last(); }

    // The holder closes: every client gets one last notification, "closing",
    // that says so (detail, when given, what became of the motor) before its
    // connection ends. Sent once.
    void announceClosing(const QString &detail = QString());

    // The methods there are, and whether one changes the board (the ones
    // that do are logged and shown by the window).
    static const QStringList &methods();
    static bool changesBoard(const QString &method);

signals:
    void peersChanged(int count);
    // A client's command changed what the board keeps or how it runs
    // (driver values, name, mode flags, motion settings): a front end shows
    // the device object's records again, sending nothing.
    void boardSettingsChanged();
    // A client's command that changes the board, as "move 5000", once it is
    // carried out (sent to the board).
    void remoteCommand(const QString &peer, const QString &command);
    // One refused before anything was sent, and why.
    void remoteCommandRefused(const QString &peer, const QString &command, const QString &reason);
    // A question of the holder's opened or was answered.
    void questionChanged();

private:
    struct Call
    {
        ServicePeer *peer = nullptr;
        // False once the peer left: nothing is sent to it any more.
        std::shared_ptr<bool> present;
        Rpc::Request request;
        bool finished = false;
        bool announced = false; // logged and shown as carried out or refused
    };
    using CallPtr = std::shared_ptr<Call>;
    struct PeerState
    {
        std::shared_ptr<bool> present = std::make_shared<bool>(true);
        bool announced = false; // logged as connected
        std::deque<Rpc::Request> queue;
        CallPtr busy;
        bool pumping = false;
        int every = 0; // live reports: every n-th, 0: none
        bool raw = false;
        int skipped = 0;
    };
    struct Wait
    {
        CallPtr call;
        std::function<bool()> done;
        int reportsLeft = 0;
        qint64 deadline = 0;
        std::function<void()> then;
        std::function<QString()> timeoutMessage;
    };
    using Handler = void (BoardService::*)(const CallPtr &, Rpc::Params &);

    CallPtr newCall(ServicePeer *peer, const Rpc::Request &request);
    void pump(ServicePeer *peer);
    void dispatch(const CallPtr &call);
    // A command that changes the board is logged and shown once: when it is
    // carried out (its handler calls carryOut before it sends; answered or
    // still at work counts too), or as refused when it fails before that.
    void carryOut(const CallPtr &call);
    void announceRefusal(const QString &peer, const QString &command, const QString &reason);
    void reply(const CallPtr &call, const QJsonObject &result = QJsonObject());
    void fail(const CallPtr &call, int code, const QString &message);
    // Sends the answer made by answer (unless the call asked for none), once,
    // and lets the client's next request start.
    void finish(const CallPtr &call, const std::function<QByteArray()> &answer);
    // Fails with InvalidParams when the parameters are at fault; true when
    // the handler may go on.
    bool paramsOk(const CallPtr &call, Rpc::Params &params);
    // Runs then once done() holds after reports further live reports, or
    // fails the call as refused with timeoutMessage after timeoutMs.
    void waitFor(const CallPtr &call, int reports, const std::function<bool()> &done, int timeoutMs,
                 const std::function<QString()> &timeoutMessage, const std::function<void()> &then);
    void waitFor(const CallPtr &call, int reports, const std::function<bool()> &done, int timeoutMs,
                 const QString &timeoutMessage, const std::function<void()> &then)
    {
        waitFor(
            call, reports, done, timeoutMs, [timeoutMessage] { return timeoutMessage; }, then);
    }
    void checkWaits(bool liveReport);
    void onLiveReport();
    void onDriverValues();
    void boardLost();
    QString lostMessage() const;
    bool connected() const;
    QString boardName() const;
    void log(const QString &text) const;
    // Fails the call as busy while a question is open that it must not act
    // behind; true when it was refused.
    bool refusedWhileAsked(const CallPtr &call);
    QString describeCommand(const Rpc::Request &request) const;

    // Handlers (BoardService.cpp): identity and state.
    void hello(const CallPtr &call, Rpc::Params &params);
    void identity(const CallPtr &call, Rpc::Params &params);
    void status(const CallPtr &call, Rpc::Params &params);
    void subscribe(const CallPtr &call, Rpc::Params &params);
    void unsubscribe(const CallPtr &call, Rpc::Params &params);
    void firmwareCheck(const CallPtr &call, Rpc::Params &params);
    void firmwareUpdate(const CallPtr &call, Rpc::Params &params);
    // ServiceSettings.cpp
    void settingsGet(const CallPtr &call, Rpc::Params &params);
    void settingsSet(const CallPtr &call, Rpc::Params &params);
    void settingsDiff(const CallPtr &call, Rpc::Params &params);
    void name(const CallPtr &call, Rpc::Params &params);
    // ServiceMotion.cpp
    void enable(const CallPtr &call, Rpc::Params &params);
    void sleep(const CallPtr &call, Rpc::Params &params);
    void resetFaults(const CallPtr &call, Rpc::Params &params);
    void restart(const CallPtr &call, Rpc::Params &params);
    void move(const CallPtr &call, Rpc::Params &params);
    void run(const CallPtr &call, Rpc::Params &params);
    void stop(const CallPtr &call, Rpc::Params &params);
    void home(const CallPtr &call, Rpc::Params &params);
    void pwm(const CallPtr &call, Rpc::Params &params);
    // Enables the driver and runs then once the board shows it enabled.
    void enableDriver(const CallPtr &call, const std::function<void()> &then);
    // Wakes the driver for a stepper command, then runs then; refused in DC
    // motor mode.
    void prepareStepper(const CallPtr &call, const std::function<void()> &then);
    // Enters (dcMotor) or leaves DC motor mode, then runs then.
    void switchDcMotorMode(const CallPtr &call, bool dcMotor, const std::shared_ptr<QStringList> &warnings,
                           const std::function<void()> &then);

    static const std::map<QString, Handler> &handlers();

    TorvanDRV &drv;
    MonotonicClock &clock;
    const WallClock &wallClock;
    Logger *logger = nullptr;
    QString holderProgram;
    qint64 holderPid = 0;
    std::map<ServicePeer *, PeerState> peers;
    std::vector<Wait> waits;
    // The waits checkWaits looks at now, taken out of waits meanwhile.
    std::vector<Wait> *checking = nullptr;
    QTimer deadlineTimer;
    // Report types of settings replies seen since the last request for them.
    QSet<unsigned char> settingsSeen;
    QStringList questions; // open, outermost first
    bool closingAnnounced = false;
};

// A question of the holder's operator about the board, open for as long as
// this lives (the service may be null: nothing is served).
class BoardQuestion
{
public:
    BoardQuestion(BoardService *service, const QString &title) : service(service)
    {
        if (service)
            service->questionOpened(title);
    }
    ~BoardQuestion()
    {
        if (service)
            service->questionClosed();
    }
    BoardQuestion(const BoardQuestion &) = delete;
    BoardQuestion &operator=(const BoardQuestion &) = delete;

private:
    BoardService *service;
};
