#include "record/Csv.h"

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

CsvLine &CsvLine::addText(const QString &text)
{
    separate();
    bytes.append(quoted(text));
    return *this;
}

CsvLine &CsvLine::addNumber(double value, int decimals)
{
    separate();
    // QByteArray's number formatting is the C locale's, never the process's.
    if (std::isfinite(value))
        bytes.append(QByteArray::number(value, 'f', decimals));
    return *this;
}

CsvLine &CsvLine::addInteger(qint64 value)
{
    separate();
    bytes.append(QByteArray::number(value));
    return *this;
}

CsvLine &CsvLine::addHex(quint64 value, int digits)
{
    separate();
    bytes.append("0x");
    bytes.append(QByteArray::number(value, 16).toUpper().rightJustified(digits, '0'));
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
