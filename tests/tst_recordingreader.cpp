// Reading live data files back: what the recorder writes comes back as it
// was; bad files (not ours, cut short, cells that are no numbers, empty,
// huge) give a message naming the file, the line and the column, with the
// rows that cannot be read skipped and counted; and the fault a fault record
// was written for is found.
#include "support/RecordingFiles.h"
#include "support/TextFiles.h"

#include "record/RecordingLoader.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

const QDateTime WallStart(QDate(2026, 12, 10), QTime(3, 0), Qt::UTC);
const WallTime Start{WallStart.toMSecsSinceEpoch(), 3600};

QByteArray row(qint64 i)
{
    CsvLine line;
    return liveCsvRow(line, madeUpSample(i, Start), madeUpSample(0, Start).monotonicMs);
}

// Row i with its cell column (from 0) replaced by text.
QByteArray rowWith(qint64 i, int column, const QByteArray &text)
{
    QList<QByteArray> cells = row(i).chopped(2).split(',');
    cells[column] = text;
    return cells.join(',') + "\r\n";
}

struct Loaded
{
    RecordingInfo info;
    std::vector<RecordedRow> rows;
    int batches = 0;
};

// Reads path as the window does, on the loader's thread; cancelAtFirst
// cancels when the first rows come.
Loaded load(const QString &path, bool cancelAtFirst = false)
{
    Loaded loaded;
    RecordingLoader loader;
    QObject::connect(&loader, &RecordingLoader::rowsReady, [&] {
        const std::vector<RecordedRow> batch = loader.takeRows();
        loaded.rows.insert(loaded.rows.end(), batch.begin(), batch.end());
        ++loaded.batches;
        if (cancelAtFirst)
            loader.cancel();
    });
    loader.start(path);
    loader.waitUntilDone();
    loaded.info = loader.info();
    return loaded;
}

} // namespace

