#include "ui/ChartCursors.h"

#include "ui/ElapsedTimeTicker.h"
#include "ui/LiveChart.h"

#include <qcustomplot.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

#include <cmath>

namespace {

const QColor CursorColor(40, 40, 160);

// A chart's value rounded to the decimals its graph is worth (as a
// recording keeps it); all of it for -1.
double rounded(double value, int decimals)
{
    if (decimals < 0 || !std::isfinite(value))
        return value;
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

// A value as the readout shows it: as many digits as it has, up to ten; "—"
// for none.
QString valueText(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("—");
    return QString::number(value == 0 ? 0.0 : value, 'g', 10); // no "-0"
}

} // namespace

TimeMark TimeMark::make(QCustomPlot *plot, const QString &text, const QColor &color, bool labelAtTop)
{
    TimeMark mark;
    mark.line = new QCPItemStraightLine(plot);
    mark.label = new QCPItemText(plot);
    for (QCPItemPosition *p : {mark.line->point1, mark.line->point2, mark.label->position}) {
        p->setAxes(plot->xAxis, plot->yAxis);
        p->setAxisRect(plot->axisRect());
        p->setTypeX(QCPItemPosition::ptPlotCoords);
        p->setTypeY(QCPItemPosition::ptAxisRectRatio); // 0 the top of the plot area, 1 its foot
    }
    mark.line->point1->setCoords(0, 0);
    mark.line->point2->setCoords(0, 1);
    mark.line->setPen(QPen(color));
    mark.label->position->setCoords(0, labelAtTop ? 0 : 1);
    mark.label->setPositionAlignment(labelAtTop ? Qt::AlignTop | Qt::AlignHCenter : Qt::AlignBottom | Qt::AlignLeft);
    mark.label->setText(text);
    mark.label->setColor(Qt::white);
    mark.label->setBrush(QBrush(color));
    mark.label->setPadding(QMargins(4, 1, 4, 1));
    // Above the graphs, on the layer that shares their paint buffer.
    QCPLayer *overlay = plot->layer(QStringLiteral("overlay"));
    for (QCPAbstractItem *item :
         {static_cast<QCPAbstractItem *>(mark.line), static_cast<QCPAbstractItem *>(mark.label)}) {
        if (overlay)
            item->setLayer(overlay);
        item->setSelectable(false);
        item->setVisible(false);
    }
    return mark;
}

void TimeMark::showAt(double key)
{
    const bool shown = std::isfinite(key);
    line->setVisible(shown);
    label->setVisible(shown);
    if (!shown)
        return;
    line->point1->setCoords(key, 0);
    line->point2->setCoords(key, 1);
    label->position->setCoords(key, label->position->coords().y());
}

ChartCursors::ChartCursors(const QList<LiveChart *> &charts, QCheckBox *toggle, QLabel *readout, QObject *parent)
    : QObject(parent), charts(charts), toggle(toggle), readout(readout),
      timeText([](double key) { return ElapsedTimeTicker::label(key, 3); })
{
    for (LiveChart *chart : charts) {
        QCustomPlot *plot = chart->plot();
        // The cursors are moved by keys on the chart: it takes the focus.
        plot->setFocusPolicy(Qt::StrongFocus);
        plot->installEventFilter(this);
        // Points that came since, near a cursor, change what it reads.
        connect(plot, &QCustomPlot::afterReplot, this, [this] {
            if (this->readout && isOn())
                this->readout->setText(readoutText());
        });
        Marks m;
        for (int c = 0; c < Count; ++c)
            m.cursor[c] = TimeMark::make(plot, QString::number(c + 1), CursorColor, true);
        marks << m;
    }
    if (toggle)
        connect(toggle, &QCheckBox::toggled, this, &ChartCursors::toggled);
    if (readout)
        readout->setVisible(isOn());
}

void ChartCursors::setTimeText(const std::function<QString(double)> &text)
{
    timeText = text;
    update();
}

bool ChartCursors::isOn() const
{
    return toggle && toggle->isChecked();
}

void ChartCursors::toggled(bool on)
{
    if (on && !charts.isEmpty() && !placed[0] && !placed[1]) {
        const QCPRange range = charts.first()->plot()->xAxis->range();
        placed[0] = placed[1] = true;
        keys[0] = range.lower + range.size() / 3;
        keys[1] = range.lower + range.size() * 2 / 3;
        activeCursor = 0;
    } else if (!on) {
        placed[0] = placed[1] = false;
    }
    if (readout)
        readout->setVisible(on);
    update();
}

void ChartCursors::place(int cursor, double key)
{
    if (!isOn() || cursor < 0 || cursor >= Count || !std::isfinite(key))
        return;
    placed[cursor] = true;
    keys[cursor] = key;
    activeCursor = cursor;
    update();
}

void ChartCursors::remove(int cursor)
{
    if (cursor < 0 || cursor >= Count)
        return;
    placed[cursor] = false;
    if (activeCursor == cursor && placed[1 - cursor])
        activeCursor = 1 - cursor;
    update();
}

void ChartCursors::update()
{
    for (int i = 0; i < charts.size(); ++i) {
        for (int c = 0; c < Count; ++c) {
            TimeMark &mark = marks[i].cursor[c];
            mark.showAt(isOn() && placed[c] ? keys[c] : qQNaN());
            QPen pen(CursorColor, c == activeCursor ? 2 : 1);
            pen.setStyle(c == activeCursor ? Qt::SolidLine : Qt::DashLine);
            mark.line->setPen(pen);
        }
        charts[i]->plot()->replot(QCustomPlot::rpQueuedReplot);
    }
    if (readout)
        readout->setText(readoutText());
}

QString ChartCursors::readoutText() const
{
    if (!isOn())
        return QString();
    if (!placed[0] && !placed[1])
        return tr("No cursor placed: click the chart, or press 1 or 2 on it.");
    QStringList times;
    for (int c = 0; c < Count; ++c)
        if (placed[c])
            times << tr("Cursor %1: %2").arg(c + 1).arg(timeText(keys[c]));
    const bool both = placed[0] && placed[1];
    if (both) {
        const double dt = keys[1] - keys[0];
        times << tr("Δt: %1 s").arg(QString::number(dt, 'f', 3));
        times << QStringLiteral("1/Δt: %1")
                     .arg(dt != 0 ? QString::number(1 / dt, 'g', 4) + QStringLiteral(" Hz") : QStringLiteral("—"));
    }
    QStringList values;
    for (LiveChart *chart : charts) {
        QCustomPlot *plot = chart->plot();
        for (int g = 0; g < plot->graphCount(); ++g) {
            if (!plot->graph(g)->visible() || chart->pointCount(g) == 0)
                continue;
            double value[Count] = {qQNaN(), qQNaN()};
            for (int c = 0; c < Count; ++c) {
                double key = 0;
                if (placed[c] && !chart->nearestPoint(g, keys[c], &key, &value[c]))
                    value[c] = qQNaN();
            }
            const QString name = plot->graph(g)->name() + QStringLiteral(": ");
            // Rounded as the Records page shows a recording of the same.
            const int decimals = chart->decimals(g);
            for (double &v : value)
                v = rounded(v, decimals);
            if (both)
                values << name + QStringLiteral("%1 → %2 (Δ %3)")
                                     .arg(valueText(value[0]), valueText(value[1]),
                                          valueText(rounded(value[1] - value[0], decimals)));
            else
                values << name + valueText(value[placed[0] ? 0 : 1]);
        }
    }
    return times.join(QStringLiteral("   ")) + QLatin1Char('\n') + values.join(QStringLiteral("   "));
}

bool ChartCursors::eventFilter(QObject *watched, QEvent *event)
{
    auto *plot = qobject_cast<QCustomPlot *>(watched);
    if (!plot || !isOn())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return mouseEvent(plot, event);
    case QEvent::KeyPress:
        return keyEvent(plot, event);
    default:
        return false;
    }
}

