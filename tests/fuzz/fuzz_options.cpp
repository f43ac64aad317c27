// Command-line arguments of any content: the input is split at zero bytes.
#include "FuzzSupport.h"

#include "app/Options.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringList args{QStringLiteral("torvan60")};
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    for (const QByteArray &arg : bytes.split('\0'))
        args << QString::fromLocal8Bit(arg);
    const Options options = parseOptions(args);
    // An option that needs a value never takes the next option as one.
    for (int i = 1; i + 1 < args.size(); ++i)
        if (args.at(i) == QLatin1String("--trace") && args.at(i + 1).startsWith(QLatin1Char('-')) &&
            options.error.isEmpty())
            std::abort();
    if (options.error.isEmpty() && options.board.traceFile.isEmpty() && args.contains(QStringLiteral("--trace")))
        std::abort();
    return 0;
}
