#include "service/Rpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cctype>
#include <cmath>

namespace Rpc {

int exitCode(int code)
{
    switch (code) {
    case ParseError:
    case InvalidRequest:
    case MethodNotFound:
    case InvalidParams:
        return 2;
    case BoardLost:
        return 3;
    default:
        return 1;
    }
}

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject envelope()
{
    return {{QStringLiteral("jsonrpc"), QStringLiteral("2.0")}};
}

bool validId(const QJsonValue &id)
{
    return id.isString() || id.isDouble() || id.isNull();
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Walks JSON text that has been parsed already, only far enough to find
// where the members of the outer object are written. Anything it does not
// expect ends the walk with what was found so far.
class WrittenMembers
{
public:
    explicit WrittenMembers(const QByteArray &text) : text(text) {}

    // The values of the outer object's members named name, as written.
    QList<QByteArray> named(const QString &name)
    {
        QList<QByteArray> found;
        at = 0;
        space();
        if (!next('{'))
            return found;
        while (true) {
            space();
            const int keyAt = at;
            if (!string())
                return found;
            const QByteArray key = text.mid(keyAt, at - keyAt);
            space();
            if (!next(':'))
                return found;
            space();
            const int valueAt = at;
            if (!value())
                return found;
            if (isName(key, name))
                found << text.mid(valueAt, at - valueAt);
            space();
            if (!next(','))
                return found;
        }
    }

private:
    void space()
    {
        while (at < text.size() && isSpace(text.at(at)))
            ++at;
    }
    bool next(char c)
    {
        if (at >= text.size() || text.at(at) != c)
            return false;
        ++at;
        return true;
    }
    bool string()
    {
        if (!next('"'))
            return false;
        while (at < text.size()) {
            const char c = text.at(at++);
            if (c == '\\')
                ++at;
            else if (c == '"')
                return true;
        }
        return false;
    }
    bool value()
    {
        if (at >= text.size())
            return false;
        const char first = text.at(at);
        if (first == '"')
            return string();
        if (first != '{' && first != '[') {
            const int start = at;
            while (at < text.size() && !isSpace(text.at(at)) && !QByteArray(",}]").contains(text.at(at)))
                ++at;
            return at > start;
        }
        int depth = 0;
        while (at < text.size()) {
            const char c = text.at(at);
            if (c == '"') {
                if (!string())
                    return false;
                continue;
            }
            ++at;
            if (c == '{' || c == '[')
                ++depth;
            else if ((c == '}' || c == ']') && --depth == 0)
                return true;
        }
        return false;
    }
    // A key as written, escapes and all, against a plain name.
    static bool isName(const QByteArray &key, const QString &name)
    {
        if (!key.contains('\\'))
            return key.mid(1, key.size() - 2) == name.toUtf8();
        return QJsonDocument::fromJson('[' + key + ']').array().first().toString() == name;
    }

    const QByteArray &text;
    int at = 0;
};

} // namespace

Id::Id(const QJsonValue &value)
{
    if (value.isUndefined() || value.isNull())
        return;
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    written = array.mid(1, array.size() - 2);
}

Id Id::of(const QJsonObject &object, const QByteArray &text)
{
    const QJsonValue value = object.value(QLatin1String("id"));
    Id id(value);
    if (!value.isDouble())
        return id;
    // The member the parser kept is the last one of that value.
    const QList<QByteArray> written = WrittenMembers(text).named(QStringLiteral("id"));
    for (auto it = written.crbegin(); it != written.crend(); ++it) {
        bool number = false;
        const double parsed = it->toDouble(&number);
        if (number && parsed == value.toDouble() && (it->startsWith('-') || std::isdigit(uchar(it->at(0))))) {
            id.written = *it;
            break;
        }
    }
    return id;
}

bool parseRequest(const QByteArray &line, Request &request, QByteArray &reply)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // A number, a text, true, false or null alone is JSON, but no request.
        QJsonParseError scalarError;
        const QJsonDocument wrapped = QJsonDocument::fromJson("[" + line + "]", &scalarError);
        reply = scalarError.error == QJsonParseError::NoError && wrapped.array().size() == 1
                    ? error(Id(), InvalidRequest, QStringLiteral("invalid request: not an object"))
                    : error(Id(), ParseError, QStringLiteral("parse error: not JSON"));
        return false;
    }
    if (!document.isObject()) {
        reply = error(Id(), InvalidRequest,
                      document.isArray() ? QStringLiteral("invalid request: batches are not taken")
                                         : QStringLiteral("invalid request: not an object"));
        return false;
    }
    const QJsonObject object = document.object();
    const bool hasId = object.contains(QLatin1String("id"));
    const QJsonValue id = object.value(QLatin1String("id"));
    const Id idForReply = hasId && validId(id) ? Id::of(object, line) : Id();
    auto invalid = [&](const QString &why) {
        reply = error(idForReply, InvalidRequest, QStringLiteral("invalid request: ") + why);
        return false;
    };
    if (object.value(QLatin1String("jsonrpc")) != QLatin1String("2.0"))
        return invalid(QStringLiteral("\"jsonrpc\" must be \"2.0\""));
    if (hasId && !validId(id))
        return invalid(QStringLiteral("\"id\" must be a number, a text or null"));
    const QJsonValue method = object.value(QLatin1String("method"));
    if (!method.isString() || method.toString().isEmpty())
        return invalid(QStringLiteral("\"method\" must be a text"));
    const QJsonValue params = object.value(QLatin1String("params"));
    if (!params.isUndefined() && !params.isNull() && !params.isObject())
        return invalid(params.isArray() ? QStringLiteral("parameters are named: \"params\" must be an object")
                                        : QStringLiteral("\"params\" must be an object"));
    for (auto it = object.begin(); it != object.end(); ++it)
        if (it.key() != QLatin1String("jsonrpc") && it.key() != QLatin1String("id") &&
            it.key() != QLatin1String("method") && it.key() != QLatin1String("params"))
            return invalid(QStringLiteral("unknown member \"%1\"").arg(it.key()));
    request.id = idForReply;
    request.notification = !hasId;
    request.method = method.toString();
    request.params = params.toObject();
    reply.clear();
    return true;
}

