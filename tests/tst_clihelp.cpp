// torvan60ctl's help, its usage errors, its manual page and its shell
// completion, all made from the declarations of its commands; and every
// example they give, run as written on the simulated board.
#include "app/Options.h"
#include "cli/Command.h"
#include "cli/Help.h"
#include "support/ProcessRun.h"
#include "support/TestLanes.h"
#include "support/TextFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int FinishMs = 60000;

using Result = ProcessResult;

Result run(const QString &program, const QStringList &args, const QString &dir = QString(),
           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!dir.isEmpty())
        process.setWorkingDirectory(dir);
    process.start(program, args);
    return finishProcess(process, FinishMs);
}

Result ctl(const QStringList &args)
{
    return run(QStringLiteral(TORVAN60CTL), args);
}

} // namespace

class TestCliHelp : public QObject
{
    Q_OBJECT

private slots:
    void helpOfEveryCommand_data()
    {
        QTest::addColumn<QString>("name");
        for (const Cli::Command &command : Cli::commands())
            QTest::newRow(qPrintable(command.name)) << command.name;
    }
    // "help COMMAND" and "COMMAND --help" show the same text: the command's
    // usage with every option and argument it takes, its exit codes and its
    // examples. The overview points at it.
    void helpOfEveryCommand()
    {
        QFETCH(QString, name);
        const Cli::Command &command = *Cli::findCommand(name);
        const Result help = ctl({QStringLiteral("help"), name});
        QCOMPARE(help.code, 0);
        QCOMPARE(help.err, QString());
        const Result asked = ctl({name, QStringLiteral("--help")});
        QCOMPARE(asked.code, 0);
        QCOMPARE(asked.out, help.out);

        static const QRegularExpression optionWord(QStringLiteral("(?:^|[\\s\\[])(--?[a-z][a-z-]*)"));
        for (const Cli::Form &form : command.forms) {
            const QString synopsis = command.synopsis(form);
            QVERIFY2(help.out.contains(QStringLiteral("torvan60ctl [OPTIONS] ") + synopsis + QLatin1Char('\n')),
                     qPrintable(help.out));
            for (const CommandLine::Option &option : form.options) {
                QVERIFY2(help.out.contains(QStringLiteral("\n  ") + option.synopsis() + QLatin1Char(' ')) ||
                             help.out.contains(QStringLiteral("\n  ") + option.synopsis() + QLatin1Char('\n')),
                         qPrintable(command.formName(form) + QStringLiteral(": ") + option.name()));
                QVERIFY2(synopsis.contains(option.usage()), qPrintable(option.name()));
            }
            // Nothing in the synopsis that the form does not declare.
            for (auto it = optionWord.globalMatch(synopsis); it.hasNext();) {
                const QString word = it.next().captured(1);
                QVERIFY2(CommandLine::find(form.options, word), qPrintable(synopsis + QStringLiteral(": ") + word));
            }
            for (const Cli::Argument &argument : form.arguments)
                QVERIFY2(help.out.contains(QStringLiteral("\n  ") + argument.name + QLatin1Char(' ')),
                         qPrintable(argument.name));
        }
        const QString exits =
            help.out.section(QStringLiteral("\nExit codes:\n"), 1).section(QStringLiteral("\n\n"), 0, 0);
        for (const CommandLine::ExitCode &code : Cli::exitCodes(command))
            QVERIFY2(exits.contains(QStringLiteral("\n  %1  ").arg(code.code)) ||
                         exits.startsWith(QStringLiteral("  %1  ").arg(code.code)),
                     qPrintable(exits));
        // Two at least: a command's plain use and one of its variations.
        QVERIFY2(command.examples.size() >= 2, qPrintable(name));
        for (const CommandLine::Example &example : command.examples)
            QVERIFY2(help.out.contains(QStringLiteral("\n      ") + example.command + QLatin1Char('\n')),
                     qPrintable(example.command));
    }

