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
//
// While the holder asks its operator about a board it has connected but not
// yet read whole (the firmware question at its start), the socket is there
// too, and clients are told that the holder is busy with the board rather
// than find none. When the holder ends, its clients are told before their
// connections close.
class ServiceHost : public QObject
{
    Q_OBJECT
public:
    ServiceHost(BoardService &service, TorvanDRV &drv, Logger *logger, QObject *parent = nullptr);
    ~ServiceHost() override;

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
    void followQuestion();
    void log(const QString &text) const;

    BoardService &service;
    TorvanDRV &drv;
    LocalServer localServer;
    BoardPresence boardPresence;
    Logger *logger;
    bool served = false;
    bool onlyBusy = false; // listening for the question's time only
};
