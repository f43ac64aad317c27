#include "log/LogText.h"
#include "log/Logger.h"
#include "support/CapturingPane.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestLogger : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

    static QByteArray readAll(const QString &fileName)
    {
        QFile f(fileName);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private slots:
    void sizeRuleAtStart_data()
    {
        QTest::addColumn<qint64>("existing");
        QTest::addColumn<bool>("kept");
        QTest::newRow("exactly 2,000,000 bytes is appended to") << qint64(2000000) << true;
        QTest::newRow("2,000,001 bytes starts afresh") << qint64(2000001) << false;
        QTest::newRow("small file is appended to") << qint64(10) << true;
    }

    void sizeRuleAtStart()
    {
        QFETCH(qint64, existing);
        QFETCH(bool, kept);
        const QString name = path(QStringLiteral("size.txt"));
        {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(int(existing), 'x'));
        }
        {
            Logger logger(nullptr, name, nullptr);
            logger.write(QStringLiteral("next"));
        }
        const QByteArray content = readAll(name);
        QCOMPARE(content.startsWith("xxxx"), kept);
        QVERIFY(content.endsWith(" next\n"));
        const qint64 lineLength = content.size() - (kept ? existing : 0);
        QCOMPARE(lineLength, qint64(QByteArray("yyyy.MM.dd. hh:mm:ss next\n").size()));
    }

    void lineFormatAndOrder()
    {
        const QString name = path(QStringLiteral("format.txt"));
        CapturingPane pane;
        {
            Logger logger(nullptr, name, &pane);
            logger.write(QStringLiteral("first"));
            // Each line is out in the file when write returns.
            QCOMPARE(readAll(name).count('\n'), 1);
            logger.write(QStringLiteral("second"));
        }
        const QList<QByteArray> lines = readAll(name).split('\n');
        QCOMPARE(lines.size(), 3);
        const QRegularExpression stamp(
            QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2}\\. \\d{2}:\\d{2}:\\d{2} (first|second)$"));
        QVERIFY(stamp.match(QString::fromUtf8(lines[0])).hasMatch());
        QVERIFY(lines[0].endsWith("first"));
        QVERIFY(lines[1].endsWith("second"));
        QCOMPARE(pane.lines.size(), 2);
        QCOMPARE(pane.lines.at(0), QString::fromUtf8(lines[0]));
    }

    void multiLineMessageCarriesOneTimestamp()
    {
        const QString name = path(QStringLiteral("multi.txt"));
        CapturingPane pane;
        {
            Logger logger(nullptr, name, &pane);
            logger.write(QStringLiteral("head\ntail"));
        }
        const QList<QByteArray> lines = readAll(name).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].endsWith(" head"));
        QCOMPARE(lines[0].size(), QByteArray("yyyy.MM.dd. hh:mm:ss head").size());
        QCOMPARE(lines[1], QByteArray("tail"));
        QCOMPARE(pane.texts(), QStringList{QStringLiteral("head\ntail")});
    }

    void nonAsciiIsStoredAsUtf8()
    {
        const QString name = path(QStringLiteral("utf8.txt"));
        const QString text = QStringLiteral("Temperatur 85 \u00B0C \u2013 \u00FCber \u6E29\u5EA6");
        {
            Logger logger(nullptr, name, nullptr);
            logger.write(text);
        }
        const QByteArray content = readAll(name);
        QVERIFY(content.endsWith(text.toUtf8() + "\n"));
    }

    void paneAndFileAreOptional()
    {
        // No pane: only the file.
        const QString name = path(QStringLiteral("nopane.txt"));
        {
            Logger logger(nullptr, name, nullptr);
            logger.write(QStringLiteral("file only"));
        }
        QVERIFY(readAll(name).endsWith("file only\n"));

        // No file name: only the pane, and no file appears in the directory.
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const int before = QDir(dir.path()).entryList(QDir::Files).size();
        CapturingPane pane;
        {
            Logger logger(nullptr, QString(), &pane);
            logger.write(QStringLiteral("pane only"));
        }
        QDir::setCurrent(cwd);
        QCOMPARE(pane.texts(), QStringList{QStringLiteral("pane only")});
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), before);
    }

    void unwritableFileIsToldOnce_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("missing folder") << path(QStringLiteral("missing-dir/log.txt"));
        QTest::newRow("a directory") << dir.path();
        QTest::newRow("full disk") << QStringLiteral("/dev/full"); // opens, refuses every byte
    }
    void unwritableFileIsToldOnce()
    {
        QFETCH(QString, fileName);
        CapturingPane pane;
        Logger logger(nullptr, fileName, &pane);
        logger.write(QStringLiteral("first"));
        logger.write(QStringLiteral("second"));
        // Every line still reaches the pane, and one line there says which
        // file cannot be written and why.
        const QStringList texts = pane.texts();
        QVERIFY2(texts.size() == 3, qPrintable(texts.join(QLatin1Char('|'))));
        QCOMPARE(texts.filter(QStringLiteral("first")).size(), 1);
        QCOMPARE(texts.filter(QStringLiteral("second")).size(), 1);
        const QStringList told = texts.filter(QStringLiteral("cannot be written"));
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().contains(fileName + QStringLiteral(" cannot be written (")), qPrintable(told.first()));
    }

    void fileStaysBoundedWhileRunning()
    {
        // A file at the limit is appended to, as at start; once a line has
        // taken it past the limit, the next line starts it afresh.
        const QString name = path(QStringLiteral("bounded.txt"));
        {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(int(Logger::MaxFileSizeAtStart), 'x'));
        }
        CapturingPane pane;
        Logger logger(nullptr, name, &pane);
        logger.write(QStringLiteral("first"));
        QVERIFY(readAll(name).startsWith("xxxx"));
        logger.write(QStringLiteral("second"));
        const QByteArray content = readAll(name);
        QVERIFY(!content.contains("xxxx"));
        QVERIFY(!content.contains(" first\n"));
        QVERIFY(content.endsWith(" second\n"));
        QVERIFY(content.size() < 1000);
        // The pane keeps every line.
        QCOMPARE(pane.texts().filter(QRegularExpression(QStringLiteral("^(first|second)$"))).size(), 2);
    }

    // Text from outside, as the log shows it: on one line, the terminal's
    // sequences harmless, cut to a bound without breaking an escape or a
    // character.
    void outsideTextEscapedAndCut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxChars");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "torvan60ctl" << 80 << "torvan60ctl";
        QTest::newRow("accents and emoji kept") << QString::fromUtf8("Prüfstand β \xF0\x9F\x94\xA7") << 80
                                                << QString::fromUtf8("Prüfstand β \xF0\x9F\x94\xA7");
        QTest::newRow("line ends") << "a\nb\rc\td" << 80 << "a\\nb\\rc\\td";
        QTest::newRow("escape sequence") << "\x1b[31mred\x1b[0m" << 80 << "\\e[31mred\\e[0m";
        QTest::newRow("other controls") << QString::fromUtf8("\x01\x7f\xc2\x85\xc2\x9b") << 80
                                        << "\\x01\\x7f\\x85\\x9b";
        QTest::newRow("separators and reordering") << QString::fromUtf8("a\xe2\x80\xa8"
                                                                        "b\xe2\x80\xae"
                                                                        "c")
                                                   << 80 << "a\\u{2028}b\\u{202e}c";
        QTest::newRow("a lone surrogate") << QString(QChar(0xD800)) << 80 << "\\u{d800}";
        QTest::newRow("a backslash") << "a\\n" << 80 << "a\\\\n";
        QTest::newRow("at the bound") << QString(10, QLatin1Char('x')) << 10 << QString(10, QLatin1Char('x'));
        QTest::newRow("past the bound") << QString(11, QLatin1Char('x')) << 10 << "xxxxxxx...";
        QTest::newRow("an escape is not split") << "xxxxxx\nyyy" << 10 << "xxxxxx...";
        QTest::newRow("a pair is not split") << QString::fromUtf8("xxxxxx\xF0\x9F\x94\xA7yyy") << 10 << "xxxxxx...";
    }
    void outsideTextEscapedAndCut()
    {
        QFETCH(QString, text);
        QFETCH(int, maxChars);
        QFETCH(QString, shown);
        QCOMPARE(LogText::escaped(text, maxChars), shown);
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