class TestRecordingReader : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void readsWhatTheRecorderWrites()
    {
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        const qint64 rows = 3 * RecordingLoader::BatchRows + 100;
        const qint64 faultAt = 20000;
        QVERIFY(writeLiveCsv(path, rows, [&](qint64 i) { return madeUpSample(i, Start, int(faultAt)); }));

        const Loaded loaded = load(path);
        QCOMPARE(loaded.info.error, QString());
        QCOMPARE(qint64(loaded.rows.size()), rows);
        QCOMPARE(loaded.info.rows, rows);
        QCOMPARE(loaded.info.skipped, qint64(0));
        // In pieces, not all at once.
        QVERIFY2(loaded.batches >= 2, qPrintable(QString::number(loaded.batches)));
        for (qint64 i : {qint64(0), qint64(12345), faultAt - 1, faultAt, rows - 1}) {
            const RecordedRow &r = loaded.rows[size_t(i)];
            const RTDataRecord rt = madeUpSample(i, Start, int(faultAt)).rt;
            QVERIFY(std::abs(r.elapsed - i * 0.01) < 1e-9);
            // As many decimals as the file has.
            QVERIFY(std::abs(r.voltage - rt.FilteredVoltage) <= 0.0005);
            QVERIFY(std::abs(r.temperature - rt.FilteredTemperature) <= 0.0005);
            QVERIFY(std::abs(r.current - rt.MotorCurrent) <= 0.00005);
            QCOMPARE(r.position, double(rt.CurrentPosition));
            QCOMPARE(r.speed, double(rt.CurrentSpeed));
            QCOMPARE(r.faultFlags, rt.FaultFlags);
        }
        QCOMPARE(loaded.info.lastElapsed, (rows - 1) * 0.01);
        // Its own times: the wall clock at elapsed 0, in its time zone.
        QVERIFY(loaded.info.hasWallTime);
        QCOMPARE(loaded.info.wallAtZeroMs, Start.msSinceEpoch);
        QCOMPARE(loaded.info.utcOffsetS, 3600);
        // The fault: when, which bits, its local time as the black box names
        // its records.
        QCOMPARE(int(loaded.info.faults.size()), 1);
        QCOMPARE(loaded.info.faults[0].elapsed, 200.0);
        QCOMPARE(loaded.info.faults[0].flags, 0x02);
        QCOMPARE(loaded.info.faults[0].stamp, QStringLiteral("20261210-040320"));
        QCOMPARE(loaded.info.message(),
                 QStringLiteral("%1: %2 rows, %3 s").arg(path).arg(rows).arg((rows - 1) * 0.01, 0, 'f', 3));
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<bool>("shown"); // false: nothing of it can be shown
        QTest::addColumn<QStringList>("message");
        const QByteArray header = liveCsvHeader();
        const QByteArray rows = row(0) + row(1) + row(2);

        QTest::newRow("not ours") << QByteArray("date,value\r\n2026-01-01,1\r\n") << 0 << 0 << false
                                  << QStringList{"Not a recording of this tool", "bad.csv, line 1, column 1",
                                                 "(time (ISO 8601)): \"date\" where a recording has"};
        QTest::newRow("binary") << QByteArray::fromHex("7f454c4602010100000000fffe0a") << 0 << 0 << false
                                << QStringList{"Not a recording of this tool", "bad.csv, line 1, column 1"};
        QTest::newRow("empty") << QByteArray() << 0 << 0 << false << QStringList{"The file ", "bad.csv is empty."};
        QTest::newRow("header only") << header << 0 << 0 << false << QStringList{"bad.csv holds no live reports"};
        // Cut in its last cell: every cell is there, but the number is not.
        QTest::newRow("truncated last line")
            << header + rows + row(3).chopped(4) << 3 << 1 << true
            << QStringList{"bad.csv: 3 rows", "1 row could not be read and was skipped",
                           "bad.csv, line 5: the line is cut short"};
        QTest::newRow("a cell that is not a number")
            << header + row(0) + rowWith(1, 3, "24.5V") + row(2) << 2 << 1 << true
            << QStringList{"bad.csv, line 3, column 4 (filtered voltage / V): \"24.5V\" is not a number"};
        QTest::newRow("a value that is not a number")
            << header + row(0) + rowWith(1, 5, "warm") + rowWith(2, 6, "nan") << 1 << 2 << true
            << QStringList{"2 rows could not be read and were skipped",
                           "line 3, column 6 (filtered temperature / °C): \"warm\" is not a number"};
        QTest::newRow("time going back") << header + row(0) + row(2) + row(1) << 2 << 1 << true
                                         << QStringList{"line 4, column 2 (elapsed / s): the time goes back"};
        QTest::newRow("cells missing")
            << header + row(0) + row(1).left(row(1).indexOf(",0x")) + "\r\n" + row(2) << 2 << 1 << true
            << QStringList{"line 3, column 10 (fault flags (hex)): the row ends after 9 of its 22 cells"};
        QTest::newRow("quote left open") << header + rowWith(0, 8, "\"Driver Active") + row(1) << 1 << 1 << true
                                         << QStringList{"line 2, column 9 (driver state text): a quote is not closed"};
        QTest::newRow("flags that are no number") << header + rowWith(0, 9, "0xZZ") + row(1) << 1 << 1 << true
                                                  << QStringList{"line 2, column 10", "\"0xZZ\" is not a hexadecimal"};
        QTest::newRow("overlong line") << header + row(0) + QByteArray(5000, '7') + "\r\n" + row(1) << 2 << 1 << true
                                       << QStringList{"line 3: the line is longer than 4096 bytes"};
        QTest::newRow("no row can be read")
            << header + "a,b\r\n" + rowWith(1, 1, "") << 0 << 2 << false
            << QStringList{"No row of ", "bad.csv could be read (2 skipped)",
                           "The first: ", "bad.csv, line 2, column 3 (supply voltage / V): the row ends after 2"};
        // Saved again by an editor: a byte order mark, line feeds only; a
        // value left empty is a gap, not a fault.
        QTest::newRow("byte order mark, line feeds, a gap")
            << QByteArray("\xEF\xBB\xBF" + header + row(0) + rowWith(1, 5, "") + row(2)).replace("\r\n", "\n") << 3 << 0
            << true << QStringList{"bad.csv: 3 rows"};
    }
    void badFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rows);
        QFETCH(int, skipped);
        QFETCH(bool, shown);
        QFETCH(QStringList, message);
        const QString path = dir.filePath(QStringLiteral("bad.csv"));
        QVERIFY(writeTextFile(path, bytes));

        const Loaded loaded = load(path);
        QCOMPARE(int(loaded.rows.size()), rows);
        QCOMPARE(int(loaded.info.rows), rows);
        QCOMPARE(int(loaded.info.skipped), skipped);
        QCOMPARE(loaded.info.error.isEmpty(), shown);
        const QString text = loaded.info.message();
        QVERIFY2(text.contains(QDir::toNativeSeparators(path)), qPrintable(text));
        for (const QString &part : message)
            QVERIFY2(text.contains(part), qPrintable(text + QStringLiteral("\n  lacks: ") + part));
        for (const RecordedRow &r : loaded.rows)
            QVERIFY(std::isfinite(r.elapsed));
    }

    void fileThatCannotBeRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << QStringLiteral("missing.csv") << QStringLiteral("Cannot read ");
        QTest::newRow("a folder") << QStringLiteral("folder.csv") << QStringLiteral(": it is a folder.");
    }
    void fileThatCannotBeRead()
    {
        QFETCH(QString, name);
        QFETCH(QString, why);
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder.csv")));
        const Loaded loaded = load(dir.filePath(name));
        QVERIFY(loaded.rows.empty());
        QVERIFY2(loaded.info.error.contains(why) && loaded.info.error.contains(name), qPrintable(loaded.info.error));
    }

    // Cancelled at the first rows of a file far longer than the rows the
    // loader holds in waiting: it stops there, and says so.
    void readingCanBeCancelled()
    {
        const QString path = dir.filePath(QStringLiteral("long.csv"));
        const qint64 rows = RecordingLoader::BatchRows * (RecordingLoader::MaxQueuedBatches + 4);
        QVERIFY(writeLiveCsv(path, rows, [](qint64 i) { return madeUpSample(i, Start); }));
        const Loaded loaded = load(path, true);
        QVERIFY(loaded.info.cancelled);
        QCOMPARE(loaded.batches, 1);
        QVERIFY(loaded.info.rows < rows);
        QVERIFY2(loaded.info.message().contains(QStringLiteral("reading was cancelled")),
                 qPrintable(loaded.info.message()));
    }

    // The fault a record was written for: the one its name carries the time
    // of; renamed, the last one the record's tail follows.
    void faultOfAFaultRecord_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("fault"); // elapsed seconds; negative: none
        QTest::newRow("as the black box named it") << "fault-20261210-040100.csv" << 60.0;
        QTest::newRow("a second record in the same second") << "fault-20261210-040100-2.csv" << 60.0;
        QTest::newRow("renamed") << "fault-20991231-000000.csv" << 60.0;
        QTest::newRow("named after the early fault") << "fault-20261210-040010.csv" << 10.0;
        QTest::newRow("not a fault record") << "recording.csv" << -1.0;
    }
    void faultOfAFaultRecord()
    {
        QFETCH(QString, name);
        QFETCH(double, fault);
        // An early fault that cleared, the one of the record at 60 s, and a
        // second bit rising in its tail.
        const auto flags = [](qint64 i) {
            return i >= 6200 ? 0x06 : i >= 6000 ? 0x02 : i >= 1000 && i < 1100 ? 0x01 : 0;
        };
        const QString path = dir.filePath(name);
        QVERIFY(writeLiveCsv(path, 6500, [&](qint64 i) {
            LiveSample s = madeUpSample(i, Start);
            s.rt.FaultFlags = flags(i);
            return s;
        }));
        const Loaded loaded = load(path);
        QCOMPARE(int(loaded.info.faults.size()), 3);
        const int index = loaded.info.recordedFault();
        if (fault < 0) {
            QCOMPARE(index, -1);
            return;
        }
        QVERIFY(index >= 0);
        QCOMPARE(loaded.info.faults[size_t(index)].elapsed, fault);
    }
};

QTEST_GUILESS_MAIN(TestRecordingReader)
#include "tst_recordingreader.moc"
