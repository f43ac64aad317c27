#pragma once

#include "device/Clock.h"

#include <QObject>
#include <QString>
#include <QTimer>

class Logger;
class TorvanDRV;

// Waits for the driver values a read asked for. A board that runs its boot
// loader, or does not answer at all, sends nothing back and says nothing;
// the cleared full-scale current would stand there as if the board had
// reported it. When no values have come a second after the request, one
// line in the log says so, and why that may be.
class ReadValuesWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int WaitMs = 1000;

    // The device object, the clock and the logger must outlive the watch.
    ReadValuesWatch(const TorvanDRV &device, const MonotonicClock &clock, Logger *logger, QObject *parent);

    // The values were asked for now; a second read starts the wait afresh.
    void requested();
    // Driver values came in: the wait is over.
    void arrived();

private slots:
    // The timer ran out: the wait is over by the clock, or it is started
    // again for what is left.
    void expire();

private:
    // Why nothing came, as far as the device object knows.
    QString reason() const;

    const TorvanDRV &device;
    Logger *logger;
    ElapsedClock sinceRequest; // on the link's clock
    bool waiting = false;
    QTimer timer;
};
