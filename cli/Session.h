#pragma once

#include "cli/CliOptions.h"
#include "device/OperatorDialogs.h"
#include "service/BoardHolder.h"
#include "service/Rpc.h"

#include <QJsonObject>

#include <functional>
#include <memory>
#include <vector>

class BoardLink;
class Logger;

// The operator's questions on a command line: answered yes by --yes, asked
// on the terminal when there is one, otherwise answered no. Notices and
// warnings go to stderr as one line each; file choosers choose nothing.
class CliDialogs : public OperatorDialogs
{
public:
    enum class Answer { No, Yes, AskTerminal };
    Answer answer = Answer::No;
    // The questions put so far (their texts), and whether any got a no.
    QStringList asked;
    bool declined = false;

    bool ask(const QString &title, const QString &text) override;
    void notice(const QString &title, const QString &text) override;
    void warning(const QString &title, const QString &text) override;
    QString saveFileName(const QString &, const QString &, const QString &) override { return QString(); }
    QString openFileName(const QString &, const QString &, const QString &) override { return QString(); }
};

// What a command needs from the board before it runs.
enum class Need {
    Identity, // connected and its device information read
    Settings, // and its settings, motion settings and name
    Live,     // and its settings and a few live reports
};

// One run of the tool and the board it works on. A command talks to the
// board through the board's service: the one of this process on a board it
// holds itself, or, when the board is served by another program (the
// window, torvan60ctl serve), that program's, over its local socket. The
// commands are the same either way.
class Session : public QObject
{
    Q_OBJECT
public:
    explicit Session(const CliOptions &options);
    ~Session() override;

    // Builds the transport (simulated bus or USB, with the trace). An exit
    // code other than Ok on failure, with the error printed.
    int open();

    // A board this tool can see: on the bus, free or held by another
    // program, or served by the program that holds it.
    struct Board
    {
        QString serial, product, path;
        bool held = false;
        QString holder; // the serving program, "torvan60 (pid 4242)"; empty when not served
        QString socket;
    };
    // Free boards first in bus order, then held ones, then those served by
    // programs whose boards are not on this bus (a simulated one); none of
    // the served ones on a simulated bus, which only this process sees.
    std::vector<Board> boards();

    // Picks the board (by --serial, or the only free or served one),
    // reaches it and waits for what the command needs. Ok, or the exit code
    // after an error line.
    int connectBoard(Need need);
    // Whether the board is another program's, reached through its service.
    bool remote() const { return holderName.size() > 0; }
    // The program that serves the board, when remote.
    const QString &holder() const { return holderName; }
    const QString &serial() const { return boardSerial; }

    static constexpr int CallTimeoutMs = 30000;
    // A request to the board's service. Ctrl-C ends the wait with an
    // "interrupted" failure unless interruptible is false.
    Rpc::Reply call(const QString &method, const QJsonObject &params = QJsonObject(), int timeoutMs = CallTimeoutMs,
                    bool interruptible = true);
    // Prints the failure of a call and returns its exit code.
    int failed(const Rpc::Reply &reply);

    enum class Wait { Done, Timeout, Interrupted, Lost };
    // The next live report after subscribe.
    Wait nextLive(QJsonObject &live, int timeoutMs);
    // Why the board was lost, when its holder said so as it closed; empty
    // otherwise.
    QString lostReason() const;
    // After the board was lost: waits up to timeoutMs until it can be
    // reached again.
    bool reconnect(int timeoutMs);
    // After a restart was asked for: waits until the board has left and is
    // back, within timeoutMs.
    enum class Restart { Back, NotLeft, NotBack, Interrupted };
    Restart awaitRestart(int timeoutMs);

    // ---- The board this process holds (not remote) ----
    BoardHolder &board() { return holderObject; }
    // Serves events until done() holds, timeoutMs pass, Ctrl-C is pressed or
    // (when lostEnds) the board is lost. done() is checked on every signal of
    // the device object and every 20 ms.
    Wait waitUntil(const std::function<bool()> &done, int timeoutMs, bool lostEnds = true);

    static bool interrupted();

    CliDialogs dialogs;
    const CliOptions options;
    // Whether connecting warns about firmware other than the carried one.
    bool warnOutdatedFirmware = true;
    // Called on every firmware progress step when set.
    std::function<void()> onFirmwareProgress;

private:
    int selectBoard(Board &chosen);
    int waitForNeed(Need need);
    int connectRemote(const Board &board);
    // Connects again to the holder's socket once the board is back (after
    // it left, when mustLeave).
    Restart reconnectRemote(int timeoutMs, bool mustLeave);

    // The log outlives the board, which logs its disconnection.
    std::unique_ptr<Logger> logger;
    BoardHolder holderObject;
    std::unique_ptr<BoardLink> link;
    QString boardSerial;
    QString holderName;
    QString socketPath;
};
