#pragma once

#include <QByteArray>
#include <QString>

// Builds lines of comma-separated values as RFC 4180 has them, in UTF-8:
// fields separated by commas, each line ended by CR LF, and a field quoted
// ("...") when it holds a comma, a double quote, a CR or a LF, its quotes
// doubled. Numbers are always written with a dot as decimal separator and no
// group separators, whatever the locale of the process.
//
// Usage: add the fields of one line, take the bytes with finish(), write
// them where they belong, clear() and go on with the next line. The line
// keeps its buffer between lines.
class CsvLine
{
public:
    CsvLine() { bytes.reserve(256); }

    // Text as it is; quoted when it needs to be.
    CsvLine &addText(const QString &text);
    // Fixed-point with this many decimals ("-1.250" for -1.25 and 3). A value
    // that is not a number or infinite is written as an empty field.
    CsvLine &addNumber(double value, int decimals);
    CsvLine &addInteger(qint64 value);
    // Upper-case hexadecimal with the prefix 0x and at least digits digits.
    CsvLine &addHex(quint64 value, int digits);
    // Ends the line (CR LF) and returns all of it.
    const QByteArray &finish();
    void clear();
    bool isEmpty() const { return bytes.isEmpty(); }

    // One field as it appears in a line: text, quoted when needed.
    static QByteArray quoted(const QString &text);

private:
    void separate();

    QByteArray bytes;
    bool firstField = true;
};
