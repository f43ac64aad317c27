#include "cli/BoardLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <deque>

namespace {

// A client of the service in this process: its answers are taken from a
// queue while the event loop runs the device object.
class LocalLink : public BoardLink, public ServicePeer
{
public:
    explicit LocalLink(BoardHolder &holder) : holder(holder)
    {
        program = QCoreApplication::applicationName();
        pid = QCoreApplication::applicationPid();
        holder.service.attach(this);
    }
    ~LocalLink() override { holder.service.detach(this); }

    void send(const QByteArray &line) override
    {
        lines.push_back(line);
        if (loop)
            loop->quit();
    }

    Rpc::Reply call(const QString &method, const QJsonObject &params, int timeoutMs, bool interruptible) override
    {
        const qint64 id = ++lastId;
        holder.service.receive(this, Rpc::request(id, method, params));
        QElapsedTimer elapsed;
        elapsed.start();
        while (true) {
            for (auto it = lines.begin(); it != lines.end(); ++it) {
                Rpc::Reply reply;
                QString notification;
                QJsonObject notificationParams;
                if (Rpc::parseIncoming(*it, reply, notification, notificationParams) && reply.id.toDouble() == id) {
                    lines.erase(it);
                    return reply;
                }
            }
            Rpc::Reply ended;
            ended.code = Rpc::Refused;
            if (interruptible && Session::interrupted()) {
                ended.message = QStringLiteral("interrupted");
                return ended;
            }
            if (elapsed.elapsed() >= timeoutMs) {
                ended.message = QStringLiteral("the board's service did not answer %1 in time").arg(method);
                return ended;
            }
            spin();
        }
    }

    Session::Wait next(QString &method, QJsonObject &params, int timeoutMs) override
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (true) {
            while (!lines.empty()) {
                Rpc::Reply reply;
                const bool isReply = Rpc::parseIncoming(lines.front(), reply, method, params);
                lines.pop_front();
                if (!isReply)
                    return Session::Wait::Done;
            }
            if (!holder.drv.IsConnected())
                return Session::Wait::Lost;
            if (Session::interrupted())
                return Session::Wait::Interrupted;
            if (elapsed.elapsed() >= timeoutMs)
                return Session::Wait::Timeout;
            spin();
        }
    }

private:
    // Serves events until a line comes or 20 ms pass.
    void spin()
    {
        QEventLoop eventLoop;
        QTimer::singleShot(20, &eventLoop, &QEventLoop::quit);
        loop = &eventLoop;
        eventLoop.exec();
        loop = nullptr;
    }

    BoardHolder &holder;
    std::deque<QByteArray> lines;
    QEventLoop *loop = nullptr;
    qint64 lastId = 0;
};

} // namespace

std::unique_ptr<BoardLink> makeLocalLink(BoardHolder &holder)
{
    return std::make_unique<LocalLink>(holder);
}