    // The overview is short: the commands with a line each, no command's
    // own options; -h after a command is that command's help.
    void overviewListsTheCommandsOnly()
    {
        const Result help = ctl({QStringLiteral("help")});
        QCOMPARE(help.code, 0);
        QCOMPARE(ctl({QStringLiteral("--help")}).out, help.out);
        QCOMPARE(ctl({QStringLiteral("-h")}).out, help.out);
        for (const Cli::Command &command : Cli::commands()) {
            QVERIFY2(help.out.contains(QStringLiteral("\n  %1 ").arg(command.name)), qPrintable(command.name));
            for (const Cli::Form &form : command.forms)
                for (const CommandLine::Option &option : form.options)
                    QVERIFY2(!help.out.contains(option.name() + QLatin1Char(' ')), qPrintable(option.name()));
        }
        for (const CommandLine::Option &option : Cli::globalOptions())
            QVERIFY2(help.out.contains(option.synopsis()), qPrintable(option.name()));
        QVERIFY(help.out.contains(QLatin1String("torvan60ctl help COMMAND")));
        const Result status = ctl({QStringLiteral("status"), QStringLiteral("-h")});
        QCOMPARE(status.code, 0);
        QCOMPARE(status.out, ctl({QStringLiteral("help"), QStringLiteral("status")}).out);
    }

    // Every option a form declares is taken with a value of its kind (and
    // the options and words it needs beside it), and read back as given.
    void everyDeclaredOptionIsTaken()
    {
        auto sample = [](CommandLine::Kind kind, qint64 min, const QStringList &choices) {
            switch (kind) {
            case CommandLine::Kind::Integer:
                return QString::number(min);
            case CommandLine::Kind::Number:
                return QStringLiteral("1");
            case CommandLine::Kind::Choice:
                return choices.value(0);
            default:
                return QStringLiteral("x");
            }
        };
        int taken = 0;
        for (const Cli::Command &command : Cli::commands())
            for (const Cli::Form &form : command.forms)
                for (const CommandLine::Option &option : form.options) {
                    QStringList words;
                    if (!form.action.isEmpty())
                        words << form.action;
                    for (const Cli::Argument &argument : form.arguments)
                        if (!argument.optional)
                            words << sample(argument.kind, argument.min, argument.choices);
                    for (const QString &partner : option.goesWith.mid(0, 1)) {
                        const CommandLine::Option *declared = CommandLine::find(form.options, partner);
                        QVERIFY2(declared, qPrintable(option.name() + QStringLiteral(" goes with ") + partner));
                        words << partner;
                        if (declared->takesValue())
                            words << sample(declared->kind, declared->min, declared->choices);
                    }
                    const QString value = sample(option.kind, option.min, option.choices);
                    words << (option.takesValue() ? option.name() + QLatin1Char('=') + value : option.name());
                    const Cli::CommandArgs args(command, words);
                    QVERIFY2(args.error.isEmpty(),
                             qPrintable(words.join(QLatin1Char(' ')) + QStringLiteral(": ") + args.error));
                    QCOMPARE(args.form, &form);
                    if (option.takesValue())
                        QCOMPARE(args.value(option.name()), value);
                    else
                        QVERIFY(args.flag(option.name()));
                    ++taken;
                }
        QVERIFY(taken > 20);
    }

