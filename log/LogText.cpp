#include "log/LogText.h"

namespace {

// How one UTF-16 unit (or a surrogate pair, when low follows high) is
// shown; used tells how many units it took.
QString shown(const QString &text, int at, int &used)
{
    const QChar c = text.at(at);
    used = 1;
    if (c.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate()) {
        used = 2;
        return text.mid(at, 2);
    }
    const ushort u = c.unicode();
    switch (u) {
    case '\n':
        return QStringLiteral("\\n");
    case '\r':
        return QStringLiteral("\\r");
    case '\t':
        return QStringLiteral("\\t");
    case 0x1B:
        return QStringLiteral("\\e");
    case '\\':
        return QStringLiteral("\\\\");
    default:
        break;
    }
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
        return QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    const bool separator = u == 0x2028 || u == 0x2029;
    const bool reordering =
        u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
    if (separator || reordering || c.isSurrogate())
        return QStringLiteral("\\u{%1}").arg(u, 4, 16, QLatin1Char('0'));
    return QString(c);
}

} // namespace

QString LogText::escaped(const QString &text, int maxChars)
{
    static const QString cut = QStringLiteral("...");
    QString out;
    // Where out may end when the text turns out too long.
    int fitsWithCut = -1;
    for (int at = 0; at < text.size();) {
        int used = 0;
        const QString piece = shown(text, at, used);
        if (fitsWithCut < 0 && out.size() + piece.size() > maxChars - cut.size())
            fitsWithCut = out.size();
        if (out.size() + piece.size() > maxChars) {
            out.truncate(qMax(fitsWithCut, 0));
            return out + cut;
        }
        out += piece;
        at += used;
    }
    return out;
}
