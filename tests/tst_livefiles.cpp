// Live data files of the core: the CSV lines, a recording with its
// once-a-second flush and its write failures, the bounded ring, the fault
// black box, and the simulated board's practice scenario of repeated faults.
#include "support/CapturingPane.h"
#include "support/CsvReader.h"
#include "support/FillingDevice.h"
#include "support/LinkRig.h"
#include "support/ManualClock.h"
#include "support/TestWallClock.h"

#include "device/sim/Scenarios.h"
#include "log/Logger.h"
#include "record/Csv.h"
#include "record/FaultBlackBox.h"
#include "record/LiveCsv.h"
#include "record/LiveRecorder.h"
#include "record/SampleRing.h"

#include <QBuffer>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

constexpr int Columns = 22;
enum Column {
    ColTime = 0,
    ColElapsed = 1,
    ColVoltage = 2,
    ColFilteredVoltage = 3,
    ColTemperature = 4,
    ColFilteredTemperature = 5,
    ColCurrent = 6,
    ColState = 7,
    ColStateText = 8,
    ColFlags = 9,
    ColFaults = 10,
    ColInputsFirst = 11,
    ColMode = 18,
    ColPosition = 19,
    ColSpeed = 20,
    ColTickRate = 21,
};

LiveSample sampleAt(qint64 ms, int32_t flags = 0)
{
    LiveSample s;
    s.monotonicMs = ms;
    s.wall = {ms, 0};
    s.rt.FaultFlags = flags;
    s.rt.CurrentPosition = static_cast<int32_t>(ms); // tells the rows apart
    return s;
}

// Sets the locale of the process (Qt's and the C library's) for the life of
// the object.
class ProcessLocale
{
public:
    explicit ProcessLocale(const QLocale &locale) : previousQt(QLocale())
    {
        previousC = std::setlocale(LC_ALL, nullptr);
        QLocale::setDefault(locale);
        for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"})
            if (std::setlocale(LC_ALL, name))
                break;
    }
    ~ProcessLocale()
    {
        QLocale::setDefault(previousQt);
        std::setlocale(LC_ALL, previousC.constData());
    }

private:
    QLocale previousQt;
    QByteArray previousC;
};

} // namespace

class TestLiveFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString previousDir;

    // Reports at 100 a second from the clock's time until untilMs (included).
    static void feed(FaultBlackBox &box, ManualClock &clock, qint64 untilMs, const std::function<int32_t()> &flags)
    {
        while (clock.now + 10 <= untilMs) {
            clock.advance(10);
            box.append(sampleAt(clock.now, flags()));
        }
    }

    QStringList faultFiles() const
    {
        return QDir(QStringLiteral("faults")).entryList({QStringLiteral("fault-*.csv")}, QDir::Files, QDir::Name);
    }

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        previousDir = QDir::currentPath();
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        QVERIFY(QDir::setCurrent(dir.path()));
    }
    void cleanup() { QDir::setCurrent(previousDir); }

    // ---- CSV lines ----

    void fieldsAreQuotedOnlyWhenNeeded_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("plain") << QStringLiteral("Driver OK") << QByteArray("Driver OK");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("comma") << QStringLiteral("a,b") << QByteArray("\"a,b\"");
        QTest::newRow("quote") << QStringLiteral("say \"hi\"") << QByteArray("\"say \"\"hi\"\"\"");
        QTest::newRow("line feed") << QStringLiteral("a\nb") << QByteArray("\"a\nb\"");
        QTest::newRow("carriage return") << QStringLiteral("a\rb") << QByteArray("\"a\rb\"");
        QTest::newRow("semicolon stays") << QStringLiteral("a; b") << QByteArray("a; b");
        QTest::newRow("utf-8") << QStringLiteral("temperature / °C")
                               << QByteArray("temperature / \xC2\xB0"
                                             "C");
    }
    void fieldsAreQuotedOnlyWhenNeeded()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, field);
        CsvLine line;
        const QByteArray bytes = line.addText(text).addText(QStringLiteral("next")).finish();
        QCOMPARE(bytes, field + ",next\r\n");
        // And a reader gets the text back.
        QCOMPARE(readCsv(bytes), QList<QStringList>{QStringList({text, QStringLiteral("next")})});
    }

    void numbersUseADotWhateverTheLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("French") << QLocale(QLocale::French, QLocale::France);
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
    }
    void numbersUseADotWhateverTheLocale()
    {
        QFETCH(QLocale, locale);
        ProcessLocale scoped(locale);
        CsvLine line;
        line.addNumber(1234.5, 3)
            .addNumber(-0.25, 2)
            .addNumber(std::nan(""), 3)
            .addNumber(std::numeric_limits<double>::infinity(), 1)
            .addInteger(-1234567)
            .addHex(0x2A, 2)
            .addHex(0x3, 2);
        QCOMPARE(line.finish(), QByteArray("1234.500,-0.25,,,-1234567,0x2A,0x03\r\n"));

        // A whole live row: every number with a dot, none split by a comma.
        LiveSample s = sampleAt(1500);
        s.rt.SupplyVoltage = 24.0626;
        s.rt.FilteredTemperature = 31.5;
        s.rt.MotorCurrent = 1.25;
        CsvLine row;
        const QList<QStringList> records = readCsv(liveCsvRow(row, s, 1000));
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].size(), Columns);
        QCOMPARE(records[0][ColElapsed], QStringLiteral("0.500"));
        QCOMPARE(records[0][ColVoltage], QStringLiteral("24.063"));
        QCOMPARE(records[0][ColFilteredTemperature], QStringLiteral("31.500"));
        QCOMPARE(records[0][ColCurrent], QStringLiteral("1.2500"));
    }

    void liveRowHoldsEveryValue()
    {
        LiveSample s;
        s.monotonicMs = 62345;
        // 2026-12-10 13:19:30.045 UTC, shown in a zone one hour ahead.
        s.wall = {QDateTime(QDate(2026, 12, 10), QTime(13, 19, 30, 45), Qt::UTC).toMSecsSinceEpoch(), 3600};
        RTDataRecord &rt = s.rt;
        rt.SupplyVoltage = 23.9;
        rt.FilteredVoltage = 24.1;
        rt.Temperature = 40.25;
        rt.FilteredTemperature = 40.125;
        rt.MotorCurrent = 0.8125;
        rt.DriverState = 2;
        rt.FaultFlags = 0x24;
        rt.InpSleep = true;
        rt.InpBin2 = true;
        rt.InpEndSwitch = true;
        rt.OperatingMode = 4;
        rt.CurrentPosition = -120000;
        rt.CurrentSpeed = 3500;
        rt.TrajTickRate = 1000;

        CsvLine line;
        const QList<QStringList> records = readCsv(liveCsvHeader() + liveCsvRow(line, s, 60000));
        QCOMPARE(records.size(), 2);
        const QStringList &header = records[0];
        const QStringList &row = records[1];
        QCOMPARE(header.size(), Columns);
        QCOMPARE(row.size(), Columns);
        QCOMPARE(QSet<QString>(header.begin(), header.end()).size(), Columns); // every column has its own name
        QCOMPARE(header[ColFilteredTemperature], QStringLiteral("filtered temperature / °C"));

        QCOMPARE(row[ColTime], QStringLiteral("2026-12-10T14:19:30.045+01:00"));
        QCOMPARE(row[ColElapsed], QStringLiteral("2.345"));
        QCOMPARE(row[ColVoltage], QStringLiteral("23.900"));
        QCOMPARE(row[ColFilteredVoltage], QStringLiteral("24.100"));
        QCOMPARE(row[ColTemperature], QStringLiteral("40.250"));
        QCOMPARE(row[ColFilteredTemperature], QStringLiteral("40.125"));
        QCOMPARE(row[ColCurrent], QStringLiteral("0.8125"));
        QCOMPARE(row[ColState], QStringLiteral("2"));
        QCOMPARE(row[ColStateText], QStringLiteral("Driver Active"));
        QCOMPARE(row[ColFlags], QStringLiteral("0x24"));
        QCOMPARE(row[ColFaults],
                 QStringLiteral("Channel B overcurrent shutdown. Please check wireing or possible short "
                                "circuit.; Power supply voltage too low."));
        QCOMPARE(row.mid(ColInputsFirst, 7), QStringList({"0", "1", "0", "0", "0", "1", "1"}));
        QCOMPARE(row[ColMode], QStringLiteral("4"));
        QCOMPARE(row[ColPosition], QStringLiteral("-120000"));
        QCOMPARE(row[ColSpeed], QStringLiteral("3500"));
        QCOMPARE(row[ColTickRate], QStringLiteral("1000"));

        // A driver state the texts do not know reads blank, not past the table.
        s.rt.DriverState = 9;
        QCOMPARE(readCsv(liveCsvRow(line, s, 60000))[0][ColStateText], QString());
    }

    void timeStampsAreQtsIsoText_data()
    {
        QTest::addColumn<int>("offsetS");
        QTest::newRow("UTC") << 0;
        QTest::newRow("one hour ahead") << 3600;
        QTest::newRow("five and a half hours behind") << -19800;
        QTest::newRow("twelve and three quarter hours ahead") << 45900;
    }
    void timeStampsAreQtsIsoText()
    {
        QFETCH(int, offsetS);
        // Moments from 1970 to 2100: every month end, leap days, centuries.
        CsvLine line;
        LiveSample s;
        const qint64 last = QDateTime(QDate(2100, 3, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
        for (qint64 ms = 0; ms < last; ms += 86400000LL * 7 + 3600000LL * 5 + 60000LL * 7 + 1234) {
            s.wall = {ms, offsetS};
            const QString expected =
                QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offsetS).toString(Qt::ISODateWithMs);
            const QString actual = readCsv(liveCsvRow(line, s, 0)).value(0).value(ColTime);
            if (actual != expected)
                QFAIL(qPrintable(QStringLiteral("%1 at %2: %3").arg(expected).arg(ms).arg(actual)));
        }
    }

    // ---- Recording ----

    void recordingIsWrittenOutWithinTheFlushInterval()
    {
        QVERIFY(LiveRecorder::FlushIntervalMs <= 1000); // at least once a second
        const int perInterval = LiveRecorder::FlushIntervalMs / 10;
        ManualClock clock;
        LiveRecorder recorder(clock);
        const QString path = QStringLiteral("rec.csv");
        QString error;
        QVERIFY(recorder.start(path, &error));
        // The header is on disk before any report.
        QCOMPARE(readCsvFile(path).size(), 1);

        const qint64 start = clock.now;
        for (int i = 1; i < perInterval; ++i) {
            clock.advance(10);
            recorder.append(sampleAt(clock.now));
        }
        // Just short of the interval: held in memory, not yet handed over.
        QVERIFY(recorder.waitUntilWritten());
        QCOMPARE(readCsvFile(path).size(), 1);
        clock.advance(10);
        recorder.append(sampleAt(clock.now));
        // The interval has passed: every row is in the file.
        QVERIFY(recorder.waitUntilWritten());
        QList<QStringList> records = readCsvFile(path);
        QCOMPARE(records.size(), 1 + perInterval);
        QCOMPARE(records.last()[ColPosition], QString::number(start + LiveRecorder::FlushIntervalMs));
        QCOMPARE(records.last()[ColElapsed], QString::number(LiveRecorder::FlushIntervalMs / 1000.0, 'f', 3));

        clock.advance(10);
        recorder.append(sampleAt(clock.now));
        QCOMPARE(recorder.rowCount(), perInterval + 1);
        QVERIFY(recorder.stop());
        QVERIFY(!recorder.isRecording());
        QCOMPARE(readCsvFile(path).size(), perInterval + 2);
        // Reports after the stop are not recorded.
        recorder.append(sampleAt(clock.now + 10));
        QCOMPARE(readCsvFile(path).size(), perInterval + 2);
        QCOMPARE(recorder.rowCount(), perInterval + 1);
    }

    void recordingThatCannotStart_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing folder") << QStringLiteral("no/such/folder/rec.csv");
        QTest::newRow("a folder") << QStringLiteral(".");
        if (QFileInfo::exists(QStringLiteral("/dev/full")))
            QTest::newRow("full disk") << QStringLiteral("/dev/full");
    }
    void recordingThatCannotStart()
    {
        QFETCH(QString, path);
        ManualClock clock;
        LiveRecorder recorder(clock);
        QSignalSpy failed(&recorder, &LiveRecorder::failed);
        QString error;
        QVERIFY(!recorder.start(path, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!recorder.isRecording());
        // The caller reports it: no second report through the signal.
        QCOMPARE(failed.count(), 0);
    }

    void diskFillingUpEndsTheRecordingKeepingWhatWasWritten()
    {
        ManualClock clock;
        LiveRecorder recorder(clock);
        QSignalSpy failed(&recorder, &LiveRecorder::failed);
        QByteArray store;
        qint64 limit = 100000;
        QVERIFY(recorder.start(std::make_unique<FillingDevice>(&store, &limit), QStringLiteral("sink"), nullptr));
        const int header = store.size();

        // A second of rows fits...
        for (int i = 0; i < 100; ++i) {
            clock.advance(10);
            recorder.append(sampleAt(clock.now));
        }
        QVERIFY(recorder.waitUntilWritten());
        const QByteArray written = store;
        QVERIFY(written.size() > header);
        QCOMPARE(failed.count(), 0);
        // ...the next does not.
        limit = written.size() + 200;
        for (int i = 0; i < 150; ++i) {
            clock.advance(10);
            recorder.append(sampleAt(clock.now));
        }
        QVERIFY(!recorder.waitUntilWritten());
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().first().toString(), QStringLiteral("No space left on device"));
        QVERIFY(!recorder.isRecording());
        QCOMPARE(store, written); // what was written stays as it was
        QCOMPARE(readCsv(written).size(), 101);
        // Stopping afterwards is quiet.
        QVERIFY(!recorder.stop());
        QCOMPARE(failed.count(), 1);
    }

    // ---- Ring and black box ----

    void ringStaysBoundedForHours()
    {
        SampleRing ring(FaultBlackBox::Capacity);
        QCOMPARE(ring.size(), 0);
        // Three hours at 100 reports a second.
        const qint64 reports = 3LL * 3600 * 100;
        for (qint64 i = 0; i < reports; ++i)
            ring.push(sampleAt(i * 10));
        QCOMPARE(ring.size(), FaultBlackBox::Capacity);
        QCOMPARE(ring.capacity(), FaultBlackBox::Capacity);
        // The newest Capacity samples, oldest first.
        QCOMPARE(ring.at(0).monotonicMs, (reports - FaultBlackBox::Capacity) * 10);
        QCOMPARE(ring.at(ring.size() - 1).monotonicMs, (reports - 1) * 10);
        for (int i = 1; i < ring.size(); ++i)
            QCOMPARE(ring.at(i).monotonicMs - ring.at(i - 1).monotonicMs, qint64(10));
    }

    void faultRecordHoldsTheMinuteBeforeAndTheSecondsAfter()
    {
        ManualClock clock;
        clock.now = 0;
        CapturingPane pane;
        Logger logger(nullptr, QString(), &pane);
        FaultBlackBox box(clock, QStringLiteral("faults"), &logger);
        QSignalSpy saved(&box, &FaultBlackBox::recordSaved);

        // An hour and more of quiet running, then a fault at 4000 s.
        const qint64 faultAt = 4000000;
        feed(box, clock, faultAt - 10, [] { return 0; });
        QVERIFY(faultFiles().isEmpty());
        feed(box, clock, faultAt + 4990, [] { return 0x02; });
        QVERIFY2(faultFiles().isEmpty(), "written before the tail has passed");
        QVERIFY(box.recordPending());
        feed(box, clock, faultAt + 5000, [] { return 0x02; });

        QCOMPARE(faultFiles().size(), 1);
        const QString file = QStringLiteral("faults/") + faultFiles().first();
        // Named after the wall-clock time of the report that showed the fault.
        QCOMPARE(file,
                 QStringLiteral("faults/fault-") +
                     QDateTime::fromMSecsSinceEpoch(faultAt, Qt::UTC).toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                     QStringLiteral(".csv"));
        QCOMPARE(saved.count(), 1);
        QVERIFY(pane.texts().contains(QStringLiteral("Fault record saved: ") + file));

        const QList<QStringList> records = readCsvFile(file);
        QCOMPARE(records.size(), 1 + 6001 + 500); // header, the minute before and the fault, the tail
        QCOMPARE(records[1][ColPosition], QString::number(faultAt - 60000));
        QCOMPARE(records[1][ColElapsed], QStringLiteral("0.000"));
        QCOMPARE(records[6000][ColFlags], QStringLiteral("0x00"));
        QCOMPARE(records[6001][ColPosition], QString::number(faultAt));
        QCOMPARE(records[6001][ColFlags], QStringLiteral("0x02"));
        QCOMPARE(records[6001][ColElapsed], QStringLiteral("60.000"));
        QCOMPARE(records.last()[ColPosition], QString::number(faultAt + 5000));
    }

    void faultsCloseTogetherMakeOneRecord()
    {
        ManualClock clock;
        clock.now = 0;
        FaultBlackBox box(clock, QStringLiteral("faults"), nullptr);
        // Faults rise at 20 s (bit 1), 23 s (bit 2, within the tail), 28 s
        // (bit 1 again after clearing), and 30.5 s (10.5 s after the first).
        const auto flags = [&clock]() -> int32_t {
            const qint64 t = clock.now;
            if (t >= 30500)
                return 0x01;
            if (t >= 28000)
                return 0x02;
            if (t >= 27000)
                return 0;
            if (t >= 23000)
                return 0x06;
            return t >= 20000 ? 0x02 : 0;
        };
        feed(box, clock, 35000, flags);
        QCOMPARE(faultFiles().size(), 1);
        feed(box, clock, 35500, flags);
        QCOMPARE(faultFiles().size(), 2);
        const QList<QStringList> second = readCsvFile(QStringLiteral("faults/") + faultFiles().last());
        QCOMPARE(second.last()[ColFlags], QStringLiteral("0x01"));
        // Only the reports there were: less than a minute before the fault.
        QCOMPARE(second[1][ColPosition], QStringLiteral("10"));
    }

    void faultRecordIsWrittenWhenReportsStop()
    {
        ManualClock clock;
        clock.now = 0;
        FaultBlackBox box(clock, QStringLiteral("faults"), nullptr);
        feed(box, clock, 2000, [] { return 0; });
        // The first report shows a fault, then the link is lost.
        feed(box, clock, 2010, [] { return 0x08; });
        clock.advance(4999);
        box.service();
        QVERIFY(faultFiles().isEmpty());
        clock.advance(1);
        box.service();
        QCOMPARE(faultFiles().size(), 1);
        QCOMPARE(readCsvFile(QStringLiteral("faults/") + faultFiles().first()).size(), 1 + 201);
        QVERIFY(!box.recordPending());
    }

    void onlyTheNewestFaultRecordsAreKept_data()
    {
        QTest::addColumn<QDateTime>("wallClock");
        QTest::newRow("after the old records") << QDateTime(QDate(2026, 12, 10), QTime(3, 0), Qt::UTC);
        // A clock set back still keeps the record just written.
        QTest::newRow("clock set back") << QDateTime(QDate(2019, 1, 1), QTime(3, 0), Qt::UTC);
    }
    void onlyTheNewestFaultRecordsAreKept()
    {
        QFETCH(QDateTime, wallClock);
        QDir().mkpath(QStringLiteral("faults"));
        QStringList old;
        for (int i = 0; i < 55; ++i) {
            old << QStringLiteral("fault-2020%1-000000.csv").arg(1000 + i);
            QFile file(QStringLiteral("faults/") + old.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFile notes(QStringLiteral("faults/notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));

        ManualClock clock;
        clock.now = 0;
        FaultBlackBox box(clock, QStringLiteral("faults"), nullptr);
        const qint64 wallBase = wallClock.toMSecsSinceEpoch();
        const auto report = [&](int32_t flags) {
            clock.advance(10);
            LiveSample s = sampleAt(clock.now, flags);
            s.wall.msSinceEpoch += wallBase;
            box.append(s);
        };
        report(0);
        report(0x01);
        const QString written = QStringLiteral("fault-") + wallClock.addMSecs(20).toString("yyyyMMdd-HHmmss") + ".csv";
        for (int i = 0; i < 500; ++i)
            report(0x01);

        const QStringList after = faultFiles();
        QCOMPARE(after.size(), FaultBlackBox::KeptFiles);
        QVERIFY2(after.contains(written), qPrintable(written));
        // The others are the newest of the old ones.
        QStringList expected = old.mid(old.size() - (FaultBlackBox::KeptFiles - 1));
        expected << written;
        expected.sort();
        QCOMPARE(after, expected);
        QVERIFY(QFileInfo::exists(QStringLiteral("faults/notes.txt")));
    }

    void faultRecordThatCannotBeWrittenIsLogged()
    {
        QFile blocker(QStringLiteral("faults")); // a file where the folder belongs
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ManualClock clock;
        clock.now = 0;
        CapturingPane pane;
        Logger logger(nullptr, QString(), &pane);
        FaultBlackBox box(clock, QStringLiteral("faults"), &logger);
        QSignalSpy saved(&box, &FaultBlackBox::recordSaved);
        feed(box, clock, 100, [] { return 0x20; });
        feed(box, clock, 5100, [] { return 0x20; });
        QCOMPARE(saved.count(), 0);
        QCOMPARE(pane.texts().size(), 1);
        QVERIFY2(pane.texts().first().startsWith(QStringLiteral("Fault record could not be saved: faults/fault-")),
                 qPrintable(pane.texts().first()));
        QVERIFY(!box.recordPending());
    }

    // ---- Practice scenario ----

    void faultsScenarioTripsEveryThirtySecondsAfterAReset()
    {
        LinkRig rig;
        QVERIFY(applySimulationScenario(rig.board, QStringLiteral("faults")));
        QVERIFY(simulationScenarioNames().contains(QStringLiteral("faults")));
        rig.connectBoard();
        const auto runFor = [&rig](qint64 ms) {
            for (qint64 t = 0; t < ms; t += 10) {
                rig.clock.advance(10);
                rig.receiveTick();
            }
        };
        const auto flags = [&rig] { return rig.drv.RTData.FaultFlags; };
        runFor(29000);
        QCOMPARE(flags(), 0);
        runFor(2000);
        QCOMPARE(flags(), 0x02);
        // It stays until the faults are reset...
        runFor(60000);
        QCOMPARE(flags(), 0x02);
        rig.drv.ResetFaults();
        runFor(1000);
        QCOMPARE(flags(), 0);
        // ...and trips again about 30 s later.
        runFor(27000);
        QCOMPARE(flags(), 0);
        runFor(3000);
        QCOMPARE(flags(), 0x02);
    }
};

QTEST_GUILESS_MAIN(TestLiveFiles)
#include "tst_livefiles.moc"
