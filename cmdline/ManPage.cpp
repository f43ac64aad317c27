#include "cmdline/ManPage.h"

#include <QRegularExpression>

namespace CommandLine {

namespace {

// Plain text for roff: backslashes escaped, and the characters a shell
// reads (dashes, quotes, tildes, carets) set as themselves, so that what the
// page shows can be typed as it is shown.
QString escape(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\e");
            break;
        case '-':
            out += QLatin1String("\\-");
            break;
        case '\'':
            out += QLatin1String("\\(aq");
            break;
        case '`':
            out += QLatin1String("\\(ga");
            break;
        case '~':
            out += QLatin1String("\\(ti");
            break;
        case '^':
            out += QLatin1String("\\(ha");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString line(const QString &text)
{
    return text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')) ? QStringLiteral("\\&") + text
                                                                                   : text;
}

// Words in capitals in italics (what the user fills in), other words in bold
// (what is typed as it is), brackets and separators upright.
QString styled(const QString &text)
{
    static const QRegularExpression token(QStringLiteral("[^\\s\\[\\]|,={}]+"));
    static const QRegularExpression placeholder(QStringLiteral("^[A-Z][A-Z0-9_]*([./][A-Za-z0-9_]+)*(\\.\\.\\.|…)?$"));
    QString out;
    int at = 0;
    for (auto it = token.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += escape(text.mid(at, match.capturedStart() - at));
        const QString word = match.captured();
        if (word == QLatin1String("...") || word == QLatin1String("…"))
            out += escape(word);
        else
            out += (placeholder.match(word).hasMatch() ? QStringLiteral("\\fI") : QStringLiteral("\\fB")) +
                   escape(word) + QStringLiteral("\\fR");
        at = match.capturedEnd();
    }
    return out + escape(text.mid(at));
}

void paragraphs(QStringList &out, const QString &text)
{
    for (const QString &paragraph : text.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
        const QStringList lines = paragraph.split(QLatin1Char('\n'));
        // Lines that begin with a space are set as they are.
        if (lines.first().startsWith(QLatin1Char(' '))) {
            out << QStringLiteral(".PP") << QStringLiteral(".RS 4") << QStringLiteral(".nf");
            for (const QString &kept : lines)
                out << line(escape(kept.trimmed()));
            out << QStringLiteral(".fi") << QStringLiteral(".RE");
            continue;
        }
        out << QStringLiteral(".PP") << line(escape(paragraph.simplified()));
    }
}

} // namespace

std::vector<std::pair<QString, QString>> optionItems(const Options &options)
{
    std::vector<std::pair<QString, QString>> items;
    for (const Option &option : options)
        items.emplace_back(option.synopsis(), option.helpText());
    return items;
}

QString roff(const ManPage &page)
{
    QStringList out;
    out << QStringLiteral(".\\\" Made by the build from the program's own declarations of its command line;")
        << QStringLiteral(".\\\" change those, not this file.")
        << QStringLiteral(".TH %1 1 \"\" \"%2\" \"%3\"").arg(page.name.toUpper(), escape(page.source), page.manual)
        // Option names are never hyphenated, and the text is not stretched.
        << QStringLiteral(".nh") << QStringLiteral(".ad l") << QStringLiteral(".SH NAME")
        << line(escape(page.name) + QStringLiteral(" \\- ") + escape(page.summary)) << QStringLiteral(".SH SYNOPSIS");
    for (const QString &synopsis : page.synopsis)
        out << QStringLiteral(".PP") << line(styled(synopsis));
    for (const ManSection &section : page.sections) {
        out << (section.subsection ? QStringLiteral(".SS ") : QStringLiteral(".SH ")) + escape(section.title);
        for (const QString &code : section.code)
            out << QStringLiteral(".PP") << line(styled(code));
        paragraphs(out, section.text);
        for (const auto &item : section.items)
            out << QStringLiteral(".TP") << line(styled(item.first)) << line(escape(item.second));
        for (const Example &example : section.examples)
            out << QStringLiteral(".PP") << line(escape(example.purpose)) << QStringLiteral(".RS 4")
                << QStringLiteral(".nf") << line(escape(example.command)) << QStringLiteral(".fi")
                << QStringLiteral(".RE");
        paragraphs(out, section.after);
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace CommandLine
