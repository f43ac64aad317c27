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
    SystemWallClock wallClock;
    CsvLine csvLine;
    if (csv && !Out::bytes(liveCsvHeader()))
        return Exit::Ok;
    qint64 written = 0;
    bool outputClosed = false;
    session.onLiveReport = [&] {
        if (outputClosed || (count > 0 && written >= count))
            return;
        const qint64 ms = started.elapsed();
        outputClosed = !(csv ? Out::bytes(liveCsvRow(csvLine, {ms, wallClock.now(), session.drv.RTData}, 0))
                             : Out::line(Status::watchLine(session.drv, ms)));
        ++written;
    };
    const Session::Wait wait = session.waitUntil([&] { return outputClosed || (count > 0 && written >= count); },
                                                 std::numeric_limits<int>::max());
    session.onLiveReport = nullptr;
    if (wait == Session::Wait::Lost)
        return lostError(session);
    // Ctrl-C is the normal end of watching.
    return Exit::Ok;
}

} // namespace
int cmdList(Session &session, CommandArgs &args)
{
    if (!args.done())
        return argsError(args);
    const std::vector<BoardEntry> boards = session.boards();
    if (boards.empty()) {
        Out::error(QStringLiteral("no board found"));
        return Exit::NoBoard;
    }
    for (const BoardEntry &board : boards)
        Out::line(QStringLiteral("%1\t%2\t%3\t%4")
                      .arg(board.entry.serialNumber, board.entry.product, QString::fromStdString(board.entry.path),
                           board.held ? QStringLiteral("held") : QStringLiteral("free")));
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
    // A board in its boot loader sends no live data: its identity is all there is.
    const bool live = !session.drv.DriverInfo.BootloaderActive;
    if (live)
        if (const int code = session.connectBoard(Need::Live))
            return code;
    if (watch) {
        if (!live) {
            Out::error(QStringLiteral("the board runs its boot loader and sends no live data"));
            return Exit::Failed;
        }
        return watchStatus(session, csv, count);
    }
    if (json)
        Out::line(QString::fromUtf8(QJsonDocument(Status::snapshot(session.drv, live)).toJson(QJsonDocument::Indented))
                      .trimmed());
    else
        for (const QString &line : Status::snapshotLines(session.drv, live))
            Out::line(line);
    return Exit::Ok;
}

} // namespace Cli
