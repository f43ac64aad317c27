#include "service/ServiceHost.h"

#include "device/TorvanDRV.h"
#include "log/Logger.h"
#include "service/BoardService.h"

ServiceHost::ServiceHost(BoardService &service, TorvanDRV &drv, Logger *logger, QObject *parent)
    : QObject(parent), service(service), drv(drv), localServer(service), boardPresence(drv), logger(logger)
{
    localServer.setLogger(logger);
    connect(&boardPresence, &BoardPresence::arrived, this, &ServiceHost::serve);
    connect(&boardPresence, &BoardPresence::left, this, [this](const QString &serial) {
        onlyBusy = false;
        localServer.close();
        log(QStringLiteral("Board lost: %1; served again once it is found").arg(serial));
    });
    connect(&service, &BoardService::questionChanged, this, &ServiceHost::followQuestion);
    if (boardPresence.isPresent())
        serve(boardPresence.serial());
}

ServiceHost::~ServiceHost()
{
    service.announceClosing();
    localServer.close();
}

void ServiceHost::log(const QString &text) const
{
    if (logger)
        logger->write(text);
}

void ServiceHost::serve(const QString &serial)
{
    if (onlyBusy && localServer.isListening()) {
        // Served since the question already; from now on in full.
        onlyBusy = false;
        served = true;
        log(QStringLiteral("Serving board %1 to other programs on %2").arg(serial, localServer.path()));
        emit tried(serial, QString());
        return;
    }
    const QString error = localServer.listen(serial);
    served = served || error.isEmpty();
    if (error.isEmpty())
        log(QStringLiteral("Serving board %1 to other programs on %2").arg(serial, localServer.path()));
    else
        log(QStringLiteral("Not serving board %1 to other programs: %2").arg(serial, error));
    emit tried(serial, error);
}

void ServiceHost::followQuestion()
{
    const QString question = service.openQuestion();
    if (!question.isEmpty() && !boardPresence.isPresent() && !localServer.isListening() && drv.IsConnected() &&
        !drv.SerialString().isEmpty()) {
        // Clients that come now are answered that the holder is busy with
        // the board: it is there, only not yet to be had.
        onlyBusy = localServer.listen(drv.SerialString()).isEmpty();
        if (onlyBusy)
            log(QStringLiteral("Board %1 is not served yet: other programs are told that %2 waits for its "
                               "operator's answer to \"%3\"")
                    .arg(drv.SerialString(), service.holder(), question));
    } else if (question.isEmpty() && onlyBusy) {
        onlyBusy = false;
        if (!boardPresence.isPresent())
            localServer.close();
    }
}
