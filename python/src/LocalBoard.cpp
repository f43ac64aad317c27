#include "LocalBoard.h"

#include "device/sim/SimulatedBoard.h"
#include "firmware/FirmwareImage.h"

#include <QJsonDocument>
#include <QJsonObject>

LocalBoard::~LocalBoard() = default;

QString LocalBoard::open(const BoardOptions &options, const QString &program, qint64 pid)
{
    holder = std::make_unique<BoardHolder>();
    const QString error = holder->open(options);
    if (!error.isEmpty())
        return error;
    dialogs.onText = [this](const QString &text, bool asked) {
        std::lock_guard<std::mutex> lock(mutex);
        // A question is answered by the call that asks for an update; what
        // it asked is not news to the caller.
        if (asked)
            ++questions;
        else
            notices << text;
    };
    holder->drv.SetDialogs(&dialogs);
    holder->service.setHolder(program, pid);
    this->program = program;
    this->pid = pid;
    holder->service.attach(this);
    connections = {QObject::connect(holder.get(), &BoardHolder::changed, holder.get(), [this] { update(); }),
                   QObject::connect(&holder->drv, &TorvanDRV::newFWProgressValueAvailable, holder.get(),
                                    [this] { onFirmwareProgress(); })};
    return QString();
}

std::vector<BoardEntry> LocalBoard::boards()
{
    return holder ? holder->boards() : std::vector<BoardEntry>();
}

void LocalBoard::paceSimulatedBoards(int reportsPerSecond)
{
    if (SimulatedBus *bus = holder ? holder->simulatedBus() : nullptr)
        for (int i = 0; i < bus->boardCount(); ++i)
            bus->board(i).liveReportsPerSecond = reportsPerSecond;
}

void LocalBoard::hold(const QString &serial)
{
    if (holder)
        holder->hold(serial);
}

void LocalBoard::request(const QByteArray &line)
{
    if (holder)
        holder->service.receive(this, line);
}

void LocalBoard::close()
{
    if (holder) {
        // Closing the board signals its loss; nobody listens any more.
        for (const QMetaObject::Connection &connection : connections)
            QObject::disconnect(connection);
        holder->service.detach(this);
        holder.reset();
    }
    std::lock_guard<std::mutex> lock(mutex);
    closed = true;
    state = HeldState();
    changed.notify_all();
}

void LocalBoard::send(const QByteArray &line)
{
    const QJsonObject message = QJsonDocument::fromJson(line).object();
    std::lock_guard<std::mutex> lock(mutex);
    if (message.contains(QLatin1String("method"))) {
        if (notifications.size() >= MaxNotifications)
            overflowed = true;
        else
            notifications.push_back(line);
    } else {
        // Every request of ours has a whole number for its id.
        replies[qint64(message.value(QLatin1String("id")).toDouble())] = line;
        if (replies.size() > MaxUnclaimedReplies)
            replies.erase(replies.begin());
    }
    changed.notify_all();
}

void LocalBoard::update()
{
    const TorvanDRV &drv = holder->drv;
    const DriverInfoRecord &info = drv.DriverInfo;
    std::lock_guard<std::mutex> lock(mutex);
    state.connected = drv.IsConnected();
    state.identified = holder->identified();
    state.settingsRead = holder->settingsRead();
    state.liveReports = holder->liveReports();
    state.bootloader = info.BootloaderActive;
    state.firmwareCurrent = !info.BootloaderActive && info.SignatureValid && info.FirmwareUpToDate;
    state.questions = questions;
    changed.notify_all();
}

void LocalBoard::onFirmwareProgress()
{
    // The address of the subsector going out, read before the report is
    // scrambled.
    const int percent = FlashLayout::uploadPercent(FlashLayout::subsectorAddress(holder->drv.OutputReport));
    std::lock_guard<std::mutex> lock(mutex);
    progress.push_back(percent);
    state.uploaded = state.uploaded || percent >= 100;
    changed.notify_all();
}

void LocalBoard::startFirmwareUpdate()
{
    if (!holder)
        return;
    const DriverInfoRecord &info = holder->drv.DriverInfo;
    {
        std::lock_guard<std::mutex> lock(mutex);
        // Signed and of the carried version, whether the application or its
        // boot loader runs: nothing to update.
        if (info.SignatureValid && info.FirmwareUpToDate) {
            state.update = HeldState::Update::Current;
            changed.notify_all();
            return;
        }
        state.update = HeldState::Update::Checking;
        state.uploaded = false;
        progress.clear();
    }
    const int asked = questions;
    dialogs.yes = true;
    // The check after the device information asks; the yes restarts the
    // board into its boot loader, whose next connection is updated and
    // restarted again, or updates a board in its boot loader at once.
    holder->drv.GetDeviceInfo();
    std::lock_guard<std::mutex> lock(mutex);
    state.update = questions > asked ? HeldState::Update::Offered : HeldState::Update::NotOffered;
    changed.notify_all();
}

void LocalBoard::endFirmwareUpdate()
{
    dialogs.yes = false;
}
