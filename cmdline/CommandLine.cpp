#include "cmdline/CommandLine.h"

#include <algorithm>

namespace CommandLine {

Option Option::flag(const QStringList &names, const QString &help)
{
    Option option;
    option.names = names;
    option.help = help;
    return option;
}

Option Option::text(const QStringList &names, const QString &value, const QString &help)
{
    Option option = flag(names, help);
    option.kind = Kind::Text;
    option.value = value;
    return option;
}

Option Option::integer(const QStringList &names, const QString &value, qint64 min, qint64 max, const QString &help)
{
    Option option = text(names, value, help);
    option.kind = Kind::Integer;
    option.min = min;
    option.max = max;
    return option;
}

Option Option::number(const QStringList &names, const QString &value, const QString &help)
{
    Option option = text(names, value, help);
    option.kind = Kind::Number;
    return option;
}

Option Option::file(const QStringList &names, const QString &value, const QString &pattern, const QString &help)
{
    Option option = text(names, value, help);
    option.kind = Kind::File;
    option.pattern = pattern;
    return option;
}

Option Option::serial(const QStringList &names, const QString &help)
{
    Option option = text(names, QStringLiteral("SERIAL"), help);
    option.kind = Kind::Serial;
    return option;
}

Option Option::choice(const QStringList &names, const QString &value, const QStringList &choices, const QString &help)
{
    Option option = text(names, value, help);
    option.kind = Kind::Choice;
    option.choices = choices;
    return option;
}

Option Option::attached() const
{
    Option option = *this;
    option.attachedValue = true;
    return option;
}

Option Option::optional() const
{
    Option option = *this;
    option.optionalValue = true;
    return option;
}

Option Option::repeated() const
{
    Option option = *this;
    option.repeatable = true;
    return option;
}

Option Option::with(const QStringList &options) const
{
    Option option = *this;
    option.goesWith = options;
    return option;
}

QString Option::what() const
{
    switch (kind) {
    case Kind::Flag:
        break;
    case Kind::Integer:
        return QStringLiteral("a whole number");
    case Kind::Number:
        return QStringLiteral("a number");
    case Kind::File:
        return QStringLiteral("a file name");
    case Kind::Serial:
        return QStringLiteral("a serial number");
    case Kind::Choice:
        return QStringLiteral("one of ") + choices.join(QStringLiteral(", "));
    case Kind::Text:
        return QStringLiteral("a value (") + value + QLatin1Char(')');
    }
    return QString();
}

QString Option::synopsis() const
{
    return (names.mid(0, names.size() - 1) + QStringList{usage()}).join(QStringLiteral(", "));
}

QString Option::usage() const
{
    if (!takesValue())
        return name();
    if (attachedValue)
        return name() + QStringLiteral("[=%1]").arg(value);
    return name() + (optionalValue ? QStringLiteral(" [%1]").arg(value) : QLatin1Char(' ') + value);
}

QString Option::helpText() const
{
    QString text = help;
    return text.replace(QLatin1String("{min}"), QString::number(min))
        .replace(QLatin1String("{max}"), QString::number(max));
}

bool Option::matches(const QString &arg) const
{
    for (const QString &name : names)
        if (arg == name ||
            (takesValue() && name.startsWith(QLatin1String("--")) && arg.startsWith(name + QLatin1Char('='))))
            return true;
    return false;
}

const Option *find(const Options &options, const QString &arg)
{
    for (const Option &option : options)
        if (option.matches(arg))
            return &option;
    return nullptr;
}

bool numeric(Kind kind)
{
    return kind == Kind::Integer || kind == Kind::Number;
}

namespace {

// Edits (insertions, deletions, substitutions, swaps of neighbours) that
// turn a into b.
int distance(const QString &a, const QString &b)
{
    const int n = a.size(), m = b.size();
    std::vector<std::vector<int>> d(size_t(n + 1), std::vector<int>(size_t(m + 1)));
    for (int i = 0; i <= n; ++i)
        d[size_t(i)][0] = i;
    for (int j = 0; j <= m; ++j)
        d[0][size_t(j)] = j;
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= m; ++j) {
            const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            int best = std::min({d[size_t(i - 1)][size_t(j)] + 1, d[size_t(i)][size_t(j - 1)] + 1,
                                 d[size_t(i - 1)][size_t(j - 1)] + cost});
            if (i > 1 && j > 1 && a.at(i - 1) == b.at(j - 2) && a.at(i - 2) == b.at(j - 1))
                best = std::min(best, d[size_t(i - 2)][size_t(j - 2)] + 1);
            d[size_t(i)][size_t(j)] = best;
        }
    return d[size_t(n)][size_t(m)];
}

QString bare(const QString &word)
{
    int start = 0;
    while (start < word.size() && word.at(start) == QLatin1Char('-'))
        ++start;
    return word.mid(start).toLower();
}

} // namespace

