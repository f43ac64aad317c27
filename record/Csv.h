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
// keeps its buffer between lines, and numbers are formatted without
// allocating, so a line costs little once the longest has been seen.
class CsvLine
{
public:
    // Asks addNumber for as many decimals as it takes to read back the same
    // double, and no more.
    static constexpr int ShortestDecimals = -1;

    CsvLine() { bytes.reserve(256); }

    // Text as it is; quoted when it needs to be.
    CsvLine &addText(const QString &text);
    // A field already in its CSV form (see quoted()): for texts used over and
    // over, converted once.
    CsvLine &addField(const QByteArray &field);
    // Fixed-point with this many decimals ("-1.250" for -1.25 and 3), or
    // ShortestDecimals. A value that is not a number or infinite is written as
    // an empty field.
    CsvLine &addNumber(double value, int decimals);
    CsvLine &addInteger(qint64 value);
    // Upper-case hexadecimal with the prefix 0x and at least digits digits.
    CsvLine &addHex(quint64 value, int digits);
    // Ends the line (CR LF) and returns all of it.
    const QByteArray &finish();
    void clear();
    bool isEmpty() const { return bytes.isEmpty(); }

    // One field in its CSV form: text in UTF-8, quoted when needed.
    static QByteArray quoted(const QString &text);

private:
    void separate();
    // Appends the field text..end, whose buffer has room before text.
    void appendField(char *text, char *end);

    QByteArray bytes;
    bool firstField = true;
};