QByteArray request(const QJsonValue &id, const QString &method, const QJsonObject &params)
{
    QJsonObject object = envelope();
    object.insert(QStringLiteral("id"), id);
    object.insert(QStringLiteral("method"), method);
    if (!params.isEmpty())
        object.insert(QStringLiteral("params"), params);
    return compact(object);
}

// Answers are written by hand around their id, which a JSON value cannot
// always hold, with the members in the order of the other lines (by name).
QByteArray result(const Id &id, const QJsonObject &result)
{
    return "{\"id\":" + id.json() + ",\"jsonrpc\":\"2.0\",\"result\":" + compact(result) + '}';
}

QByteArray error(const Id &id, int code, const QString &message)
{
    const QJsonObject error{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}};
    return "{\"error\":" + compact(error) + ",\"id\":" + id.json() + ",\"jsonrpc\":\"2.0\"}";
}

QByteArray notification(const QString &method, const QJsonObject &params)
{
    QJsonObject object = envelope();
    object.insert(QStringLiteral("method"), method);
    object.insert(QStringLiteral("params"), params);
    return compact(object);
}

bool parseIncoming(const QByteArray &line, Reply &reply, QString &method, QJsonObject &params)
{
    reply = Reply();
    const QJsonDocument document = QJsonDocument::fromJson(line);
    const QJsonObject object = document.object();
    if (object.contains(QLatin1String("method")) && !object.contains(QLatin1String("id"))) {
        method = object.value(QLatin1String("method")).toString();
        params = object.value(QLatin1String("params")).toObject();
        return false;
    }
    reply.id = object.value(QLatin1String("id"));
    if (object.contains(QLatin1String("result"))) {
        reply.ok = true;
        reply.result = object.value(QLatin1String("result")).toObject();
    } else if (object.value(QLatin1String("error")).isObject()) {
        const QJsonObject error = object.value(QLatin1String("error")).toObject();
        reply.code = error.value(QLatin1String("code")).toInt(InternalError);
        reply.message = error.value(QLatin1String("message")).toString();
    } else {
        reply.code = InternalError;
        reply.message =
            QStringLiteral("the service sent a line that is no answer: ") + QString::fromUtf8(line.left(200));
    }
    return true;
}

// ---------------------------------------------------------------------------

QJsonValue Params::take(const QString &name, bool required)
{
    taken << name;
    const QJsonValue value = params.value(name);
    if ((value.isUndefined() || value.isNull()) && required)
        fail(QStringLiteral("\"%1\" is missing").arg(name));
    return value;
}

void Params::fail(const QString &text)
{
    if (fault.isEmpty())
        fault = text;
}

qint64 Params::integer(const QString &name, qint64 min, qint64 max, qint64 fallback, bool required)
{
    const QJsonValue value = take(name, required);
    if (value.isUndefined() || value.isNull())
        return fallback;
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || std::floor(number) != number || number < double(min) || number > double(max)) {
        fail(QStringLiteral("\"%1\" must be a whole number from %2 to %3").arg(name).arg(min).arg(max));
        return fallback;
    }
    return qint64(number);
}

bool Params::boolean(const QString &name, bool fallback)
{
    const QJsonValue value = take(name, false);
    if (value.isUndefined() || value.isNull())
        return fallback;
    if (!value.isBool()) {
        fail(QStringLiteral("\"%1\" must be true or false").arg(name));
        return fallback;
    }
    return value.toBool();
}

QString Params::text(const QString &name, const QString &fallback, bool required)
{
    const QJsonValue value = take(name, required);
    if (value.isUndefined() || value.isNull())
        return fallback;
    if (!value.isString()) {
        fail(QStringLiteral("\"%1\" must be a text").arg(name));
        return fallback;
    }
    return value.toString();
}

QJsonObject Params::object(const QString &name, bool required)
{
    const QJsonValue value = take(name, required);
    if (value.isUndefined() || value.isNull())
        return QJsonObject();
    if (!value.isObject())
        fail(QStringLiteral("\"%1\" must be an object").arg(name));
    return value.toObject();
}

bool Params::done()
{
    for (auto it = params.begin(); it != params.end(); ++it)
        if (!taken.contains(it.key()))
            fail(QStringLiteral("unknown parameter \"%1\"").arg(it.key()));
    return fault.isEmpty();
}

} // namespace Rpc
