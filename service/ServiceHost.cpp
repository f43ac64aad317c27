#include "service/ServiceHost.h"

#include "log/Logger.h"

ServiceHost::ServiceHost(BoardService &service, TorvanDRV &drv, Logger *logger, QObject *parent)
    : QObject(parent), localServer(service), presence(drv), logger(logger)
{
    localServer.setLogger(logger);
    connect(&presence, &BoardPresence::arrived, this, &ServiceHost::serve);
    connect(&presence, &BoardPresence::left, this, [this] { localServer.close(); });
    if (presence.isPresent())
        serve(presence.serial());
}

void ServiceHost::serve(const QString &serial)
{
    const QString error = localServer.listen(serial);
    if (!logger)
        return;
    if (error.isEmpty())
        logger->write(QStringLiteral("Serving board %1 to other programs on %2").arg(serial, localServer.path()));
    else
        logger->write(QStringLiteral("Not serving board %1 to other programs: %2").arg(serial, error));
}
