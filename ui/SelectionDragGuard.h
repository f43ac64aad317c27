#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Keeps the selected text of the window's text panes from being dragged.
// Nothing in them is meant to be dropped anywhere, and a drag out of a pane
// can hold the window for good. The drag takes the mouse release, so the
// pane never learns that the button went up; when the pointer was already
// outside the pane as the drag began (a quick flick), the pane's automatic
// scrolling keeps running with the button it believes held, and starts the
// drag again and again. Every later click then ends one of those drags
// instead of reaching a widget.
//
// A press on the selection is what readies such a drag: the moves that
// follow it with the button held do not reach the pane. The release does,
// and places the cursor there as a click does.
class SelectionDragGuard : public QObject
{
public:
    // Guards every text pane inside window, which owns the guard.
    explicit SelectionDragGuard(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The viewport of the pane whose selection the held button went down on.
    QPointer<QObject> pressedOnSelection;
};
