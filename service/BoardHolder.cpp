#include "service/BoardHolder.h"

BoardHolder::BoardHolder(QObject *parent) : QObject(parent)
{
    connect(&drv, &TorvanDRV::newRTDataAvailable, this, &BoardHolder::changed);
    connect(&drv, &TorvanDRV::newDriverValuesAvailable, this, &BoardHolder::changed);
    connect(&drv, &TorvanDRV::newDriverInfoAvailable, this, &BoardHolder::changed);
}

BoardHolder::~BoardHolder()
{
    // Close the board so its lock goes at once; nothing is sent.
    if (drv.IsConnected())
        drv.Disconnect();
}

QString BoardHolder::open(const BoardOptions &options)
{
    const QString error = chain.build(options);
    if (!error.isEmpty())
        return error;
    chain.attach(drv);
    snapshots.setFolder(UpdateSnapshots::defaultFolder());
    // The board is chosen when holding one.
    drv.SetSerialFilter(QString());
    // What the board does not keep starts as the window starts it: the
    // position limits, the jog steps and the speed-mode speed.
    TrajectoryDataRecord &t = drv.TrajectoryData;
    t.PosLimitLower = 0;
    t.PosLimitUpper = 100000;
    t.SmallStep = 1000;
    t.LargeStep = 5000;
    t.RequestedSpeed = 0;
    return QString();
}

void BoardHolder::setLogger(Logger *logger)
{
    drv.SetLogger(logger);
    service.setLogger(logger);
    snapshots.setLogger(logger);
}

std::vector<BoardEntry> BoardHolder::boards()
{
    std::vector<BoardEntry> found;
    for (const HidDeviceEntry &entry : chain.transport().enumerate(0, 0))
        if (drv.IsTorvanBoard(entry))
            found.push_back({entry, false});
    for (const HidDeviceEntry &entry : chain.transport().enumerateHeld(0, 0))
        if (drv.IsTorvanBoard(entry))
            found.push_back({entry, true});
    return found;
}

void BoardHolder::hold(const QString &serial)
{
    drv.SetSerialFilter(serial);
    drv.StartTimers();
}
