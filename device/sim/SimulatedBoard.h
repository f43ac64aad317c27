#pragma once

#include "device/Clock.h"
#include "device/HidTransport.h"
#include "device/Scrambler.h"
#include "device/sim/BoardModel.h"

#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

// A command report as the simulated board received it.
struct ReceivedCommand
{
    qint64 atMs = 0;
    std::array<unsigned char, 65> wire{};  // as written, report id in byte 0
    std::array<unsigned char, 65> plain{}; // after undoing the scrambling
    Scrambler::Decoded kind = Scrambler::Decoded::Plain;
    unsigned char code() const { return plain[2]; }
};

// One simulated Torvan60 board on the simulated USB bus: its USB identity and
// presence, its report queue, the scrambling it undoes, its live stream and
// the faults tests can make it show. What it is inside is its BoardModel.
// Time comes from the clock seam only.
class SimulatedBoard
{
public:
    SimulatedBoard(MonotonicClock &clock, int index = 0);

    BoardModel model;

    // ---- USB identity ----
    QString path;
    QString serial;
    QString product = QStringLiteral("Torvan60 (simulated)");
    QString manufacturer = QStringLiteral("Nelvar");
    unsigned short vendorId = 0x2E4A;
    unsigned short productId = 0x0B71;
    uint32_t linkKey() const;

    // ---- Presence ----
    void unplug();
    void plug();
    bool isPlugged() const;
    // Leaves the bus for ms milliseconds, as with a loose cable: open
    // handles die, the board itself (and any motion) carries on.
    void leaveBusFor(int ms);
    // Held open with no sharing by another program: not listed, cannot be opened.
    bool heldElsewhere = false;
    // How long a restart keeps the board off the bus.
    int restartOffBusMs = 300;

    // ---- Pace and faults ----
    int liveReportsPerSecond = 50;
    int replyDelayMs = 2;         // time from a request to its reply
    bool answering = true;        // false: requests get no reply
    int failNextReads = 0;        // that many reads return -1 (the board stays)
    int failNextWrites = 0;       // that many writes return -1 (the board stays)
    int failNextOpens = 0;        // that many opens fail although the board is listed
    bool throwOnNextRead = false; // the HID layer throws: reaches exception paths
    bool throwOnNextWrite = false;
    // At most one report taken per this many milliseconds (0: no pacing), as
    // a full-speed interrupt endpoint takes them.
    int acceptIntervalMs = 0;
    // A board that always has a report pending: every read that finds no
    // ready report gets a fresh live-data report instead, this many times
    // (the count keeps a broken host from spinning for ever in a test).
    long floodReports = 0;
    long reads = 0; // every read the host made while the board was usable
    // Queues a report of any content, ready after delayMs.
    void injectReport(const InputReportBytes &report, int delayMs = 0);
    // Called after every command the board took in (after it acted on it):
    // lets a test unplug or misbehave at any chosen step.
    std::function<void(SimulatedBoard &, const ReceivedCommand &)> onCommand;

    // ---- Record ----
    std::vector<ReceivedCommand> received;
    int corruptReports = 0; // reports with a bad check byte, ignored
    std::vector<unsigned char> receivedCodes() const;
    bool streaming() const { return streamOn; }

    // ---- Link side, used by the bus ----
    bool listed() const;
    bool handleValid(int generation) const { return plugged && generation == sessionGeneration; }
    int generation() const { return sessionGeneration; }
    int read(unsigned char *data, size_t length);
    int write(const unsigned char *data, size_t length);
    // Brings queue, stream and model up to the clock.
    void pump();
    // Reports a read would return now (after pump()); a flooding board
    // always has one.
    int readyReports() const;
    // The host closed the board: what it had not read is lost.
    void dropPendingInput() { queue.clear(); }

private:
    // Applies an injected throw or failure, then brings the board up to the
    // clock; false when the call must fail.
    bool linkUsable(bool &throwOnce, int &failCount, const char *what);
    void queueReply(const InputReportBytes &report, int delayMs);
    void enqueue(qint64 readyAt, const InputReportBytes &report);
    void handlePlainCommand(const ReceivedCommand &command);

    struct Pending
    {
        qint64 readyAt;
        InputReportBytes bytes;
    };

    MonotonicClock &clock;
    bool plugged = true;
    qint64 offBusUntil = -1; // a restart brings the board back at this time
    int sessionGeneration = 0;
    bool streamOn = false;
    qint64 nextLiveAt = 0;
    qint64 lastAcceptedAt = -1;
    std::deque<Pending> queue;
};

// The simulated USB bus: the boards it holds, behind the HID transport calls.
// Like the HID library on Linux, it lists a board this process holds open.
class SimulatedBus : public HidTransport
{
public:
    explicit SimulatedBus(MonotonicClock &clock);
    ~SimulatedBus() override;

    SimulatedBoard &addBoard();
    SimulatedBoard &board(int i) { return *boards.at(static_cast<size_t>(i)); }
    int boardCount() const { return static_cast<int>(boards.size()); }
    // Other HID devices that are not boards are listed too.
    bool listOtherDevices = true;
    // The n-th enumeration from now throws (1: the next one); 0: none.
    int throwOnEnumerate = 0;
    int openHandles() const;

    std::vector<HidDeviceEntry> enumerate(unsigned short vendorId, unsigned short productId) override;
    HidHandle *openPath(const std::string &path) override;
    int setNonblocking(HidHandle *handle, int nonblock) override;
    int read(HidHandle *handle, unsigned char *data, size_t length) override;
    int write(HidHandle *handle, const unsigned char *data, size_t length) override;
    void close(HidHandle *handle) override;
    // Plugged boards that another program holds (heldElsewhere).
    std::vector<HidDeviceEntry> enumerateHeld(unsigned short vendorId, unsigned short productId) override;

private:
    std::vector<HidDeviceEntry> listBoards(unsigned short vendorId, unsigned short productId, bool held);

    MonotonicClock &clock;
    std::vector<std::unique_ptr<SimulatedBoard>> boards;
    std::vector<std::unique_ptr<struct SimHandle>> handles;
};