QString nearest(const QString &word, const QStringList &candidates)
{
    const QString typed = bare(word.section(QLatin1Char('='), 0, 0));
    if (typed.isEmpty())
        return QString();
    // A unique beginning of at least three letters is what was meant.
    QStringList beginning;
    for (const QString &candidate : candidates)
        if (typed.size() >= 3 && bare(candidate).startsWith(typed))
            beginning << candidate;
    if (beginning.size() == 1)
        return beginning.first();
    // Otherwise the closest, within a typing slip or two for longer words.
    const int allowed = typed.size() <= 4 ? 1 : 2;
    QString best;
    int bestDistance = allowed + 1;
    for (const QString &candidate : candidates) {
        const int d = distance(typed, bare(candidate));
        if (d < bestDistance) {
            best = candidate;
            bestDistance = d;
        }
    }
    return best;
}

bool parseInteger(const QString &text, const QString &what, qint64 min, qint64 max, qint64 &out, QString &error)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n < min || n > max) {
        error =
            QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"").arg(what).arg(min).arg(max).arg(text);
        return false;
    }
    out = n;
    return true;
}

namespace {

// Wraps one paragraph to width - indent columns.
QStringList wrapParagraph(const QString &paragraph, int room)
{
    QStringList lines{QString()};
    for (const QString &word : paragraph.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!lines.last().isEmpty() && lines.last().size() + 1 + word.size() > room)
            lines << QString();
        lines.last() += (lines.last().isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return lines;
}

} // namespace

QString wrap(const QString &text, int indent, int width)
{
    const QString margin(indent, QLatin1Char(' '));
    QString out;
    QString paragraph;
    auto flush = [&] {
        if (paragraph.isEmpty())
            return;
        for (const QString &line : wrapParagraph(paragraph, width - indent))
            out += margin + line + QLatin1Char('\n');
        paragraph.clear();
    };
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty()) {
            flush();
            if (!out.isEmpty() && !out.endsWith(QLatin1String("\n\n")))
                out += QLatin1Char('\n');
        } else if (line.startsWith(QLatin1Char(' '))) {
            flush();
            out += margin + line + QLatin1Char('\n');
        } else {
            paragraph += QLatin1Char(' ') + line;
        }
    }
    flush();
    return out;
}

QString columns(const std::vector<std::pair<QString, QString>> &rows, int indent, int textColumn, int width)
{
    QString out;
    const QString margin(textColumn, QLatin1Char(' '));
    for (const auto &row : rows) {
        QString first = QString(indent, QLatin1Char(' ')) + row.first;
        QStringList lines = wrapParagraph(row.second, width - textColumn);
        if (first.size() + 2 > textColumn) {
            out += first + QLatin1Char('\n');
        } else if (!lines.isEmpty()) {
            out += first.leftJustified(textColumn) + lines.takeFirst() + QLatin1Char('\n');
        }
        for (const QString &line : lines)
            out += margin + line + QLatin1Char('\n');
    }
    return out;
}

} // namespace CommandLine
