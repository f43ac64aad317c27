// The driver setup's rules without widgets: time register steps, the
// predriver table, the timing summary and the preset table.
#include "support/DefaultConfiguration.h"

#include "config/DriverControls.h"
#include "config/DriverRegisterCodec.h"
#include "config/Presets.h"
#include "config/TimingSummary.h"
#include "device/TorvanDRV.h"

#include <QtTest>

using namespace DriverControls;

class TestDriverControls : public QObject
{
    Q_OBJECT

private slots:
    void timeSteps_data()
    {
        QTest::addColumn<bool>("blanking"); // else a 0.5 us time
        QTest::addColumn<double>("us");
        QTest::addColumn<int>("steps");
        QTest::newRow("blanking 0.02 us") << true << 0.02 << 0;
        QTest::newRow("blanking 5.12 us") << true << 5.12 << 255;
        QTest::newRow("blanking 1.00 us") << true << 1.00 << 49;
        QTest::newRow("blanking 0.58 us") << true << 0.58 << 28;
        QTest::newRow("blanking below range") << true << 0.0 << 0;
        QTest::newRow("blanking above range") << true << 9.0 << 255;
        QTest::newRow("fixed off 0.5 us") << false << 0.5 << 0;
        QTest::newRow("fixed off 1.50 us") << false << 1.50 << 2;
        QTest::newRow("fixed off 128.0 us") << false << 128.0 << 255;
        QTest::newRow("fixed off 30.5 us") << false << 30.5 << 60;
        QTest::newRow("NaN") << false << qQNaN() << 0;
    }
    void timeSteps()
    {
        QFETCH(bool, blanking);
        QFETCH(double, us);
        QFETCH(int, steps);
        QCOMPARE(blanking ? BlankingSteps(us) : HalfMicroSteps(us), steps);
    }

    void everyRegisterValueComesBackThroughItsTime()
    {
        // As shown by the spin boxes: rounded to their decimals.
        for (int r = 0; r <= 255; ++r) {
            QCOMPARE(BlankingSteps(ClampReal(BlankingTime(r), BlankingTimeRange)), r);
            QCOMPARE(HalfMicroSteps(ClampReal(HalfMicroTime(r), HalfMicroTimeRange)), r);
        }
        QCOMPARE(BlankingTime(255), 5.12);
        QCOMPARE(HalfMicroTime(0), 0.5);
    }

