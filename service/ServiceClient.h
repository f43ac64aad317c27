#pragma once

#include "service/Rpc.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <deque>
#include <functional>

// A client of a board's service that waits by itself (poll), without an
// event loop: torvan60ctl and the tests use it. One request at a time; the
// notifications that come meanwhile are kept for nextNotification().
class ServiceClient
{
public:
    // The longest line taken from the holder. Answers can quote what a
    // client sent (an unknown method's name), escaped: more than a request.
    static constexpr int MaxLineBytes = 1024 * 1024;
    // Notifications kept while nobody asks for them; older ones are dropped.
    static constexpr int MaxQueuedNotifications = 10000;
    // How often interrupted() is asked at least while waiting.
    static constexpr int InterruptCheckMs = 50;

    ServiceClient() = default;
    ~ServiceClient();
    ServiceClient(const ServiceClient &) = delete;
    ServiceClient &operator=(const ServiceClient &) = delete;

    // Empty on success, else why not.
    QString connectTo(const QString &path, int timeoutMs);
    bool isConnected() const { return fd >= 0; }
    void close();

    // Sends one request and waits for its answer. A connection the holder
    // closes gives Rpc::BoardLost; no answer in time, an interruption or a
    // line from the holder that breaks the protocol give an error as well
    // (Rpc::InternalError). A negative timeout waits for ever.
    Rpc::Reply call(const QString &method, const QJsonObject &params = QJsonObject(), int timeoutMs = 10000);

    enum class Next { Notification, Timeout, Closed, Interrupted };
    // The next notification (oldest first). A negative timeout waits for ever.
    Next nextNotification(int timeoutMs, QString &method, QJsonObject &params);
    // Notifications dropped because the queue was full.
    qint64 droppedNotifications() const { return dropped; }
    // What the holder said when it announced that it closes (its "closing"
    // notification); empty when it did not. A connection that then ends
    // gives this as the message of its Rpc::BoardLost failure.
    const QString &closingMessage() const { return holderClosing; }

    // Asked at least every InterruptCheckMs while waiting: true ends the
    // wait (Ctrl-C).
    std::function<bool()> interrupted;

private:
    struct Notification
    {
        QString method;
        QJsonObject params;
    };
    enum class Wait { Ready, Timeout, Closed, Interrupted };
    // Waits until the socket can be read (or written) or the deadline
    // (steady milliseconds, negative: none) passes.
    Wait waitFor(short events, qint64 deadline);
    // Reads what is there into lines; false when the connection ended.
    bool readSome();
    bool takeLine(QByteArray &line);
    // The next line from the holder, waiting for it until the deadline.
    Wait nextLine(QByteArray &line, qint64 deadline);
    void queue(const QString &method, const QJsonObject &params);
    bool sendLine(const QByteArray &line, qint64 deadline, QString &error);
    Rpc::Reply failure(int code, const QString &message) const;

    int fd = -1;
    qint64 nextId = 1;
    QByteArray input;
    bool ended = false; // the holder closed; what was read is still taken
    QString broken;     // why the holder's lines are no longer taken
    std::deque<Notification> notifications;
    qint64 dropped = 0;
    QString holderClosing;
};
