#include "ui/SelectionDragGuard.h"

#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

// The pane whose text viewport is shown in watched, or null.
QPlainTextEdit *paneOf(QObject *viewport)
{
    auto *pane = qobject_cast<QPlainTextEdit *>(viewport->parent());
    return pane && pane->viewport() == viewport ? pane : nullptr;
}

// Whether a press at this point of the viewport lands on the selection. The
// pane itself readies a drag only where the point hits a character; this
// takes in every point whose nearest text position is selected, so that no
// press it would take for the start of a drag is missed.
bool onSelection(const QPlainTextEdit *pane, const QPoint &at)
{
    const QTextCursor cursor = pane->textCursor();
    if (!cursor.hasSelection())
        return false;
    const int position = pane->cursorForPosition(at).position();
    return position >= cursor.selectionStart() && position <= cursor.selectionEnd();
}

} // namespace

SelectionDragGuard::SelectionDragGuard(QWidget *window) : QObject(window)
{
    for (QPlainTextEdit *pane : window->findChildren<QPlainTextEdit *>())
        pane->viewport()->installEventFilter(this);
}

bool SelectionDragGuard::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return QObject::eventFilter(watched, event);
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        // With Shift held a press extends the selection instead.
        const QPlainTextEdit *pane = paneOf(watched);
        const bool readiesDrag = pane && mouse->modifiers() != Qt::ShiftModifier && onSelection(pane, mouse->pos());
        pressedOnSelection = readiesDrag ? watched : nullptr;
    } else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
        pressedOnSelection = nullptr;
    } else if (type == QEvent::MouseMove && watched == pressedOnSelection) {
        if (mouse->buttons() & Qt::LeftButton)
            return true;
        pressedOnSelection = nullptr; // the release went elsewhere
    }
    return QObject::eventFilter(watched, event);
}
