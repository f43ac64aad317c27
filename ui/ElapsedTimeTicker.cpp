#include "ui/ElapsedTimeTicker.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// Steps a reader can count in on a clock: seconds, then minutes, then hours.
constexpr double ClockSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800};

// Decimals of a second needed to tell ticks of this step apart.
int decimalsFor(double step)
{
    for (int d = 0; d < 6; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::abs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, scaled))
            return d;
    }
    return 6;
}

} // namespace

QString ElapsedTimeTicker::label(double seconds, int decimals)
{
    if (!std::isfinite(seconds))
        return QString();
    const double scale = std::pow(10.0, decimals);
    // Rounded to the shown resolution: a tick at 59.9999999 s reads 01:00.
    const long long units = std::llround(std::abs(seconds) * scale);
    const long long unitsPerSecond = std::llround(scale);
    const long long whole = units / unitsPerSecond;
    QString text = QString::asprintf("%s%02lld:%02lld", units != 0 && seconds < 0 ? "-" : "", whole / 60, whole % 60);
    if (decimals > 0)
        text += QString::asprintf(".%0*lld", decimals, units % unitsPerSecond);
    return text;
}

QString ElapsedTimeTicker::timeOfDayLabel(double seconds, int decimals)
{
    if (!std::isfinite(seconds))
        return QString();
    const double scale = std::pow(10.0, decimals);
    const long long unitsPerDay = 86400LL * std::llround(scale);
    long long units = std::llround(std::fmod(seconds, 86400.0) * scale) % unitsPerDay;
    if (units < 0)
        units += unitsPerDay;
    const long long unitsPerSecond = std::llround(scale);
    const long long whole = units / unitsPerSecond;
    QString text = QString::asprintf("%02lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    if (decimals > 0)
        text += QString::asprintf(".%0*lld", decimals, units % unitsPerSecond);
    return text;
}

void ElapsedTimeTicker::setTimeOfDay(double secondsOfDay)
{
    dayOrigin = secondsOfDay;
    // Ticks where the time of day is a whole multiple of the step.
    setTickOrigin(std::isfinite(secondsOfDay) ? -secondsOfDay : 0);
}

double ElapsedTimeTicker::getTickStep(const QCPRange &range)
{
    const double exact = range.size() / (tickCount() + 1e-10);
    double step;
    if (exact < ClockSteps[0]) {
        step = cleanMantissa(exact);
    } else if (exact > ClockSteps[std::size(ClockSteps) - 1]) {
        step = cleanMantissa(exact / 3600.0) * 3600.0; // whole hours
    } else {
        // The clock step nearest to the exact one, judged by ratio.
        step = ClockSteps[0];
        double best = std::abs(std::log(exact / step));
        for (double candidate : ClockSteps) {
            const double distance = std::abs(std::log(exact / candidate));
            if (distance < best) {
                best = distance;
                step = candidate;
            }
        }
    }
    decimals = decimalsFor(step);
    return step;
}

int ElapsedTimeTicker::getSubTickCount(double tickStep)
{
    // Sub-ticks on round clock values: 5 s between minute ticks, and so on.
    struct Split
    {
        double step;
        int subTicks;
    };
    static constexpr Split splits[] = {{15, 2},  {30, 2},   {60, 3},   {120, 3},  {300, 4},  {600, 1},
                                       {900, 2}, {1800, 2}, {3600, 3}, {7200, 3}, {10800, 2}};
    for (const Split &split : splits)
        if (std::abs(tickStep - split.step) < 1e-9)
            return split.subTicks;
    return QCPAxisTicker::getSubTickCount(tickStep);
}

QString ElapsedTimeTicker::getTickLabel(double tick, const QLocale &, QChar, int)
{
    if (std::isfinite(dayOrigin))
        return timeOfDayLabel(dayOrigin + tick, decimals);
    return label(tick, decimals);
}
