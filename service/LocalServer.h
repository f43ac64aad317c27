#pragma once

#include <QObject>
#include <QString>

#include <sys/types.h>

#include <vector>

class BoardService;
class Logger;
class QSocketNotifier;

// Serves one board's service to the programs of the same user on a local
// socket (docs/service.md): one line of JSON per request and answer, taken
// and answered from the holder's event loop. The service must outlive it.
//
// Outside input is bounded: lines of at most Rpc::MaxLineBytes (a longer one
// is answered with an error and the connection closed), at most MaxClients
// connections, and a client that does not read is dropped once
// MaxUnsentBytes wait for it.
class LocalServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxClients = 16;
    static constexpr int MaxUnsentBytes = 1024 * 1024;

    explicit LocalServer(BoardService &service, QObject *parent = nullptr);
    ~LocalServer() override;

    // Serves on ServicePaths::socketPath(serial). Empty on success, else why
    // not. A socket file nothing answers on (left by a holder that crashed)
    // is replaced; one a live holder answers on is left alone.
    QString listen(const QString &serial);
    // Drops every client and removes the socket file. When the board is
    // gone, what the clients sent up to now is answered first (with the
    // lost-board error), so that no request is left without its answer;
    // what waits for a client goes out as far as its socket takes it.
    void close();
    bool isListening() const { return listenFd >= 0; }
    // Whether the last listen() was refused because a live holder answers
    // on the socket: the board is served already, by another program.
    bool servedElsewhere() const { return otherHolder; }
    QString path() const { return socketFile; }
    int clientCount() const;

    // Refusals and dropped clients are logged when a logger is set.
    void setLogger(Logger *logger) { this->logger = logger; }
    // The user whose programs are served (by default this process's user).
    void setAllowedUid(uid_t uid) { allowedUid = uid; }

signals:
    void clientsChanged(int count);

private:
    class Client;

    QString freePath(const QString &serial);
    void acceptClients();
    void refuse(int fd, const QString &why, const QByteArray &answer = QByteArray());
    void readFrom(Client *client);
    // Hands the client's whole lines to the service, at most maxLines of
    // them this turn; the rest on a later turn.
    void takeLines(Client *client, int maxLines);
    // Everything the client sent that is still unread, taken in whole.
    void takeEverythingSent(Client *client);
    // Ends a client from the event loop, never inside the service: it may
    // be sending to it right now. why (when not empty) is logged.
    void drop(Client *client, const QString &why);
    void finishDrop(Client *client);
    void log(const QString &text) const;

    BoardService &service;
    Logger *logger = nullptr;
    uid_t allowedUid;
    int listenFd = -1;
    bool otherHolder = false;
    QString socketFile;
    QSocketNotifier *listenNotifier = nullptr;
    std::vector<Client *> clients;
};
