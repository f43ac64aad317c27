#pragma once

#include "device/OperatorDialogs.h"
#include "service/BoardHolder.h"
#include "service/ServicePeer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// What Python's threads read of a board held in this process. The Qt
// thread keeps it up to date under the board's mutex.
struct HeldState
{
    bool connected = false;
    bool identified = false;   // connected, identity read, no exchange running
    bool settingsRead = false; // its settings, motion settings and name
    int liveReports = 0;       // since it connected
    bool bootloader = false;
    bool firmwareCurrent = false; // runs the carried application, signed
    int questions = 0;            // firmware questions the device object asked
    // A firmware update asked for: whether the check offered one, and
    // whether its upload went out to its end.
    enum class Update { None, Checking, Current, Offered, NotOffered };
    Update update = Update::None;
    bool uploaded = false;
};

// The operator's questions, put by the device object's firmware check: no,
// unless a firmware update was asked for. Notices and warnings are kept for
// Python to show as warnings.
class AnsweringDialogs : public OperatorDialogs
{
public:
    bool yes = false;
    std::function<void(const QString &text, bool asked)> onText;

    bool ask(const QString &, const QString &text) override
    {
        onText(text, true);
        return yes;
    }
    void notice(const QString &title, const QString &text) override
    {
        onText(title + QStringLiteral(": ") + text, false);
    }
    void warning(const QString &title, const QString &text) override
    {
        onText(title + QStringLiteral(": ") + text, false);
    }
    QString saveFileName(const QString &, const QString &, const QString &) override { return QString(); }
    QString openFileName(const QString &, const QString &, const QString &) override { return QString(); }
};

// A board this process holds, driven through its service as any client
// would: Python's request lines go to the service on the Qt thread; its
// answers, by their ids, and its notifications, in order, come back to
// where Python's threads wait for them. The members before the mutex run
// only on the Qt thread; those after it are guarded by it.
class LocalBoard : public ServicePeer
{
public:
    // The most notifications kept for a reader that does not read: about a
    // quarter of an hour of live reports at 100 a second. Past it, they are
    // dropped and the reader is told once it reads.
    static constexpr size_t MaxNotifications = 100000;
    // Answers nobody waits for any more (a wait ended by Ctrl-C) are
    // dropped, oldest first, past this many.
    static constexpr size_t MaxUnclaimedReplies = 1000;

    LocalBoard() = default;
    ~LocalBoard() override;

    // Qt thread: builds the transport for the options; empty on success,
    // else why not. program names the holder in the service's answers.
    QString open(const BoardOptions &options, const QString &program, qint64 pid);
    std::vector<BoardEntry> boards();
    // Simulated boards send this many live reports a second (benchmarks).
    void paceSimulatedBoards(int reportsPerSecond);
    void hold(const QString &serial);
    // A request line for the service.
    void request(const QByteArray &line);
    // Lets the board go (closed, sending nothing); the queue stays readable.
    void close();
    // Starts a firmware update as the window's "Get device info" does with
    // a yes to the check's question; state.update tells whether the check
    // offered one, or that the board carries the current application
    // already. The upload may run within this call.
    void startFirmwareUpdate();
    // Questions are answered no again.
    void endFirmwareUpdate();

    // From the service, on the Qt thread.
    void send(const QByteArray &line) override;

    std::mutex mutex;
    std::condition_variable changed;
    HeldState state;
    std::map<qint64, QByteArray> replies; // by id
    std::deque<QByteArray> notifications;
    bool overflowed = false;
    bool closed = false;
    std::deque<int> progress; // percent of a firmware upload, in order
    QStringList notices;

private:
    void update();
    void onFirmwareProgress();

    std::unique_ptr<BoardHolder> holder; // Qt thread
    std::vector<QMetaObject::Connection> connections;
    AnsweringDialogs dialogs;
    int questions = 0;
};
