#include "cli/Output.h"

#include <cstdio>

#include <unistd.h>

namespace Out {

bool line(const QString &text)
{
    return bytes(text.toUtf8() + '\n');
}

bool bytes(const QByteArray &data)
{
    std::fwrite(data.constData(), 1, static_cast<size_t>(data.size()), stdout);
    std::fflush(stdout);
    return !std::ferror(stdout);
}

void raw(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void error(const QString &text)
{
    std::fprintf(stderr, "torvan60ctl: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

void warning(const QString &text)
{
    std::fprintf(stderr, "torvan60ctl: warning: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

bool stdoutIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

bool stdinIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

} // namespace Out
