#pragma once

#include <QObject>
#include <QString>

class ChartCursors;
class LiveChart;
class QBoxLayout;
class QCheckBox;
class QLabel;
class QPushButton;

// The tools beside a live chart: "Pause" (the chart stands still while
// live data is still collected; "Resume" brings it up to date) and the
// "Cursors" check box, with the cursors' readout. Their object names end in
// suffix: btnPause<suffix>, cbCursors<suffix>, lblCursors<suffix>.
class LiveChartTools : public QObject
{
    Q_OBJECT
public:
    // The button and the check box go into buttons at buttonsAt (side by
    // side in a column), the readout into readoutLayout at readoutAt.
    // chartName is the chart's own name, translated, as it reads within a
    // sentence ("position chart"), for theirs.
    LiveChartTools(LiveChart *chart, const QString &suffix, const QString &chartName, QBoxLayout *buttons,
                   int buttonsAt, QBoxLayout *readoutLayout, int readoutAt, QObject *parent);

    QPushButton *pauseButton() const { return pause; }
    QCheckBox *cursorsBox() const { return cursorsToggle; }
    ChartCursors *cursors() const { return chartCursors; }

private:
    void showPause(bool paused);

    LiveChart *chart;
    QPushButton *pause = nullptr;
    QCheckBox *cursorsToggle = nullptr;
    ChartCursors *chartCursors = nullptr;
};

// The "Cursors" check box of a chart (chartName, as "position chart") and
// the readout of its cursors: a label the keyboard reaches (its text can be
// selected and read out) that wraps its lines.
void setUpCursorControls(QCheckBox *box, QLabel *readout, const QString &chartName);
