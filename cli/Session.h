#pragma once

#include "cli/CliOptions.h"
#include "device/Clock.h"
#include "device/OperatorDialogs.h"
#include "device/TorvanDRV.h"
#include "device/TransportChain.h"

#include <QSet>

#include <functional>
#include <memory>
#include <vector>

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

// One matching board on the bus as the tool sees it before opening any.
struct BoardEntry
{
    HidDeviceEntry entry;
    bool held = false; // another program holds it open
};

// What a command needs from the board before it runs.
enum class Need {
    Identity, // connected and its device information read
    Settings, // and its settings, motion settings and name
    Live,     // and its settings and a few live reports
};

// The transport, the device object and the waits of one run of the tool.
// Everything runs on the one thread; waits run a real event loop so that
// the device object's timers drive the link.
class Session : public QObject
{
    Q_OBJECT
public:
    explicit Session(const CliOptions &options);
    ~Session() override;

    // Builds the transport (simulated bus or USB, with the trace). An exit
    // code other than Ok on failure, with the error printed.
    int open();

    // Matching boards, free ones first in bus order, then held ones.
    std::vector<BoardEntry> boards();

    // Picks the board (by --serial, or the only one), connects it and waits
    // for what the command needs. Ok, or the exit code after an error line.
    int connectBoard(Need need);

    enum class Wait { Done, Timeout, Interrupted, Lost };
    // Serves events until done() holds, timeoutMs pass, Ctrl-C is pressed or
    // (when lostEnds) the board is lost. done() is checked on every signal of
    // the device object and every 20 ms.
    Wait waitUntil(const std::function<bool()> &done, int timeoutMs, bool lostEnds = true);
    // Waits for count further live reports.
    Wait waitLiveReports(int count, int timeoutMs);
    // Waits until count further live reports have come and done() holds:
    // the first reports after a command may still show the state before it.
    Wait waitAfterReports(int count, const std::function<bool()> &done, int timeoutMs);

    // Live reports taken in since connecting.
    int liveReports() const { return liveCount; }
    // Report types of settings replies seen since the last clearSettingsSeen().
    bool sawReply(unsigned char type) const { return settingsSeen.contains(type); }
    void clearSettingsSeen() { settingsSeen.clear(); }
    // Waits for the settings, motion settings and name replies.
    bool waitSettings(int timeoutMs);

    static bool interrupted();

    TorvanDRV drv;
    CliDialogs dialogs;
    const CliOptions options;
    // Whether connecting warns about firmware other than the carried one.
    bool warnOutdatedFirmware = true;
    // The live report count, the firmware progress and lost-board events
    // each call this when set.
    std::function<void()> onLiveReport;
    std::function<void()> onFirmwareProgress;

private:
    int selectBoard(QString &serial);

    SteadyClock clock;
    TransportChain chain{clock};
    std::unique_ptr<Logger> logger;
    int liveCount = 0;
    QSet<unsigned char> settingsSeen;
};
