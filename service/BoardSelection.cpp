#include "service/BoardSelection.h"

#include <QStringList>

namespace {

QString serialList(const std::vector<BoardCandidate> &boards)
{
    QStringList serials;
    for (const BoardCandidate &board : boards)
        serials << board.serial + (!board.held              ? QString()
                                   : board.holder.isEmpty() ? QStringLiteral(" (held)")
                                                            : QStringLiteral(" (served)"));
    return serials.join(QStringLiteral(", "));
}

} // namespace

BoardChoice chooseBoard(const std::vector<BoardCandidate> &found, const QString &serial, const QString &option)
{
    BoardChoice choice;
    // Boards one can work on: free ones, and held ones that their holder
    // serves.
    std::vector<BoardCandidate> usable;
    for (const BoardCandidate &board : found)
        if (!board.held || !board.holder.isEmpty())
            usable.push_back(board);
    auto chosen = [&choice](const BoardCandidate &board) {
        choice.outcome = BoardChoice::Chosen;
        choice.serial = board.serial;
        choice.servedBy = board.holder;
        return choice;
    };
    auto refused = [&choice](BoardChoice::Outcome outcome, const QString &error) {
        choice.outcome = outcome;
        choice.error = error;
        return choice;
    };
    if (!serial.isEmpty()) {
        for (const BoardCandidate &board : usable)
            if (board.serial == serial)
                return chosen(board);
        for (const BoardCandidate &board : found)
            if (board.serial == serial)
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
