#include "service/BoardSelection.h"

#include <QStringList>

#include <utility>

namespace {

QString serialList(const std::vector<BoardEntry> &boards)
{
    QStringList serials;
    for (const BoardEntry &board : boards)
        serials << board.entry.serialNumber + (board.held ? QStringLiteral(" (held)") : QString());
    return serials.join(QStringLiteral(", "));
}

} // namespace

BoardChoice chooseBoard(const std::vector<BoardEntry> &found, const QString &serial,
                        const std::function<QString(const QString &)> &servedBy, const QString &option)
{
    BoardChoice choice;
    // Boards one can work on: free ones, and held ones that their holder
    // serves.
    std::vector<std::pair<QString, QString>> usable; // serial, holder ("" when free)
    for (const BoardEntry &board : found) {
        const QString by = board.held ? servedBy(board.entry.serialNumber) : QString();
        if (!board.held || !by.isEmpty())
            usable.emplace_back(board.entry.serialNumber, by);
    }
    auto chosen = [&choice](const std::pair<QString, QString> &board) {
        choice.outcome = BoardChoice::Chosen;
        choice.serial = board.first;
        choice.servedBy = board.second;
        return choice;
    };
    auto refused = [&choice](BoardChoice::Outcome outcome, const QString &error) {
        choice.outcome = outcome;
        choice.error = error;
        return choice;
    };
    if (!serial.isEmpty()) {
        for (const auto &board : usable)
            if (board.first == serial)
                return chosen(board);
        for (const BoardEntry &board : found)
            if (board.entry.serialNumber == serial)
                return refused(BoardChoice::Held, QStringLiteral("board %1 is held by another program").arg(serial));
        return refused(BoardChoice::NotFound,
                       found.empty()
                           ? QStringLiteral("no board with serial %1; no board found").arg(serial)
                           : QStringLiteral("no board with serial %1; found: %2").arg(serial, serialList(found)));
    }
    if (usable.size() == 1)
        return chosen(usable.front());
    if (usable.empty())
        return found.empty()
                   ? refused(BoardChoice::NotFound, QStringLiteral("no board found"))
                   : refused(BoardChoice::Held, QStringLiteral("no free board; found: %1").arg(serialList(found)));
    return refused(BoardChoice::Ambiguous,
                   QStringLiteral("several boards found (%1); pick one with %2").arg(serialList(found), option));
}
