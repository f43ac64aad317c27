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

} // namespace

int cmdList(Session &session, CommandArgs &args)
{
    if (!args.done())
        return argsError(args);
    const std::vector<Session::Board> boards = session.boards();
    if (boards.empty()) {
        Out::error(QStringLiteral("no board found"));
        return Exit::NoBoard;
    }
    for (const Session::Board &board : boards) {
        const QString state = !board.held              ? QStringLiteral("free")
                              : board.holder.isEmpty() ? QStringLiteral("held")
                                                       : QStringLiteral("served by ") + board.holder;
        Out::line(QStringLiteral("%1\t%2\t%3\t%4").arg(board.serial, board.product, board.path, state));
    }
    return Exit::Ok;
}

int cmdStatus(Session &session, CommandArgs &args)
{
    const bool json = args.flag(QStringLiteral("--json"));
    const bool watch = args.flag(QStringLiteral("--watch"));
    const bool csv = args.flag(QStringLiteral("--csv"));
    qint64 count = 0;
    if (!args.integer(QStringLiteral("--count"), 1, MaxInt32, count) || !args.done())
        return argsError(args);
    if ((csv || count) && !watch)
        return usageError(QStringLiteral("--csv and --count go with --watch"));
    if (json && watch)
        return usageError(QStringLiteral("--json takes one snapshot; it does not go with --watch"));
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

} // namespace Cli