    // What was wrong, in the user's words, and where the help is; exit 2.
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown option before the command")
            << QStringList{"--bogus", "list"} << "unknown option --bogus (see torvan60ctl help)";
        QTest::newRow("unknown option of a command") << QStringList{"--simulate", "move", "10", "--bogus"}
                                                     << "unknown option --bogus for move (see torvan60ctl help move)";
        QTest::newRow("near miss") << QStringList{"--simulate", "move", "10", "--maxspeed", "5"}
                                   << "unknown option --maxspeed for move; did you mean --max-speed? (see "
                                      "torvan60ctl help move)";
        QTest::newRow("cut short") << QStringList{"--simulate", "move", "10", "--max", "5"}
                                   << "unknown option --max for move; did you mean --max-speed? (see torvan60ctl "
                                      "help move)";
        QTest::newRow("near miss of a global option") << QStringList{"--simulat", "list"}
                                                      << "unknown option --simulat; did you mean --simulate? (see "
                                                         "torvan60ctl help)";
        QTest::newRow("near miss of a command") << QStringList{"--simulate", "stauts"}
                                                << "unknown command \"stauts\"; did you mean status? (see "
                                                   "torvan60ctl help)";
        QTest::newRow("a command's option before it")
            << QStringList{"--max-speed", "5", "move", "10"}
            << "--max-speed is an option of move, run: give it after the command (see torvan60ctl help)";
        QTest::newRow("option of the other action") << QStringList{"--simulate", "settings", "get", "--save"}
                                                    << "--save goes with settings set (see torvan60ctl help settings)";
        QTest::newRow("repeated") << QStringList{"--simulate", "serve", "--mqtt", "mqtt://a", "--mqtt", "mqtt://b"}
                                  << "--mqtt given more than once (see torvan60ctl help serve)";
        QTest::newRow("repeated global") << QStringList{"--trace", "a", "list", "--trace", "b"}
                                         << "--trace given more than once (see torvan60ctl help)";
        QTest::newRow("several boards for a command of one")
            << QStringList{"--simulate-boards=2", "-d", "SIM60-000001", "status", "--serial", "SIM60-000002"}
            << "status takes one board; -d SERIAL is given more than once (see torvan60ctl help status)";
        QTest::newRow("missing value") << QStringList{"--simulate", "move", "10", "--accel"}
                                       << "--accel needs a whole number (see torvan60ctl help move)";
        QTest::newRow("an option is no value") << QStringList{"--simulate", "move", "10", "--accel", "--decel", "5"}
                                               << "--accel needs a whole number (see torvan60ctl help move)";
        QTest::newRow("a negative number is no file")
            << QStringList{"--simulate", "serve", "--mqtt", "mqtt://a", "--mqtt-cafile", "-4"}
            << "--mqtt-cafile needs a file name (see torvan60ctl help serve)";
        QTest::newRow("missing global value")
            << QStringList{"--trace", "--simulate", "list"} << "--trace needs a file name (see torvan60ctl help)";
        QTest::newRow("flag with a value") << QStringList{"--simulate", "status", "--json=yes"}
                                           << "--json takes no value (see torvan60ctl help status)";
        QTest::newRow("out of range") << QStringList{"--simulate", "pwm", "--a", "101"}
                                      << "--a takes a whole number from -100 to 100, not \"101\" (see torvan60ctl "
                                         "help pwm)";
        QTest::newRow("option without its partner") << QStringList{"--simulate", "serve", "--mqtt-rate", "5"}
                                                    << "--mqtt-rate needs --mqtt URL (see torvan60ctl help serve)";
        QTest::newRow("an empty word is no argument")
            << QStringList{"--simulate", "name", ""} << "name needs the new name (see torvan60ctl help name)";
        QTest::newRow("no action") << QStringList{"--simulate", "firmware"}
                                   << "firmware needs an action: check or update (see torvan60ctl help firmware)";
        QTest::newRow("help of no command")
            << QStringList{"help", "frob"} << "unknown command \"frob\" (see torvan60ctl help)";
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Result result = ctl(args);
        QCOMPARE(result.err, QStringLiteral("torvan60ctl: ") + message + QLatin1Char('\n'));
        QCOMPARE(result.code, 2);
        QCOMPARE(result.out, QString());
    }

    // Each example of the help, as written, through the shell, with the
    // built torvan60ctl first on the PATH: exit 0. Those that serve until
    // stopped are stopped with SIGTERM once they serve. A command's examples
    // run in order in a folder of their own (a later one may read a file an
    // earlier one wrote); the commands run side by side.
    void examplesRunOnTheSimulatedBoard_data()
    {
        QTest::addColumn<QString>("name");
        for (const Cli::Command &command : Cli::commands())
            QTest::newRow(qPrintable(command.name)) << command.name;
    }
    void examplesRunOnTheSimulatedBoard()
    {
        QFETCH(QString, name);
        QTemporaryDir dir, runtime, state;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"), QFileInfo(QStringLiteral(TORVAN60CTL)).absolutePath() +
                                                       QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("XDG_STATE_HOME"), state.path());
        const Cli::Command &command = *Cli::findCommand(name);
        QVERIFY(!command.examples.empty());
        for (const CommandLine::Example &example : command.examples) {
            QProcess shell;
            shell.setProcessEnvironment(environment);
            shell.setWorkingDirectory(dir.path());
            shell.start(QStringLiteral("bash"), {QStringLiteral("-c"), example.command});
            QString err;
            if (example.untilStopped) {
                QVERIFY2(QTest::qWaitFor(
                             [&] {
                                 err += QString::fromUtf8(shell.readAllStandardError());
                                 return err.contains(QLatin1String("Serving board")) ||
                                        shell.state() == QProcess::NotRunning;
                             },
                             FinishMs),
                         qPrintable(example.command));
                shell.terminate();
            }
            const Result result = finishProcess(shell, FinishMs);
            QVERIFY2(
                result.code == 0,
                qPrintable(
                    QStringLiteral("%1: exit %2: %3").arg(example.command).arg(result.code).arg(err + result.err)));
        }
    }

    // The pages the build wrote are what the declarations make now; man
    // reads them without a warning, and they name every command, every
    // option and what the tools read from their surroundings.
    void manualPages_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("roff");
        QTest::addColumn<QStringList>("names");
        QStringList ctlNames = Cli::commandNames();
        for (const CommandLine::Option &option : Cli::globalOptions())
            ctlNames << option.synopsis();
        for (const Cli::Command &command : Cli::commands())
            for (const Cli::Form &form : command.forms) {
                ctlNames << command.synopsis(form);
                for (const CommandLine::Option &option : form.options)
                    ctlNames << option.synopsis();
            }
        ctlNames << QStringLiteral("XDG_RUNTIME_DIR") << QStringLiteral("TMPDIR") << QStringLiteral("log.txt")
                 << QStringLiteral("*.tvs") << QStringLiteral("EXIT STATUS") << QStringLiteral("EXAMPLES");
        QTest::newRow("torvan60ctl") << QStringLiteral("torvan60ctl.1") << CommandLine::roff(Cli::manPage())
                                     << ctlNames;
        QStringList windowNames{QStringLiteral("XDG_STATE_HOME"),  QStringLiteral("HOME"),
                                QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("log.txt"),
                                QStringLiteral("faults/"),         QStringLiteral("~/.local/state/torvan60/"),
                                QStringLiteral("EXIT STATUS")};
        for (const CommandLine::Option &option : windowOptionDeclarations())
            windowNames << option.synopsis();
        QTest::newRow("torvan60") << QStringLiteral("torvan60.1") << CommandLine::roff(windowManPage()) << windowNames;
    }
    void manualPages()
    {
        QFETCH(QString, file);
        QFETCH(QString, roff);
        QFETCH(QStringList, names);
        const QString path = QDir(QStringLiteral(MANUAL_DIR)).filePath(file);
        QCOMPARE(QString::fromUtf8(readTextFile(path)), roff);
        if (QStandardPaths::findExecutable(QStringLiteral("man")).isEmpty())
            QSKIP("man is not installed (scripts/setup.sh installs man-db)");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("200"));
        environment.insert(QStringLiteral("MANROFFSEQ"), QString());
        const Result shown = run(
            QStringLiteral("man"),
            {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"), QStringLiteral("-l"), path},
            QString(), environment);
        QCOMPARE(shown.code, 0);
        QCOMPARE(shown.err, QString());
        // As a reader sees it: one space between words.
        const QString text = shown.out.simplified();
        for (const QString &name : names)
            QVERIFY2(text.contains(name), qPrintable(name));
    }

    // The completion the build wrote is what the declarations make now; in
    // bash it offers every command and, per command, every option it takes.
    void completionOffersEveryCommandAndOption()
    {
        const QString script = QDir(QStringLiteral(MANUAL_DIR)).filePath(QStringLiteral("completions/torvan60ctl"));
        QCOMPARE(QString::fromUtf8(readTextFile(script)), Cli::bashCompletion());
        QString probe = QStringLiteral(". \"$1\"\ncomplete -p torvan60ctl\n");
        QStringList expected{QStringLiteral("complete -F _torvan60ctl torvan60ctl")};
        QStringList globals;
        for (const CommandLine::Option &option : Cli::globalOptions())
            globals << option.names;
        for (const Cli::Command &command : Cli::commands())
            for (const Cli::Form &form : command.forms) {
                probe += QStringLiteral("echo \"%1:\" $(__torvan60ctl_options %2 '%3')\n")
                             .arg(command.formName(form), command.name, form.action);
                QStringList names;
                for (const CommandLine::Option &option : form.options)
                    names << option.names;
                expected << command.formName(form) + QStringLiteral(": ") + (names + globals).join(QLatin1Char(' '));
            }
        Result result = run(QStringLiteral("bash"),
                            {QStringLiteral("--norc"), QStringLiteral("-c"), probe, QStringLiteral("probe"), script});
        QCOMPARE(result.err, QString());
        // The options of --simulate's attached value are offered as "--simulate=" as well.
        QCOMPARE(result.out.remove(QStringLiteral(" --simulate=")).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 expected);
    }

    // Completion as bash runs it: the words so far in COMP_WORDS, the one
    // under the cursor at COMP_CWORD, the replies in COMPREPLY. With
    // Debian's bash-completion loaded first where it is installed.
    void completes_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("replies");
        QTest::newRow("a command") << QStringList{"torvan60ctl", "mo"} << QStringList{"move"};
        QTest::newRow("an option") << QStringList{"torvan60ctl", "--simulate", "move", "10", "--max"}
                                   << QStringList{"--max-speed"};
        QTest::newRow("a global option after the command")
            << QStringList{"torvan60ctl", "status", "--tr"} << QStringList{"--trace"};
        QTest::newRow("a scenario") << QStringList{"torvan60ctl", "--simulate", "=", "gl"} << QStringList{"glitch"};
        QTest::newRow("every scenario") << QStringList{"torvan60ctl", "--simulate", "="}
                                        << simulationScenarioNamesForTest();
        QTest::newRow("an action") << QStringList{"torvan60ctl", "firmware", ""} << QStringList{"check", "update"};
        QTest::newRow("a settings file") << QStringList{"torvan60ctl", "settings", "set", ""}
                                         << QStringList{"bench.tvs", "folder"};
        QTest::newRow("a file to trace to")
            << QStringList{"torvan60ctl", "--trace", "b"} << QStringList{"bench.tvs", "bench.txt"};
        QTest::newRow("no file for a number") << QStringList{"torvan60ctl", "move", "--accel", ""} << QStringList{};
        QTest::newRow("the boards' serials") << QStringList{TORVAN60CTL, "--simulate-boards", "2", "status", "-d", ""}
                                             << QStringList{"SIM60-000001", "SIM60-000002"};
        QTest::newRow("a command to help with") << QStringList{"torvan60ctl", "help", "fi"} << QStringList{"firmware"};
    }
    void completes()
    {
        QFETCH(QStringList, words);
        QFETCH(QStringList, replies);
        QTemporaryDir dir;
        QVERIFY(writeTextFile(dir.filePath(QStringLiteral("bench.tvs")), "[DriverSettings]\n"));
        QVERIFY(writeTextFile(dir.filePath(QStringLiteral("bench.txt")), "notes\n"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QString script = QDir(QStringLiteral(MANUAL_DIR)).filePath(QStringLiteral("completions/torvan60ctl"));
        const QString bashCompletion = QStringLiteral("/usr/share/bash-completion/bash_completion");
        const QString probe =
            QStringLiteral("[ -r %1 ] && . %1\n"
                           ". \"$1\"; shift\n"
                           "COMP_WORDS=(\"$@\"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                           "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}\n"
                           "$(complete -p torvan60ctl | sed 's/.* -F \\([^ ]*\\) .*/\\1/') torvan60ctl\n"
                           "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
                .arg(bashCompletion);
        const Result result = run(
            QStringLiteral("bash"),
            QStringList{QStringLiteral("--norc"), QStringLiteral("-c"), probe, QStringLiteral("probe"), script} + words,
            dir.path());
        QCOMPARE(result.err, QString());
        QStringList got = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        got.sort();
        QCOMPARE(got, replies);
    }

private:
    static QStringList simulationScenarioNamesForTest()
    {
        QStringList names = CommandLine::find(Cli::globalOptions(), QStringLiteral("--simulate"))->choices;
        names.sort();
        return names;
    }
};

// Most rows wait on torvan60ctl's own processes: they run side by side.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestCliHelp test;
    QTEST_SET_MAIN_SOURCE_PATH
    return TestLanes::exec(&test, argc, argv);
}
#include "tst_clihelp.moc"
