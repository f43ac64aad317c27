#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

// Reads CSV text as RFC 4180 defines it, independently of the writer under
// test: records end with CR LF (a lone LF is accepted too), fields are
// separated by commas, a quoted field may hold commas, line breaks and
// doubled quotes. Strict: a quote inside an unquoted field, or text after a
// closing quote, makes the result empty.
inline QList<QStringList> readCsv(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false, inQuotes = false, afterQuote = false;
    auto endField = [&] {
        record << field;
        field.clear();
        quoted = inQuotes = afterQuote = false;
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else
                inQuotes = false, afterQuote = true;
        } else if (c == QLatin1Char(',')) {
            endField();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && (i + 1 >= text.size() || text.at(i + 1) != QLatin1Char('\n')))
                return {};
            if (c == QLatin1Char('\r'))
                ++i;
            endField();
            records << record;
            record.clear();
        } else if (c == QLatin1Char('"')) {
            if (quoted || !field.isEmpty())
                return {};
            quoted = inQuotes = true;
        } else {
            if (afterQuote)
                return {};
            field += c;
        }
    }
    if (inQuotes)
        return {};
    if (!field.isEmpty() || !record.isEmpty() || quoted) {
        endField();
        records << record;
    }
    return records;
}

// The records of a file; empty when it cannot be read.
inline QList<QStringList> readCsvFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? readCsv(file.readAll()) : QList<QStringList>();
}
