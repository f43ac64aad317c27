// torvan60._core: what the Python package needs of the core. Boards this
// process holds run on the module's Qt thread; Python's threads talk to
// their services in request lines and wait for the answers with Python's
// lock released. The package's Python side (torvan60/__init__.py) speaks
// the protocol; boards served by another program never come here.
// Python's headers come before Qt's, whose keyword macros (slots) they
// would not survive.
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "LocalBoard.h"
#include "QtThread.h"

#include "config/SettingsFile.h"
#include "device/sim/Scenarios.h"
#include "firmware/FirmwareImage.h"
#include "service/BoardSelection.h"
#include "service/SettingsJson.h"
#include "service/StatusJson.h"

#include <QJsonDocument>

#include <chrono>
#include <optional>
#include <set>
#include <stdexcept>

namespace py = pybind11;

namespace {

using Clock = std::chrono::steady_clock;

// Python's signal handlers run between slices of a wait, so Ctrl-C is
// noticed within this time.
constexpr auto WaitSlice = std::chrono::milliseconds(50);
constexpr double UpdateTimeoutS = 120;

QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

std::string ss(const QString &text)
{
    return text.toStdString();
}

// Boards held and not closed yet; only the Qt thread touches it. Whatever
// is still open when Python ends is closed then.
std::set<std::shared_ptr<LocalBoard>> &openBoards()
{
    static std::set<std::shared_ptr<LocalBoard>> boards;
    return boards;
}

bool shutDown = false;

QtThread &qtThread()
{
    if (shutDown)
        throw std::runtime_error("torvan60 has shut down with the interpreter");
    return QtThread::instance();
}

// Runs fn on the Qt thread with Python's lock released.
void onQtThread(const std::function<void()> &fn)
{
    QtThread &thread = qtThread();
    py::gil_scoped_release release;
    thread.run(fn);
}

// Waits until ready() holds, checked under the board's mutex (it may take
// what it waited for). Python's lock is released meanwhile; between slices
// Python's signal handlers run unless the wait is not interruptible, so a
// KeyboardInterrupt ends it. False once timeoutS passed (negative: never).
template <typename Ready> bool waitOn(LocalBoard &board, double timeoutS, bool interruptible, Ready &&ready)
{
    const bool unlimited = timeoutS < 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(unlimited ? 0 : timeoutS));
    while (true) {
        bool done = false;
        Clock::time_point now;
        {
            py::gil_scoped_release release;
            std::unique_lock<std::mutex> lock(board.mutex);
            Clock::time_point until = Clock::now() + WaitSlice;
            if (!unlimited && deadline < until)
                until = deadline;
            done = board.changed.wait_until(lock, until, [&] { return ready(); });
            now = Clock::now();
        }
        if (done)
            return true;
        if (interruptible && PyErr_CheckSignals() != 0)
            throw py::error_already_set();
        if (!unlimited && now >= deadline)
            return false;
    }
}

// The options the way torvan60ctl reads them, checked as it checks them.
BoardOptions boardOptions(bool simulate, const std::string &scenario, int boards, const std::string &trace)
{
    BoardOptions options;
    options.simulate = simulate;
    options.scenario = qs(scenario);
    options.simulatedBoards = boards;
    options.traceFile = qs(trace);
    if (boards < 1 || boards > MaxSimulatedBoards)
        throw py::value_error(
            ss(QStringLiteral("simulate_boards must be a number from 1 to %1").arg(MaxSimulatedBoards)));
    if (!options.scenario.isEmpty() && !simulationScenarioNames().contains(options.scenario))
        throw py::value_error(ss(QStringLiteral("unknown simulation scenario \"%1\" (known: %2)")
                                     .arg(options.scenario, simulationScenarioNames().join(QStringLiteral(", ")))));
    return options;
}

py::object bytesOrNone(const QByteArray &line)
{
    if (line.isEmpty())
        return py::none();
    return py::bytes(line.constData(), size_t(line.size()));
}

py::tuple outcome(const char *kind, const QString &message = QString())
{
    return py::make_tuple(kind, ss(message));
}

// A board of this process, as Python holds it.
class Local
{
public:
    Local(bool simulate, const std::string &scenario, int boards, const std::string &trace, const std::string &program,
          qint64 pid)
    {
        const BoardOptions options = boardOptions(simulate, scenario, boards, trace);
        QString error;
        onQtThread([&] {
            board = std::make_shared<LocalBoard>();
            error = board->open(options, qs(program), pid);
            if (error.isEmpty())
                openBoards().insert(board);
        });
        if (!error.isEmpty())
            throw py::value_error(ss(error));
    }
    Local(const Local &) = delete;
    Local &operator=(const Local &) = delete;
    ~Local()
    {
        try {
            close();
        } catch (const std::exception &) {
            // Python is ending; the Qt thread closes what is left.
        }
    }

    // The matching boards on the bus: (serial, product, path, held).
    std::vector<py::tuple> boards()
    {
        std::vector<BoardEntry> found;
        onQtThread([&] { found = board->boards(); });
        std::vector<py::tuple> entries;
        for (const BoardEntry &entry : found)
            entries.push_back(
                py::make_tuple(ss(entry.entry.serialNumber), ss(entry.entry.product), entry.entry.path, entry.held));
        return entries;
    }

