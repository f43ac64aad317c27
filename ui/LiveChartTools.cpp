#include "ui/LiveChartTools.h"

#include "ui/ChartCursors.h"
#include "ui/LiveChart.h"

#include <qcustomplot.h>

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

void setUpCursorControls(QCheckBox *box, QLabel *readout, const QString &chartName)
{
    box->setText(LiveChartTools::tr("Cursors"));
    box->setToolTip(LiveChartTools::tr("Two cursors on the %1: time, Δt, 1/Δt and the values at each. "
                                       "Click or drag on the chart, or press 1, 2, Left, Right or Delete on it.")
                        .arg(chartName));
    readout->setWordWrap(true);
    readout->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    readout->setFocusPolicy(Qt::StrongFocus);
    // Read out by its text, which changes; what it is for is its description.
    readout->setAccessibleDescription(LiveChartTools::tr("Cursor readout of the %1").arg(chartName));
}

LiveChartTools::LiveChartTools(LiveChart *chart, const QString &suffix, const QString &chartName, QBoxLayout *buttons,
                               int buttonsAt, QBoxLayout *readoutLayout, int readoutAt, QObject *parent)
    : QObject(parent), chart(chart)
{
    // Built whole before they join their page, which may be disabled by
    // then: built inside a disabled parent, a widget is exposed to
    // assistive technology as a plain one for as long as it lives.
    pause = new QPushButton;
    pause->setObjectName(QStringLiteral("btnPause") + suffix);
    pause->setCheckable(true);
    cursorsToggle = new QCheckBox;
    cursorsToggle->setObjectName(QStringLiteral("cbCursors") + suffix);
    if (buttons->direction() == QBoxLayout::LeftToRight || buttons->direction() == QBoxLayout::RightToLeft) {
        buttons->insertWidget(buttonsAt, pause);
        buttons->insertWidget(buttonsAt + 1, cursorsToggle);
    } else {
        // Side by side in a column of buttons: the column stays short.
        auto *row = new QHBoxLayout;
        row->addWidget(pause);
        row->addWidget(cursorsToggle);
        buttons->insertLayout(buttonsAt, row);
    }

    auto *readout = new QLabel;
    readout->setObjectName(QStringLiteral("lblCursors") + suffix);
    setUpCursorControls(cursorsToggle, readout, chartName);
    readoutLayout->insertWidget(readoutAt, readout);
    chartCursors = new ChartCursors({chart}, cursorsToggle, readout, this);

    connect(pause, &QPushButton::toggled, this, [this](bool paused) {
        this->chart->setPaused(paused);
        showPause(paused);
    });
    showPause(false);
}

void LiveChartTools::showPause(bool paused)
{
    pause->setText(paused ? tr("Resume") : tr("Pause"));
    pause->setToolTip(paused ? tr("The chart stands still while live data is still collected; "
                                  "press to bring it up to date")
                             : tr("Hold the chart still to look at it; live data is still collected"));
}
