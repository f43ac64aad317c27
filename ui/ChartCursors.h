#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>

class LiveChart;
class QCheckBox;
class QColor;
class QCPItemStraightLine;
class QCPItemText;
class QCustomPlot;
class QLabel;

// A line across a chart's plot area at one time, with a label on a patch of
// colour at its top or its foot: a cursor, or a moment marked. Made hidden,
// above the graphs, and not selectable; the chart owns its items.
struct TimeMark
{
    QCPItemStraightLine *line = nullptr;
    QCPItemText *label = nullptr;

    static TimeMark make(QCustomPlot *plot, const QString &text, const QColor &color, bool labelAtTop);
    // Shows it at key, or hides it when key is not a number.
    void showAt(double key);
};

// Two cursors across one or more charts of one time axis (the same keys in
// each), switched on and off by a "Cursors" check box, with a readout of the
// time at each, Δt and 1/Δt, and each shown graph's value at each cursor
// with their difference (values are the stored points nearest to a cursor).
//
// Mouse, on a chart while the cursors are on: a click puts the first cursor
// not yet placed there, or else the nearer one; a cursor is dragged by its
// line; a double click on a line removes that cursor. Keyboard, on a chart
// that has the focus: 1 or 2 picks a cursor (placed mid-chart if it was
// not), Left and Right move it by a pixel (with Shift by ten), Delete
// removes it. Switching the cursors on places both at a third and two
// thirds of the visible time; switching them off removes them.
class ChartCursors : public QObject
{
    Q_OBJECT
public:
    static constexpr int Count = 2;
    // How near (pixels) a press must come to a cursor's line to take it.
    static constexpr int GrabPixels = 4;

    ChartCursors(const QList<LiveChart *> &charts, QCheckBox *toggle, QLabel *readout, QObject *parent);

    // How a time (a key) is written in the readout: elapsed "mm:ss.mmm"
    // unless set.
    void setTimeText(const std::function<QString(double key)> &text);

    bool isOn() const;
    bool isPlaced(int cursor) const { return placed[cursor]; }
    double keyOf(int cursor) const { return keys[cursor]; }
    // The cursor the keys move.
    int active() const { return activeCursor; }

    // Puts cursor 0 or 1 at key and makes it the active one; with the
    // cursors off it does nothing.
    void place(int cursor, double key);
    void remove(int cursor);

    // What the readout shows.
    QString readoutText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Marks
    {
        TimeMark cursor[Count];
    };

    void toggled(bool on);
    void update();
    bool mouseEvent(QCustomPlot *plot, QEvent *event);
    bool keyEvent(QCustomPlot *plot, QEvent *event);
    // The cursor whose line lies within GrabPixels of x on plot, or -1.
    int cursorAt(QCustomPlot *plot, int x) const;
    double keyAt(QCustomPlot *plot, int x) const;
    bool inPlotArea(QCustomPlot *plot, const QPoint &pos) const;

    QList<LiveChart *> charts;
    QList<Marks> marks; // per chart
    QPointer<QCheckBox> toggle;
    QPointer<QLabel> readout;
    std::function<QString(double)> timeText;
    bool placed[Count] = {false, false};
    double keys[Count] = {0, 0};
    int activeCursor = 0;
    // A press on a chart: a click unless it moves; a cursor when it took one.
    QCustomPlot *pressedOn = nullptr;
    QPoint pressedAt;
    int dragging = -1;
};
