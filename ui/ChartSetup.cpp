#include "ui/ChartSetup.h"

#include "record/LiveCsv.h"

#include "ui/ElapsedTimeTicker.h"
#include "ui/LiveChart.h"

#include <qcustomplot.h>

#include <QCoreApplication>

namespace {

// A value axis whose ticks step by a fixed amount. Multiples of the step are
// allowed once the axis has grown, so the number of ticks stays bounded
// however far the data widens it.
QSharedPointer<QCPAxisTickerFixed> fixedStepTicker(double step)
{
    QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
    ticker->setTickStep(step);
    ticker->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
    // Ten ticks' worth of range still uses the step itself (0 to 100 by 10).
    ticker->setTickCount(10);
    return ticker;
}

} // namespace

void setStartRanges(QCustomPlot *plot)
{
    plot->xAxis->setRange(0, 20);
    plot->yAxis->setRange(0, 100);
    plot->yAxis2->setRange(0, 10);
}

void setUpCommonChart(QCustomPlot *plot, const QFont &windowFont)
{
    plot->xAxis->setLabel(QCoreApplication::translate("Charts", "time / mm:ss"));
    plot->xAxis->setTicker(QSharedPointer<ElapsedTimeTicker>(new ElapsedTimeTicker));
    setStartRanges(plot);
    plot->yAxis2->setVisible(true);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables);
    plot->setLocale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    plot->legend->setVisible(true);
    QFont legendFont = windowFont;
    legendFont.setPointSize(9);
    plot->legend->setFont(legendFont);
    plot->legend->setBrush(QBrush(QColor(255, 255, 255, 230)));
    plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
}

void setUpTemperatureChart(LiveChart *chart, const QFont &windowFont)
{
    QCustomPlot *temp = chart->plot();
    chart->addGraph();
    temp->graph(0)->setName(QCoreApplication::translate("Charts", "Temperature"));
    chart->addGraph(temp->xAxis, temp->yAxis2);
    temp->graph(1)->setPen(QPen(Qt::red));
    temp->graph(1)->setName(QCoreApplication::translate("Charts", "Current"));
    chart->addGraph();
    temp->graph(2)->setPen(QPen(Qt::green));
    temp->graph(2)->setName(QCoreApplication::translate("Charts", "Voltage"));
    // Readouts round as a recording keeps the values.
    chart->setDecimals(0, LiveDecimals::Temperature);
    chart->setDecimals(1, LiveDecimals::Current);
    chart->setDecimals(2, LiveDecimals::Voltage);
    temp->yAxis->setLabel(QCoreApplication::translate("Charts", "temperature / °C, voltage / V"));
    temp->yAxis->setTicker(fixedStepTicker(10));
    temp->yAxis2->setLabel(QCoreApplication::translate("Charts", "motor current / A"));
    temp->yAxis2->setTicker(fixedStepTicker(1));
    setUpCommonChart(temp, windowFont);
}
