// Replays a fuzz target's corpus in the normal build: every file of the
// folders (or every file) given is one input. A crash or a failed check ends
// the run with the input named, so every case ever found stays fixed.
#include "FuzzSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTextStream>

int main(int argc, char *argv[])
{
    ensureApplication();
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString root = QString::fromLocal8Bit(argv[i]);
        QStringList files;
        if (QFileInfo(root).isDir()) {
            QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
            files.sort();
        } else {
            files << root;
        }
        for (const QString &path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                QTextStream(stderr) << "cannot read " << path << "\n";
                return 1;
            }
            const QByteArray bytes = file.readAll();
            QTextStream(stdout) << "input " << path << " (" << bytes.size() << " bytes)\n";
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            ++inputs;
        }
    }
    QTextStream(stdout) << inputs << " inputs replayed\n";
    return inputs > 0 ? 0 : 1; // an empty corpus is a broken test, not a pass
}