    void predriverTable_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<QList<int>>("codes"); // DTime, TDrive, IDrive
        QTest::newRow("Fast") << 0 << QList<int>{0, 2, 1};
        QTest::newRow("Medium") << 1 << QList<int>{1, 2, 1};
        QTest::newRow("Slow") << 2 << QList<int>{2, 3, 1};
        QTest::newRow("Slowest") << 3 << QList<int>{3, 3, 0};
        QTest::newRow("no selection") << -1 << QList<int>{0, 2, 1};
        QTest::newRow("beyond the list") << 4 << QList<int>{0, 2, 1};
    }
    void predriverTable()
    {
        QFETCH(int, speed);
        QFETCH(QList<int>, codes);
        const PredriverCodes c = PredriverTable(speed);
        QCOMPARE(QList<int>({c.DTime, c.TDrive, c.IDrive}), codes);
    }

    void timingSummary_data()
    {
        QTest::addColumn<int>("predriverSpeed");
        QTest::addColumn<double>("blanking");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("ton");
        QTest::newRow("default configuration")
            << 1 << 1.0
            << QStringList{"IDRIVE > Q / RT == 100.0mA > 43.0nC / 450.0ns = 95.6mA",
                           "TDRIVE > 2 x RT == 1000.0ns > 900.0ns",
                           "DTIME = 450.0ns, TBLANK = 1000ns, TOFF = 15000ns, (TDECAY = 500ns) >> fPWM ~ 59.2kHz",
                           "Q < 20mA/4xfPWM == 84.5nC"}
            << "1.00us < ";
        QTest::newRow("Slowest")
            << 3 << 1.0
            << QStringList{"IDRIVE > Q / RT == 50.0mA > 43.0nC / 850.0ns = 50.6mA",
                           "TDRIVE > 2 x RT == 2000.0ns > 1700.0ns",
                           "DTIME = 850.0ns, TBLANK = 1000ns, TOFF = 15000ns, (TDECAY = 500ns) >> fPWM ~ 56.5kHz",
                           "Q < 20mA/4xfPWM == 88.5nC"}
            << "2.00us < ";
        QTest::newRow("Slowest, blanking longer than the drive time")
            << 3 << 3.0
            << QStringList{"IDRIVE > Q / RT == 50.0mA > 43.0nC / 850.0ns = 50.6mA",
                           "TDRIVE > 2 x RT == 2000.0ns > 1700.0ns",
                           "DTIME = 850.0ns, TBLANK = 3000ns, TOFF = 15000ns, (TDECAY = 500ns) >> fPWM ~ 50.8kHz",
                           "Q < 20mA/4xfPWM == 98.5nC"}
            << "3.00us < ";
    }
    void timingSummary()
    {
        QFETCH(int, predriverSpeed);
        QFETCH(double, blanking);
        QFETCH(QStringList, lines);
        QFETCH(QString, ton);

        TorvanDRV drv; // its timing table
        DrvSettingsRecord s = defaultConfiguration();
        const PredriverCodes codes = PredriverTable(predriverSpeed);
        s.PredriverSpeed = predriverSpeed;
        s.DTime = codes.DTime;
        s.TDrive = codes.TDrive;
        s.IDrive = codes.IDrive;
        s.BlankingTime = blanking;
        QCOMPARE(TimingSummary::Lines(s, drv.TimingTable), lines);
        const TimingSummary::Labels labels = TimingSummary::PictureLabels(s, drv.TimingTable);
        QCOMPARE(QStringList({labels.Ton, labels.Tblank, labels.Toff, labels.Tdecay}),
                 QStringList({ton, QString::asprintf("%0.2fus", blanking), "15.0us", "0.5us"}));
    }

    void presetTableGrowsAndShrinksInStep()
    {
        PresetList = Presets::BuiltIns();
        PresetTrajectoryTable.assign(2, TrajectoryDataRecord());
        TrajectoryDataRecord t;
        for (int i = 0; i < 120; ++i) {
            t.MaxSpeed = i;
            QCOMPARE(Presets::Put(-1, QStringLiteral("file%1.tvs").arg(i), QStringLiteral("3;2.2"), t), i + 2);
        }
        QCOMPARE(PresetList.size(), 122);
        QCOMPARE(int(PresetTrajectoryTable.size()), 122);
        QCOMPARE(PresetTrajectoryTable[102].MaxSpeed, 100); // the 101st file entry

        t.MaxSpeed = -7;
        QCOMPARE(Presets::Put(5, QStringLiteral("file3.tvs"), QStringLiteral("1;0.5"), t), 5);
        QCOMPARE(PresetList.at(5), QStringLiteral("file3.tvs;1;0.5"));
        QCOMPARE(PresetTrajectoryTable[5].MaxSpeed, -7);

        Presets::Remove(5);
        QCOMPARE(PresetList.size(), 121);
        QCOMPARE(int(PresetTrajectoryTable.size()), 121);
        QCOMPARE(PresetList.at(5), QStringLiteral("file4.tvs;3;2.2"));
        QCOMPARE(PresetTrajectoryTable[5].MaxSpeed, 4);
    }

    void presetNamesWithSeparators()
    {
        QCOMPARE(Presets::FileEntryName(QStringLiteral("C:/cfg/motor1.tvs")), QStringLiteral("motor1.tvs"));
        QCOMPARE(Presets::FileEntryName(QStringLiteral("/home/op/a;b.tvs")), QStringLiteral("a;b.tvs"));
        QCOMPARE(Presets::NameOf(Presets::BuiltIns().at(1)), QStringLiteral("Low temp configuration"));

        // A ";" in the name must not shift the fields of the line.
        DrvSettingsRecord s = defaultConfiguration();
        s.TemperatureLimit = 61;
        const QString line = Presets::LineOf(QStringLiteral("a;b.tvs"), DriverRegisterCodec::DrvSettings2String(s));
        DrvSettingsRecord back;
        DriverRegisterCodec::String2DrvSettings(line, back);
        QCOMPARE(DriverRegisterCodec::DrvSettings2String(back), DriverRegisterCodec::DrvSettings2String(s));
    }
};

QTEST_GUILESS_MAIN(TestDriverControls)
#include "tst_drivercontrols.moc"
