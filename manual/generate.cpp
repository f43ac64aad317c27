// Writes the manual pages torvan60ctl.1 and torvan60.1 and the bash
// completion of torvan60ctl (completions/torvan60ctl) into the folder given,
// from the tools' own declarations of their options and commands. Run by the
// build; not installed.
#include "app/Options.h"
#include "cli/Help.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool write(const QString &path, const QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0 || !file.flush()) {
        std::fprintf(stderr, "torvan60-manual: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: torvan60-manual FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("completions")))
        return 1;
    const bool written = write(folder.filePath(QStringLiteral("torvan60ctl.1")), CommandLine::roff(Cli::manPage())) &&
                         write(folder.filePath(QStringLiteral("torvan60.1")), CommandLine::roff(windowManPage())) &&
                         write(folder.filePath(QStringLiteral("completions/torvan60ctl")), Cli::bashCompletion());
    return written ? 0 : 1;
}
