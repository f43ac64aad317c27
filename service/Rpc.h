#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// JSON-RPC 2.0 as the local service speaks it: one UTF-8 JSON object per
// line, parameters always named. docs/service.md is the reference.
namespace Rpc {

enum Code {
    ParseError = -32700,
    InvalidRequest = -32600,
    MethodNotFound = -32601,
    InvalidParams = -32602,
    InternalError = -32603,
    Refused = -32001,   // the board refused, an operation failed, or not done here
    BoardLost = -32003, // the board went away
};

// The longest line taken in, without its line end.
constexpr int MaxLineBytes = 64 * 1024;
constexpr int ProtocolVersion = 1;

// The exit code of torvan60ctl for an error code.
int exitCode(int code);

// A request's id as its client wrote it: a text, a number or null. A number
// keeps its own digits, since a JSON number need not fit a double: the
// answer carries exactly the id that was sent, however long.
class Id
{
public:
    Id() = default; // null
    explicit Id(const QJsonValue &value);
    // The id member of a JSON object: its value as parsed, its number as
    // written in text (the object's JSON text) when it is one.
    static Id of(const QJsonObject &object, const QByteArray &text);

    // As it goes into an answer.
    const QByteArray &json() const { return written; }
    bool operator==(const Id &other) const { return written == other.written; }
    bool operator!=(const Id &other) const { return written != other.written; }

private:
    QByteArray written = "null";
};

struct Request
{
    Id id;                     // null for a notification
    bool notification = false; // no id: nothing is answered
    QString method;
    QJsonObject params;
};

// Reads one line (without its end). False when it is no request; then
// reply holds the error answer to send (empty when nothing may be sent).
bool parseRequest(const QByteArray &line, Request &request, QByteArray &reply);

// Lines to send, without the line end.
QByteArray request(const QJsonValue &id, const QString &method, const QJsonObject &params);
QByteArray result(const Id &id, const QJsonObject &result);
QByteArray error(const Id &id, int code, const QString &message);
QByteArray notification(const QString &method, const QJsonObject &params);

// One answer as a client reads it.
struct Reply
{
    QJsonValue id;
    bool ok = false;
    QJsonObject result;
    int code = 0; // the error's, when not ok
    QString message;
};
// Reads a line from the service: a reply (true) or a notification (false,
// with method and params set). A line that is neither gives a reply with
// InternalError.
bool parseIncoming(const QByteArray &line, Reply &reply, QString &method, QJsonObject &params);

// Checks named parameters one at a time; the first fault is kept. Every
// parameter not taken is a fault at the end (done()).
class Params
{
public:
    explicit Params(const QJsonObject &params) : params(params) {}

    // Whole numbers within [min, max]; absent: fallback (required: a fault).
    qint64 integer(const QString &name, qint64 min, qint64 max, qint64 fallback, bool required = false);
    bool boolean(const QString &name, bool fallback);
    QString text(const QString &name, const QString &fallback, bool required = false);
    QJsonObject object(const QString &name, bool required = false);
    bool has(const QString &name) const { return params.contains(name); }
    // True when every parameter was taken and none was at fault.
    bool done();
    bool ok() const { return fault.isEmpty(); }
    const QString &error() const { return fault; }

private:
    QJsonValue take(const QString &name, bool required);
    void fail(const QString &text);

    QJsonObject params;
    QStringList taken;
    QString fault;
};

} // namespace Rpc
