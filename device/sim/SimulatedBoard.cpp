#include "device/sim/SimulatedBoard.h"

#include "device/Records.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

// ---------------------------------------------------------------------------
// SimulatedBoard

namespace {

constexpr size_t QueueCapacity = 64; // reports the HID layer buffers per device

} // namespace

SimulatedBoard::SimulatedBoard(MonotonicClock &clock, int index) : model(index), clock(clock)
{
    path = QStringLiteral("sim:torvan60/%1").arg(index);
    serial = QStringLiteral("SIM60-%1").arg(index + 1, 6, 10, QLatin1Char('0'));
}

uint32_t SimulatedBoard::linkKey() const
{
    return Scrambler::keyFromUniqueId(model.uniqueId.data());
}

void SimulatedBoard::unplug()
{
    plugged = false;
    offBusUntil = -1;
    ++sessionGeneration;
    streamOn = false;
    queue.clear();
}

void SimulatedBoard::plug()
{
    if (plugged)
        return;
    plugged = true;
    offBusUntil = -1;
    model.powerUp();
}

void SimulatedBoard::leaveBusFor(int ms)
{
    plugged = false;
    offBusUntil = clock.nowMs() + ms;
    ++sessionGeneration;
    streamOn = false;
    queue.clear();
}

bool SimulatedBoard::isPlugged() const
{
    return plugged;
}

bool SimulatedBoard::listed() const
{
    return plugged && !heldElsewhere;
}

void SimulatedBoard::injectReport(const InputReportBytes &report, int delayMs)
{
    queueReply(report, delayMs);
}

std::vector<unsigned char> SimulatedBoard::receivedCodes() const
{
    std::vector<unsigned char> codes;
    codes.reserve(received.size());
    for (const ReceivedCommand &command : received)
        codes.push_back(command.code());
    return codes;
}

void SimulatedBoard::queueReply(const InputReportBytes &report, int delayMs)
{
    enqueue(clock.nowMs() + delayMs, report);
}

void SimulatedBoard::enqueue(qint64 readyAt, const InputReportBytes &report)
{
    if (queue.size() >= QueueCapacity)
        return; // a full HID queue drops what comes in
    auto at =
        std::upper_bound(queue.begin(), queue.end(), readyAt, [](qint64 t, const Pending &p) { return t < p.readyAt; });
    queue.insert(at, Pending{readyAt, report});
}

void SimulatedBoard::pump()
{
    const qint64 now = clock.nowMs();
    if (!plugged && offBusUntil >= 0 && now >= offBusUntil) {
        // Back from a restart.
        plugged = true;
        offBusUntil = -1;
    }
    if (!plugged)
        return;
    if (streamOn && liveReportsPerSecond > 0) {
        const qint64 period = std::max<qint64>(1, 1000 / liveReportsPerSecond);
        // After a long pause only the newest reports matter: the queue holds
        // no more than its capacity anyway.
        const qint64 backlog = static_cast<qint64>(QueueCapacity) * period;
        if (now - nextLiveAt > backlog)
            nextLiveAt = now - backlog;
        while (nextLiveAt <= now) {
            model.advanceTo(nextLiveAt);
            InputReportBytes report{};
            model.fillLiveReport(report);
            enqueue(nextLiveAt, report);
            nextLiveAt += period;
        }
    }
    model.advanceTo(now);
}

int SimulatedBoard::readyReports() const
{
    if (!plugged)
        return 0;
    const qint64 now = clock.nowMs();
    const auto ready = std::count_if(queue.begin(), queue.end(), [now](const Pending &p) { return p.readyAt <= now; });
    return static_cast<int>(ready) + (floodReports > 0 ? 1 : 0);
}

bool SimulatedBoard::linkUsable(bool &throwOnce, int &failCount, const char *what)
{
    if (throwOnce) {
        throwOnce = false;
        throw std::runtime_error(what);
    }
    if (failCount > 0) {
        --failCount;
        return false;
    }
    pump();
    return plugged;
}

int SimulatedBoard::read(unsigned char *data, size_t length)
{
    if (!linkUsable(throwOnNextRead, failNextReads, "simulated HID read failure"))
        return -1;
    ++reads;
    const size_t count = std::min<size_t>(length, Report::InputSize);
    if (queue.empty() || queue.front().readyAt > clock.nowMs()) {
        if (floodReports <= 0)
            return 0;
        --floodReports;
        InputReportBytes report{};
        model.fillLiveReport(report);
        std::memcpy(data, report.data(), count);
        return static_cast<int>(count);
    }
    std::memcpy(data, queue.front().bytes.data(), count);
    queue.pop_front();
    return static_cast<int>(count);
}

int SimulatedBoard::write(const unsigned char *data, size_t length)
{
    if (!linkUsable(throwOnNextWrite, failNextWrites, "simulated HID write failure"))
        return -1;
    if (acceptIntervalMs > 0) {
        // One report per interval, as an interrupt endpoint takes them.
        while (lastAcceptedAt >= 0 && clock.nowMs() - lastAcceptedAt < acceptIntervalMs)
            clock.spin();
        lastAcceptedAt = clock.nowMs();
    }
    ReceivedCommand command;
    command.atMs = clock.nowMs();
    std::memcpy(command.wire.data(), data, std::min<size_t>(length, command.wire.size()));
    command.plain = command.wire;
    command.kind = Scrambler::decode(command.plain.data(), linkKey());
    if (command.kind == Scrambler::Decoded::Corrupt) {
        ++corruptReports;
        return static_cast<int>(length);
    }
    received.push_back(command);
    handlePlainCommand(command);
    if (onCommand)
        onCommand(*this, received.back());
    return static_cast<int>(length);
}