bool ChartCursors::mouseEvent(QCustomPlot *plot, QEvent *event)
{
    auto *mouse = static_cast<QMouseEvent *>(event);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QPoint pos = mouse->position().toPoint();
#else
    const QPoint pos = mouse->pos();
#endif
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        if (mouse->button() != Qt::LeftButton || !inPlotArea(plot, pos))
            return false;
        const int c = cursorAt(plot, pos.x());
        if (c < 0) {
            // A click or the start of a drag of the chart: told apart at
            // the release.
            pressedOn = plot;
            pressedAt = pos;
            return false;
        }
        dragging = c;
        activeCursor = c;
        update();
        return true; // the cursor, not the chart, moves
    }
    case QEvent::MouseMove:
        if (dragging < 0)
            return false;
        place(dragging, keyAt(plot, pos.x()));
        return true;
    case QEvent::MouseButtonRelease: {
        if (mouse->button() != Qt::LeftButton)
            return false;
        if (dragging >= 0) {
            dragging = -1;
            return true;
        }
        const bool click = pressedOn == plot && (pos - pressedAt).manhattanLength() <= 3 && inPlotArea(plot, pos);
        pressedOn = nullptr;
        if (click) {
            const double key = keyAt(plot, pos.x());
            int c = !placed[0] ? 0 : !placed[1] ? 1 : -1;
            if (c < 0)
                c = std::abs(keys[0] - key) <= std::abs(keys[1] - key) ? 0 : 1;
            place(c, key);
        }
        return false;
    }
    case QEvent::MouseButtonDblClick: {
        const int c = mouse->button() == Qt::LeftButton ? cursorAt(plot, pos.x()) : -1;
        if (c < 0)
            return false;
        remove(c);
        return true;
    }
    default:
        return false;
    }
}

