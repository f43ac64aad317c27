#include "record/Csv.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

bool needsQuotes(const QByteArray &field)
{
    for (char c : field)
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    return false;
}

} // namespace

QByteArray CsvLine::quoted(const QString &text)
{
    QByteArray field = text.toUtf8();
    if (!needsQuotes(field))
        return field;
    field.replace('"', QByteArrayLiteral("\"\""));
    field.prepend('"');
    field.append('"');
    return field;
}

void CsvLine::separate()
{
    if (!firstField)
        bytes.append(',');
    firstField = false;
}

void CsvLine::appendField(char *text, char *end)
{
    // text[-1] is free for the separator: one append per field.
    char *from = text;
    if (!firstField)
        *--from = ',';
    firstField = false;
    bytes.append(from, int(end - from));
}

CsvLine &CsvLine::addText(const QString &text)
{
    return addField(quoted(text));
}

CsvLine &CsvLine::addField(const QByteArray &field)
{
    separate();
    bytes.append(field);
    return *this;
}

CsvLine &CsvLine::addNumber(double value, int decimals)
{
    // std::to_chars never looks at the locale. Room for any double written
    // out in full.
    char buffer[400];
    char *text = buffer + 1;
    char *end = text;
    if (std::isfinite(value)) {
        const std::to_chars_result r =
            decimals < 0
                ? std::to_chars(text, buffer + sizeof buffer, value, std::chars_format::fixed)
                : std::to_chars(text, buffer + sizeof buffer, value, std::chars_format::fixed, std::min(decimals, 60));
        if (r.ec == std::errc())
            end = r.ptr;
    }
    appendField(text, end);
    return *this;
}

CsvLine &CsvLine::addInteger(qint64 value)
{
    char buffer[24];
    char *text = buffer + 1;
    appendField(text, std::to_chars(text, buffer + sizeof buffer, value).ptr);
    return *this;
}

CsvLine &CsvLine::addHex(quint64 value, int digits)
{
    char digitsText[16];
    const char *digitsEnd = std::to_chars(digitsText, digitsText + sizeof digitsText, value, 16).ptr;
    char buffer[40];
    char *text = buffer + 1;
    char *out = text;
    *out++ = '0';
    *out++ = 'x';
    for (int n = int(digitsEnd - digitsText); n < std::min(digits, 16); ++n)
        *out++ = '0';
    for (const char *c = digitsText; c != digitsEnd; ++c)
        *out++ = *c >= 'a' ? char(*c - 'a' + 'A') : *c;
    appendField(text, out);
    return *this;
}

const QByteArray &CsvLine::finish()
{
    bytes.append("\r\n");
    return bytes;
}

void CsvLine::clear()
{
    bytes.resize(0); // keeps the reserved buffer, unlike clear()
    firstField = true;
}
