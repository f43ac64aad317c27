#include "ui/ReadValuesWatch.h"

#include "device/TorvanDRV.h"
#include "log/Logger.h"

ReadValuesWatch::ReadValuesWatch(const TorvanDRV &device, const MonotonicClock &clock, Logger *logger, QObject *parent)
    : QObject(parent), device(device), logger(logger)
{
    setObjectName(QStringLiteral("readValuesWatch"));
    sinceRequest.start(clock);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &ReadValuesWatch::expire);
}

void ReadValuesWatch::requested()
{
    sinceRequest.restart();
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
    // The second is measured on the link's clock, as every wait on the link
    // is; the timer only wakes the check (and the requests' own busy waits
    // hold it back meanwhile).
    const qint64 left = WaitMs - sinceRequest.elapsed();
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
