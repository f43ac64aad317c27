#include "service/ServiceHost.h"

#include "log/Logger.h"

ServiceHost::ServiceHost(BoardService &service, TorvanDRV &drv, Logger *logger, QObject *parent)
    : QObject(parent), localServer(service), boardPresence(drv), logger(logger)
{
    localServer.setLogger(logger);
    connect(&boardPresence, &BoardPresence::arrived, this, &ServiceHost::serve);
    connect(&boardPresence, &BoardPresence::left, this, [this](const QString &serial) {
        localServer.close();
        if (this->logger)
            this->logger->write(QStringLiteral("Board lost: %1; served again once it is found").arg(serial));
    });
    if (boardPresence.isPresent())
        serve(boardPresence.serial());
}

void ServiceHost::serve(const QString &serial)
{
    const QString error = localServer.listen(serial);
    served = served || error.isEmpty();
    if (logger && error.isEmpty())
        logger->write(QStringLiteral("Serving board %1 to other programs on %2").arg(serial, localServer.path()));
    else if (logger)
        logger->write(QStringLiteral("Not serving board %1 to other programs: %2").arg(serial, error));
    emit tried(serial, error);
}
