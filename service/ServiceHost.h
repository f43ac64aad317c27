#pragma once

#include "service/BoardPresence.h"
#include "service/LocalServer.h"

#include <QObject>

class BoardService;
class Logger;
class TorvanDRV;

// Serves the held board on its local socket while it is there: the socket
// appears when the board is connected and identified, and goes when it is
// lost, to appear again when it is found again. The window and torvan60ctl
// serve both serve their board this way; it is made before the board
// connects.
class ServiceHost : public QObject
{
    Q_OBJECT
public:
    ServiceHost(BoardService &service, TorvanDRV &drv, Logger *logger, QObject *parent = nullptr);

    const LocalServer &server() const { return localServer; }
    LocalServer &server() { return localServer; }
    // Whether the board is there; others that follow it (the MQTT bridge)
    // follow this.
    BoardPresence &presence() { return boardPresence; }
    // Whether the board has been served on its socket since this was made.
    bool everServed() const { return served; }

signals:
    // Each time the board arrives: served on its socket (why empty), or
    // not and why; server().servedElsewhere() tells whether another
    // program serves it there already.
    void tried(const QString &serial, const QString &why);

private:
    void serve(const QString &serial);

    LocalServer localServer;
    BoardPresence boardPresence;
    Logger *logger;
    bool served = false;
};