    // Holds the board and waits for what the API needs: its identity, and
    // unless it runs its boot loader, its settings and enough live reports
    // to fill the filter. ("ok", ""), or the failure's kind and message as
    // torvan60ctl gives them: "not_found", "lost" or "failed".
    py::tuple hold(const std::string &serial)
    {
        const QString board = qs(serial);
        onQtThread([&] { this->board->hold(board); });
        const HeldState &state = this->board->state;
        if (!waitOn(*this->board, BoardHolder::ConnectTimeoutMs / 1000.0, true, [&] { return state.identified; })) {
            const bool connected = lockedState().connected;
            return outcome("not_found", connected ? QStringLiteral("board %1 does not answer").arg(board)
                                                  : QStringLiteral("board %1 could not be opened").arg(board));
        }
        if (lockedState().bootloader)
            return outcome("ok");
        auto until = [&](int timeoutMs, auto &&done, const QString &failure) {
            if (waitOn(*this->board, timeoutMs / 1000.0, true, [&] { return done() || !state.connected; }) &&
                lockedState().connected)
                return outcome("ok");
            if (!lockedState().connected)
                return outcome("lost", QStringLiteral("board %1 was lost").arg(board));
            return outcome("failed", failure);
        };
        const py::tuple settings = until(
            BoardHolder::SettingsTimeoutMs, [&] { return state.settingsRead; },
            QStringLiteral("board %1 did not send its settings").arg(board));
        if (settings[0].cast<std::string>() != "ok")
            return settings;
        return until(
            BoardHolder::LiveTimeoutMs, [&] { return state.liveReports >= BoardHolder::FilterReports; },
            QStringLiteral("board %1 sends no live data").arg(board));
    }

    void send(const py::bytes &line)
    {
        const QByteArray request = QByteArray::fromStdString(line);
        qtThread().post([board = board, request] { board->request(request); });
    }

    // The answer to the request with this id, or None after timeout
    // seconds (None: no limit).
    py::object reply(qint64 id, std::optional<double> timeout)
    {
        QByteArray line;
        waitOn(*board, timeout ? std::max(0.0, *timeout) : -1.0, true, [&] {
            const auto found = board->replies.find(id);
            if (found == board->replies.end())
                return false;
            line = found->second;
            board->replies.erase(found);
            return true;
        });
        return bytesOrNone(line);
    }

    // The next notification, or None after timeout seconds (None: no
    // limit), or at once when the board is not connected and lostEnds.
    // Notifications dropped for a reader that did not read raise
    // OverflowError.
    py::object notification(std::optional<double> timeout, bool lostEnds)
    {
        QByteArray line;
        bool overflowed = false;
        waitOn(*board, timeout ? std::max(0.0, *timeout) : -1.0, true, [&] {
            if (board->overflowed) {
                board->overflowed = false;
                board->notifications.clear();
                overflowed = true;
                return true;
            }
            if (!board->notifications.empty()) {
                line = board->notifications.front();
                board->notifications.pop_front();
                return true;
            }
            return lostEnds && !board->state.connected;
        });
        if (overflowed)
            throw std::overflow_error(
                ss(QStringLiteral("more than %1 live reports waited unread; the later ones were dropped")
                       .arg(LocalBoard::MaxNotifications)));
        return bytesOrNone(line);
    }

    void paceSimulatedBoards(int reportsPerSecond)
    {
        onQtThread([&] { board->paceSimulatedBoards(reportsPerSecond); });
    }

    // Live reports the device object took in since the board connected.
    int liveReports() { return lockedState().liveReports; }

    bool connected() { return lockedState().connected; }

    // Waits until the board is connected and identified again.
    bool awaitIdentified(double timeout)
    {
        return waitOn(*board, timeout, false, [&] { return board->state.identified; });
    }

    // The firmware questions the device object asked so far.
    int questions() { return lockedState().questions; }

    // Notices and warnings of the device object since the last call.
    std::vector<std::string> takeNotices()
    {
        std::lock_guard<std::mutex> lock(board->mutex);
        std::vector<std::string> texts;
        for (const QString &text : board->notices)
            texts.push_back(ss(text));
        board->notices.clear();
        return texts;
    }