void SimulatedBoard::handlePlainCommand(const ReceivedCommand &command)
{
    const qint64 now = clock.nowMs();
    switch (command.code()) {
    case Report::CmdGetDeviceInfo:
        if (answering) {
            InputReportBytes report{};
            model.fillDeviceInfo(report);
            queueReply(report, replyDelayMs);
        }
        break;
    case Report::CmdEnableRTStream:
        if (!model.bootloaderRunning && !streamOn) {
            streamOn = true;
            nextLiveAt = now + std::max(1, 1000 / std::max(1, liveReportsPerSecond));
        }
        break;
    case Report::CmdRestart:
        // Leaves the bus for a while; open handles die with the session.
        leaveBusFor(restartOffBusMs);
        model.restart();
        break;
    default: {
        std::vector<InputReportBytes> replies;
        model.handleCommand(command.plain.data(), now, replies);
        if (answering)
            for (const InputReportBytes &reply : replies)
                queueReply(reply, replyDelayMs);
        break;
    }
    }
}

// ---------------------------------------------------------------------------
// SimulatedBus

struct SimHandle
{
    SimulatedBoard *board;
    int generation;
    bool closed;
};

SimulatedBus::SimulatedBus(MonotonicClock &clock) : clock(clock)
{}

SimulatedBus::~SimulatedBus() = default;

SimulatedBoard &SimulatedBus::addBoard()
{
    boards.push_back(std::make_unique<SimulatedBoard>(clock, static_cast<int>(boards.size())));
    return *boards.back();
}

int SimulatedBus::openHandles() const
{
    return static_cast<int>(
        std::count_if(handles.begin(), handles.end(), [](const std::unique_ptr<SimHandle> &h) { return !h->closed; }));
}

namespace {

// A device that an enumeration for vendorId and productId lists, 0 being
// any, as hidapi filters them.
bool matches(unsigned short vendorId, unsigned short productId, unsigned short vendor, unsigned short product)
{
    return (vendorId == 0 || vendorId == vendor) && (productId == 0 || productId == product);
}

} // namespace

std::vector<HidDeviceEntry> SimulatedBus::enumerate(unsigned short vendorId, unsigned short productId)
{
    if (throwOnEnumerate > 0 && --throwOnEnumerate == 0)
        throw std::runtime_error("simulated HID enumeration failure");
    std::vector<HidDeviceEntry> list;
    if (listOtherDevices && matches(vendorId, productId, 0x1A2B, 0x0001)) {
        HidDeviceEntry keyboard;
        keyboard.path = "sim:keyboard";
        keyboard.vendorId = 0x1A2B;
        keyboard.productId = 0x0001;
        keyboard.manufacturer = QStringLiteral("Generic");
        keyboard.hasManufacturer = true;
        keyboard.product = QStringLiteral("USB Keyboard");
        list.push_back(keyboard);
    }
    const std::vector<HidDeviceEntry> found = listBoards(vendorId, productId, false);
    list.insert(list.end(), found.begin(), found.end());
    return list;
}

std::vector<HidDeviceEntry> SimulatedBus::enumerateHeld(unsigned short vendorId, unsigned short productId)
{
    return listBoards(vendorId, productId, true);
}

std::vector<HidDeviceEntry> SimulatedBus::listBoards(unsigned short vendorId, unsigned short productId, bool held)
{
    std::vector<HidDeviceEntry> list;
    for (const auto &board : boards) {
        board->pump();
        const bool shown = held ? board->isPlugged() && board->heldElsewhere : board->listed();
        if (!shown || !matches(vendorId, productId, board->vendorId, board->productId))
            continue;
        HidDeviceEntry entry;
        entry.path = board->path.toStdString();
        entry.vendorId = board->vendorId;
        entry.productId = board->productId;
        entry.serialNumber = board->serial;
        entry.manufacturer = board->manufacturer;
        entry.hasManufacturer = !board->manufacturer.isNull();
        entry.product = board->product;
        list.push_back(entry);
    }
    return list;
}

HidHandle *SimulatedBus::openPath(const std::string &path)
{
    for (const auto &board : boards) {
        if (board->path.toStdString() != path)
            continue;
        board->pump();
        if (!board->listed())
            return nullptr;
        if (board->failNextOpens > 0) {
            --board->failNextOpens;
            return nullptr;
        }
        handles.push_back(std::make_unique<SimHandle>(SimHandle{board.get(), board->generation(), false}));
        return reinterpret_cast<HidHandle *>(handles.back().get());
    }
    return nullptr;
}

int SimulatedBus::setNonblocking(HidHandle *, int)
{
    return 0;
}

int SimulatedBus::read(HidHandle *handle, unsigned char *data, size_t length)
{
    auto *h = reinterpret_cast<SimHandle *>(handle);
    if (!h || h->closed)
        return -1;
    h->board->pump();
    if (!h->board->handleValid(h->generation))
        return -1;
    return h->board->read(data, length);
}

int SimulatedBus::write(HidHandle *handle, const unsigned char *data, size_t length)
{
    auto *h = reinterpret_cast<SimHandle *>(handle);
    if (!h || h->closed)
        return -1;
    h->board->pump();
    if (!h->board->handleValid(h->generation))
        return -1;
    return h->board->write(data, length);
}

void SimulatedBus::close(HidHandle *handle)
{
    auto *h = reinterpret_cast<SimHandle *>(handle);
    if (!h)
        return;
    h->closed = true;
    // Reports nobody read are gone with the last handle: the next open
    // starts with nothing pending, as with a real HID layer.
    for (const auto &other : handles)
        if (other->board == h->board && !other->closed)
            return;
    h->board->dropPendingInput();
}
