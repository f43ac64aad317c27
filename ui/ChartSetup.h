#pragma once

class LiveChart;
class QCustomPlot;
class QFont;

// What the window's charts share, the live ones and those of a recording.

// Twenty seconds, 0 to 100 on the left and 0 to 10 on the right.
void setStartRanges(QCustomPlot *plot);

// Time axis, interactions, locale and legend.
void setUpCommonChart(QCustomPlot *plot, const QFont &windowFont);

// The temperature chart's graphs and axes: graph 0 "Temperature" and 2
// "Voltage" on the left axis, graph 1 "Current" on the right; then what all
// charts share.
void setUpTemperatureChart(LiveChart *chart, const QFont &windowFont);
