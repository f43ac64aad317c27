#include "cli/BoardLink.h"

#include "service/ServiceClient.h"

#include <QCoreApplication>

namespace {

// The service of another program that holds the board, over its local
// socket.
class RemoteLink : public BoardLink
{
public:
    explicit RemoteLink(std::unique_ptr<ServiceClient> client) : client(std::move(client))
    {
        this->client->interrupted = [] { return Session::interrupted(); };
    }

    Rpc::Reply call(const QString &method, const QJsonObject &params, int timeoutMs, bool interruptible) override
    {
        client->interrupted =
            interruptible ? std::function<bool()>([] { return Session::interrupted(); }) : std::function<bool()>();
        return client->call(method, params, timeoutMs);
    }

    Session::Wait next(QString &method, QJsonObject &params, int timeoutMs) override
    {
        client->interrupted = [] { return Session::interrupted(); };
        switch (client->nextNotification(timeoutMs, method, params)) {
        case ServiceClient::Next::Notification:
            return Session::Wait::Done;
        case ServiceClient::Next::Timeout:
            return Session::Wait::Timeout;
        case ServiceClient::Next::Interrupted:
            return Session::Wait::Interrupted;
        case ServiceClient::Next::Closed:
            break;
        }
        return Session::Wait::Lost;
    }

    QString lostReason() const override { return client->closingMessage(); }

private:
    std::unique_ptr<ServiceClient> client;
};

} // namespace

std::unique_ptr<BoardLink> makeRemoteLink(const QString &path, int timeoutMs, QString &error)
{
    auto client = std::make_unique<ServiceClient>();
    error = client->connectTo(path, timeoutMs);
    if (!error.isEmpty())
        return nullptr;
    const Rpc::Reply hello = client->call(
        QStringLiteral("hello"), {{QStringLiteral("program"), QCoreApplication::applicationName()}}, timeoutMs);
    if (!hello.ok) {
        error = hello.message;
        return nullptr;
    }
    return std::make_unique<RemoteLink>(std::move(client));
}
