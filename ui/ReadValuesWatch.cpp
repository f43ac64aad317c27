#include "ui/ReadValuesWatch.h"

#include "app/Logger.h"
#include "device/TorvanDRV.h"

ReadValuesWatch::ReadValuesWatch(const TorvanDRV &device, const MonotonicClock &clock, Logger *logger, QObject *parent)
    : QObject(parent), device(device), clock(clock), logger(logger)
{
    setObjectName(QStringLiteral("readValuesWatch"));
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &ReadValuesWatch::expire);
}

void ReadValuesWatch::requested()
{
    requestedAtMs = clock.nowMs();
    waiting = true;
    timer.start(WaitMs);
}

void ReadValuesWatch::arrived()
{
    waiting = false;
    timer.stop();
}

void ReadValuesWatch::expire()
{
    if (!waiting)
        return;
    // The requests themselves hold the event loop for a while (busy waits),
    // and the clock may be one a test drives: the second is the clock's.
    const qint64 left = WaitMs - (clock.nowMs() - requestedAtMs);
    if (left > 0) {
        timer.start(int(left));
        return;
    }
    waiting = false;
    if (logger)
        logger->write(QStringLiteral("No driver values arrived within a second of the request: ") + reason());
}

QString ReadValuesWatch::reason() const
{
    if (!device.IsConnected())
        return QStringLiteral("no driver is connected.");
    if (device.DriverInfo.BootloaderActive)
        return QStringLiteral("the driver runs its boot loader, which does not report them.");
    return QStringLiteral("the driver does not answer.");
}
