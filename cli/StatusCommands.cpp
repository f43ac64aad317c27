#include "cli/CommandSupport.h"

#include "cli/Output.h"
#include "cli/Status.h"
#include "record/LiveCsv.h"

#include <QElapsedTimer>
#include <QJsonDocument>

#include <limits>

namespace Cli {

namespace {

int watchStatus(Session &session, bool csv, qint64 count)
{
    QElapsedTimer started;
    started.start();
    // The CSV is a live recording's, header, columns and number format alike,
    // so the same tools read both; its time begins when watching does.
    CsvLine csvLine;
    if (csv && !Out::bytes(liveCsvHeader()))
        return Exit::Ok;
    if (const int code = call(session, QStringLiteral("subscribe"), {{QStringLiteral("raw"), csv}}))
        return code;
    for (qint64 written = 0; count == 0 || written < count; ++written) {
        QJsonObject live;
        const Session::Wait wait = session.nextLive(live, std::numeric_limits<int>::max());
        if (wait == Session::Wait::Lost)
            return lostError(session);
        if (wait != Session::Wait::Done)
            break; // Ctrl-C is the normal end of watching
        const qint64 ms = started.elapsed();
        const bool open = csv ? Out::bytes(liveCsvRow(csvLine, {ms, Status::time(live), Status::record(live)}, 0))
                              : Out::line(Status::watchLine(live, ms));
        if (!open)
            break;
    }
    return Exit::Ok;
}

int list(Session &session, const CommandArgs &args)
{
    const std::vector<Session::Board> boards = session.boards();
    if (boards.empty()) {
        Out::error(QStringLiteral("no board found"));
        return Exit::NoBoard;
    }
    const bool serials = args.flag(QStringLiteral("--serials"));
    for (const Session::Board &board : boards) {
        const QString state = !board.held              ? QStringLiteral("free")
                              : board.holder.isEmpty() ? QStringLiteral("held")
                                                       : QStringLiteral("served by ") + board.holder;
        Out::line(serials ? board.serial
                          : QStringLiteral("%1\t%2\t%3\t%4").arg(board.serial, board.product, board.path, state));
    }
    return Exit::Ok;
}

int status(Session &session, const CommandArgs &args)
{
    const bool json = args.flag(QStringLiteral("--json"));
    const bool watch = args.flag(QStringLiteral("--watch"));
    const bool csv = args.flag(QStringLiteral("--csv"));
    qint64 count = 0;
    args.integer(QStringLiteral("--count"), count);
    if (json && watch)
        return usageError(args, QStringLiteral("--json takes one snapshot; it does not go with --watch"));
    if (const int code = session.connectBoard(Need::Identity))
        return code;
    QJsonObject identity;
    if (const int code = call(session, QStringLiteral("identity"), {}, identity))
        return code;
    // A board in its boot loader sends no live data: its identity is all there is.
    const bool live = !identity.value(QLatin1String("bootloader_active")).toBool();
    if (watch && !live) {
        Out::error(QStringLiteral("the board runs its boot loader and sends no live data"));
        return Exit::Failed;
    }
    QJsonObject report;
    if (live) {
        if (const int code = session.connectBoard(Need::Live))
            return code;
        if (watch)
            return watchStatus(session, csv, count);
        // Its name came with its settings.
        if (const int code = call(session, QStringLiteral("identity"), {}, identity))
            return code;
        if (const int code = call(session, QStringLiteral("status"), {}, report))
            return code;
    }
    if (json) {
        QJsonObject snapshot = identity;
        for (auto it = report.begin(); it != report.end(); ++it)
            snapshot.insert(it.key(), it.value());
        Out::line(QString::fromUtf8(QJsonDocument(snapshot).toJson(QJsonDocument::Indented)).trimmed());
    } else {
        for (const QString &line : Status::snapshotLines(identity, report))
            Out::line(line);
    }
    return Exit::Ok;
}

} // namespace

std::vector<Command> statusCommands()
{
    using CommandLine::Option;
    const QStringList watch{QStringLiteral("--watch")};
    return {
        {QStringLiteral("list"),
         QStringLiteral("the boards on the bus and those other programs serve"),
         QStringLiteral(
             "One line per board, its fields separated by tabs: the serial number, the product, the path "
             "and its state: \"free\", \"held\" (held open by another program) or \"served by PROGRAM "
             "(pid N)\", which torvan60ctl reaches through that program (a served board's product is the one "
             "its holder names). Free boards come first, in bus order."),
         {{QString(),
           {},
           {Option::flag({QStringLiteral("--serials")},
                         QStringLiteral("Only the serial numbers, one a line, for scripts and the shell "
                                        "completion."))},
           QString(),
           list}},
         {{Exit::NoBoard, QStringLiteral("no board found")}},
         {{QStringLiteral("torvan60ctl --simulate-boards=3 list"), QStringLiteral("Three simulated boards, all free:")},
          {QStringLiteral("torvan60ctl --simulate=held --simulate-boards=2 list --serials"),
           QStringLiteral("Only the serial numbers, the held board's too:")}}},
        {QStringLiteral("status"),
         QStringLiteral("identity, firmware and live data, once or as they come"),
         QStringLiteral("Shows the board's identity (name, unique id, versions, firmware state) and one live "
                        "snapshot: the filtered supply voltage and temperature, the current, the driver state and "
                        "its text, the faults and their texts, the input pins, the operating mode, the position and "
                        "the speed. A board in its boot loader sends no live data: it shows its identity only."),
         {{QString(),
           {},
           {Option::flag({QStringLiteral("--json")},
                         QStringLiteral("One JSON object holding the identity and the snapshot, with the keys of the "
                                        "service's identity and status (docs/service.md).")),
            Option::flag({QStringLiteral("--watch")},
                         QStringLiteral("One line per live report until Ctrl-C or SIGTERM (exit 0, every line "
                                        "written) or --count lines.")),
            Option::flag({QStringLiteral("--csv")},
                         QStringLiteral("With --watch: the header and rows of a recording of the window instead, "
                                        "with its columns and units, RFC 4180, CR LF line ends, dot decimals in "
                                        "any locale; the elapsed time counts from the start of watching."))
                .with(watch),
            Option::integer({QStringLiteral("--count")}, QStringLiteral("N"), 1, MaxInt32,
                            QStringLiteral("With --watch: end after N lines, {min} to {max}."))
                .with(watch)},
           QString(),
           status}},
         {{Exit::Failed, QStringLiteral("the board refused or sent no live data, or --watch on a board in its boot "
                                        "loader")}},
         {{QStringLiteral("torvan60ctl --simulate status"), QStringLiteral("The simulated board, once:")},
          {QStringLiteral("torvan60ctl --simulate status --json"), QStringLiteral("The same as one JSON object:")},
          {QStringLiteral("torvan60ctl --simulate status --watch --csv --count 20 > live.csv"),
           QStringLiteral("Twenty live reports into a file the window's Records page opens:")}}},
    };
}

} // namespace Cli
