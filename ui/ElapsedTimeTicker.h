#pragma once

#include <qcustomplot.h>

// Tick labels for a time axis whose keys are seconds of elapsed time: "mm:ss",
// with minutes that keep counting past the hour (60:00, 61:30) and no time
// zone involved. A date-time ticker would turn the keys into local clock
// times instead, which wraps after an hour and, in zones with a half-hour
// offset, shifts the minutes.
class ElapsedTimeTicker : public QCPAxisTicker
{
public:
    // The label of a key: "mm:ss", with as many decimals of a second as
    // decimals says (0 for whole seconds), a leading "-" before zero.
    static QString label(double seconds, int decimals = 0);
    // The label of a time of day (seconds since midnight, wrapping at 24 h):
    // "hh:mm:ss", with decimals as for label.
    static QString timeOfDayLabel(double seconds, int decimals = 0);

    // Labels a key as the time of day it was, secondsOfDay (since local
    // midnight) being the time at key 0, with ticks on round clock times:
    // the times of a recording. NaN: elapsed time (the default).
    void setTimeOfDay(double secondsOfDay);

protected:
    double getTickStep(const QCPRange &range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision) override;

private:
    int decimals = 0; // of the step chosen last; the labels follow it
    double dayOrigin = qQNaN();
};