    // Updates the firmware as torvan60ctl does, calling progress(percent)
    // from this thread on every step of the upload. ("updated", ""),
    // ("current", "") when there was nothing to update, or a failure:
    // "not_offered", "failed", "lost".
    py::tuple firmwareUpdate(const std::function<void(int)> &progress)
    {
        const HeldState &state = board->state;
        std::deque<int> steps;
        qtThread().post([board = board] { board->startFirmwareUpdate(); });
        struct AnswerNoAgain
        {
            std::shared_ptr<LocalBoard> board;
            ~AnswerNoAgain()
            {
                if (!shutDown)
                    QtThread::instance().post([board = board] { board->endFirmwareUpdate(); });
            }
        } answerNoAgain{board};
        using Update = HeldState::Update;
        int shown = -1;
        const Clock::time_point deadline =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(UpdateTimeoutS));
        while (true) {
            Update update = Update::Checking;
            bool done = false;
            const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
            const bool woke = waitOn(*board, std::max(0.0, left), true, [&] {
                steps.swap(board->progress);
                update = state.update;
                // Done once the board runs the carried application again,
                // across its restarts.
                done = update == Update::Current || update == Update::NotOffered ||
                       (update == Update::Offered && state.uploaded && state.identified && state.firmwareCurrent);
                return done || !steps.empty();
            });
            for (const int percent : steps) {
                if (percent != shown && progress)
                    progress(percent);
                shown = percent;
            }
            steps.clear();
            if (done) {
                if (update == Update::Current)
                    return outcome("current");
                if (update == Update::NotOffered)
                    return outcome("not_offered", QStringLiteral("the board's firmware check offered no update"));
                return outcome("updated");
            }
            if (!woke)
                break;
        }
        if (!lockedState().connected)
            return outcome("lost", QStringLiteral("board %1 was lost during the update; reconnect it and run the "
                                                  "update again"));
        return outcome("failed", QStringLiteral("the update did not complete; run the update again"));
    }

    void close()
    {
        if (!board || shutDown)
            return;
        onQtThread([&] {
            board->close();
            openBoards().erase(board);
        });
    }

private:
    HeldState lockedState()
    {
        std::lock_guard<std::mutex> lock(board->mutex);
        return board->state;
    }

    std::shared_ptr<LocalBoard> board;
};

// The board choice as torvan60ctl makes it, from Python's list of
// (serial, held) and the holders that serve held boards.
py::tuple choose(const std::vector<std::pair<std::string, bool>> &entries,
                 const std::map<std::string, std::string> &served, const std::string &serial, const std::string &option)
{
    std::vector<BoardCandidate> found;
    for (const auto &entry : entries) {
        const auto holder = served.find(entry.first);
        found.push_back({qs(entry.first), entry.second, holder == served.end() ? QString() : qs(holder->second)});
    }
    const BoardChoice choice = chooseBoard(found, qs(serial), qs(option));
    static const char *const outcomes[] = {"chosen", "not_found", "held", "ambiguous"};
    return py::make_tuple(outcomes[choice.outcome], ss(choice.serial), ss(choice.servedBy), ss(choice.error));
}

// A settings file as the object settings.set takes, in JSON; ValueError
// when it is no settings file.
std::string readSettingsFile(const std::string &path)
{
    const SettingsFile::FileCheck check = SettingsFile::CheckFile(qs(path));
    if (!check.result.loaded)
        throw py::value_error(ss(QStringLiteral("%1 is not a settings file: %2").arg(qs(path), check.result.refusal)));
    return QJsonDocument(SettingsJson::fromFile(check.values)).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace

PYBIND11_MODULE(_core, m)
{
    m.doc() = "The Torvan60 core: boards held by this process, on a thread of the module's own.";
    m.attr("version") = TORVAN_VERSION;
    m.attr("carried_firmware") = ss(StatusJson::version(UpdateVersion[0], UpdateVersion[1]));
    m.attr("max_simulated_boards") = MaxSimulatedBoards;
    m.def("scenario_names", [] {
        std::vector<std::string> names;
        for (const QString &name : simulationScenarioNames())
            names.push_back(ss(name));
        return names;
    });
    m.def("choose_board", &choose, py::arg("entries"), py::arg("served"), py::arg("serial"), py::arg("option"));
    m.def("read_settings_file", &readSettingsFile, py::arg("path"));

    py::class_<Local>(m, "LocalBoard")
        .def(py::init<bool, const std::string &, int, const std::string &, const std::string &, qint64>(),
             py::arg("simulate"), py::arg("scenario"), py::arg("boards"), py::arg("trace"), py::arg("program"),
             py::arg("pid"))
        .def("boards", &Local::boards)
        .def("hold", &Local::hold, py::arg("serial"))
        .def("send", &Local::send, py::arg("line"))
        .def("reply", &Local::reply, py::arg("id"), py::arg("timeout"))
        .def("notification", &Local::notification, py::arg("timeout"), py::arg("lost_ends"))
        .def("connected", &Local::connected)
        .def("pace_simulated_boards", &Local::paceSimulatedBoards, py::arg("reports_per_second"))
        .def("live_reports", &Local::liveReports)
        .def("await_identified", &Local::awaitIdentified, py::arg("timeout"))
        .def("questions", &Local::questions)
        .def("take_notices", &Local::takeNotices)
        .def("firmware_update", &Local::firmwareUpdate, py::arg("progress"))
        .def("close", &Local::close);

    // Boards still open when Python ends are closed, and the Qt thread
    // ended, while the interpreter still runs.
    py::module_::import("atexit").attr("register")(py::cpp_function([] {
        if (shutDown)
            return;
        shutDown = true;
        if (!QtThread::exists())
            return;
        py::gil_scoped_release release;
        QtThread::instance().stop([] {
            for (const std::shared_ptr<LocalBoard> &board : openBoards())
                board->close();
            openBoards().clear();
        });
    }));
}