bool ChartCursors::keyEvent(QCustomPlot *plot, QEvent *event)
{
    auto *key = static_cast<QKeyEvent *>(event);
    const QCPRange range = plot->xAxis->range();
    switch (key->key()) {
    case Qt::Key_1:
    case Qt::Key_2: {
        const int c = key->key() - Qt::Key_1;
        if (placed[c]) {
            activeCursor = c;
            update();
        } else {
            place(c, range.center());
        }
        return true;
    }
    case Qt::Key_Left:
    case Qt::Key_Right: {
        int c = activeCursor;
        if (!placed[c])
            c = 1 - c;
        if (!placed[c]) {
            place(0, range.center());
            return true;
        }
        const double pixel = range.size() / std::max(1, plot->axisRect()->width());
        const double step = pixel * (key->modifiers() & Qt::ShiftModifier ? 10 : 1);
        place(c, keys[c] + (key->key() == Qt::Key_Left ? -step : step));
        return true;
    }
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (placed[activeCursor])
            remove(activeCursor);
        return true;
    default:
        return false;
    }
}

int ChartCursors::cursorAt(QCustomPlot *plot, int x) const
{
    int found = -1;
    double nearest = GrabPixels + 0.5;
    for (int c = 0; c < Count; ++c) {
        if (!placed[c])
            continue;
        const double distance = std::abs(plot->xAxis->coordToPixel(keys[c]) - x);
        if (distance <= nearest) {
            nearest = distance;
            found = c;
        }
    }
    return found;
}

double ChartCursors::keyAt(QCustomPlot *plot, int x) const
{
    return plot->xAxis->pixelToCoord(x);
}

bool ChartCursors::inPlotArea(QCustomPlot *plot, const QPoint &pos) const
{
    return plot->axisRect() && plot->axisRect()->rect().contains(pos);
}
