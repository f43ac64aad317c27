// Command-line arguments of any content: the input is split at zero bytes.
// Checked: whatever the parser accepts it also holds, and the transport
// chain can be built from it; a value is never another option; an option
// it knows is never passed over as one it ignores.
#include "FuzzSupport.h"

#include "app/Options.h"
#include "device/TransportChain.h"
#include "support/ManualClock.h"

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool holds, const char *what, const QStringList &args)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz_options: %s\n  arguments: %s\n", what,
                 args.join(QLatin1Char(' ')).left(300).toLocal8Bit().constData());
    std::abort();
}

// Whether an option with a value was given, as "name VALUE" or "name=VALUE".
bool given(const QStringList &args, const QString &name)
{
    for (int i = 1; i < args.size(); ++i)
        if (args.at(i) == name || (name.startsWith(QLatin1String("--")) && args.at(i).startsWith(name + '=')))
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringList args{QStringLiteral("torvan60")};
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    for (const QByteArray &arg : bytes.split('\0'))
        args << QString::fromLocal8Bit(arg);
    const Options options = parseOptions(args);
    // An option that needs a value never takes the next option as one.
    for (int i = 1; i + 1 < args.size(); ++i)
        require(!(args.at(i) == QLatin1String("--trace") && args.at(i + 1).startsWith(QLatin1Char('-')) &&
                  options.error.isEmpty()),
                "--trace took the next option as its file", args);
    if (!options.error.isEmpty())
        return 0;

    // Every option taken is held, with a value where it needs one.
    const BoardOptions &board = options.board;
    require(!given(args, QStringLiteral("--trace")) || !board.traceFile.isEmpty(), "--trace taken without a file",
            args);
    require(!given(args, QStringLiteral("--open")) || !options.openFile.isEmpty(), "--open taken without a file", args);
    require(!(given(args, QStringLiteral("--serial")) || given(args, QStringLiteral("-d"))) || !board.serial.isEmpty(),
            "--serial taken without a serial", args);
    bool simulateGiven = given(args, QStringLiteral("--simulate-boards"));
    for (const QString &arg : args.mid(1))
        simulateGiven =
            simulateGiven || arg == QLatin1String("--simulate") || arg.startsWith(QLatin1String("--simulate="));
    require(board.simulate == simulateGiven, "--simulate not held as given", args);
    require(board.simulatedBoards >= 1 && board.simulatedBoards <= MaxSimulatedBoards,
            "a number of simulated boards out of range", args);

    // What is passed over is never an option the window knows.
    static const QStringList known = {
        QStringLiteral("--simulate"), QStringLiteral("--simulate-boards"), QStringLiteral("--serial"),
        QStringLiteral("-d"),         QStringLiteral("--trace"),           QStringLiteral("--open"),
        QStringLiteral("--user-dir"), QStringLiteral("--check"),           QStringLiteral("--no-service")};
    for (const QString &arg : options.ignored)
        require(!known.contains(arg), "a known option was ignored", args);

    // The simulated boards asked for can be made (no trace file is written).
    if (board.simulate) {
        ManualClock clock;
        TransportChain chain(clock);
        BoardOptions simulated = board;
        simulated.traceFile.clear();
        require(chain.build(simulated).isEmpty(), "accepted options the transport chain cannot build", args);
    }
    return 0;
}
