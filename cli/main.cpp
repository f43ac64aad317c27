#include "cli/Commands.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("torvan60ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TORVAN_VERSION));
    return runTool(QCoreApplication::arguments());
}
