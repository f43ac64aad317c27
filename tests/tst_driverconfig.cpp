// The driver register codec: current encoding, settings <-> registers,
// the write command payload, the two configuration replies and the text forms.
#include "config/DriverRegisterCodec.h"
#include "device/TorvanDRV.h"
#include "support/DefaultConfiguration.h"

#include <QtTest>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace Codec = DriverRegisterCodec;

namespace {

const std::array<uint32_t, 8> DefaultRegisters = {0x619, 0x787, 0x01D, 0x031, 0x500, 0xF00, 0x5AF, 0x000};

// A record whose 13 line fields all differ from anything the rows parse.
DrvSettingsRecord sentinelSettings()
{
    DrvSettingsRecord s;
    s.StepMode = 7;
    s.FullScaleCurrent = 4.4;
    s.IdleCurrent = 3.3;
    s.TemperatureLimit = 99;
    s.ReducedCurrent = 1.1;
    s.PredriverSpeed = 2;
    s.DecayMode = 4;
    s.BlankingTime = 2.5;
    s.AdaptiveBlanking = 1;
    s.MixedDecayTime = 3.5;
    s.FixedOffTime = 9.5;
    s.PWMMode = true;
    s.I2CAddress = 42;
    return s;
}
const char *const SentinelLine = "7;4.4;3.3;99;1.1;2;4;2.50;1;3.5;9.5;1;42";

std::array<unsigned char, 64> registersReply(const std::array<uint32_t, 8> &regs, unsigned char tempLimit,
                                             uint16_t idle, uint16_t reduced, unsigned char address, unsigned char mode,
                                             unsigned char modbus)
{
    std::array<unsigned char, 64> in{};
    in.fill(0xA5); // bytes the reply does not define must not matter
    in[15] = 0x81;
    for (int i = 0; i < 8; ++i) {
        in[40 + 2 * i] = regs[i] & 0xFF;
        in[41 + 2 * i] = (regs[i] >> 8) & 0xFF;
    }
    in[56] = tempLimit;
    in[57] = idle & 0xFF;
    in[58] = idle >> 8;
    in[59] = reduced & 0xFF;
    in[60] = reduced >> 8;
    in[61] = address;
    in[62] = mode;
    in[63] = modbus;
    return in;
}

void putLE32(unsigned char *p, int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        p[i] = (u >> (8 * i)) & 0xFF;
}

} // namespace

class TestDriverConfig : public QObject
{
    Q_OBJECT
private slots:
    void currentEncoding_data();
    void currentEncoding();
    void currentWordDecodesItsOwnGainCode();

    void defaultConfigurationRegisters();
    void fieldsAreMaskedIntoTheirBits();
    void listModeWithoutSelectionKeepsTheRegisterField_data();
    void listModeWithoutSelectionKeepsTheRegisterField();
    void temperatureLimitIsHeldWithinItsByte();

    void writePayloadTouchesOnlyItsBytes();
    void modeByte_data();
    void modeByte();

    void registersReplyDecodes();
    void registersReplyModeAndPwmBit_data();
    void registersReplyModeAndPwmBit();

    void otherSettingsReply();
    void otherSettingsFlags_data();
    void otherSettingsFlags();

    void settingsLineOfDefaultConfiguration();
    void settingsLineParse_data();
    void settingsLineParse();
    void settingsLineParseLeavesOtherFields();
    void registerDump();

    void deviceObjectWrapsTheCodec();
};

void TestDriverConfig::currentEncoding_data()
{
    QTest::addColumn<double>("amps");
    QTest::addColumn<uint>("gainCode");
    QTest::addColumn<uint>("value");
    QTest::addColumn<double>("decoded");

    QTest::newRow("0.0 A") << 0.0 << 3u << 0u << 0.0;
    QTest::newRow("2.07 A fits gain 40") << 2.07 << 3u << 254u << 2.0671;
    QTest::newRow("2.08 A overflows gain 40") << 2.08 << 2u << 127u << 2.0671;
    // 40 * 8.448 * I / 2.75 is exactly 255.0 in doubles for this current.
    QTest::newRow("product exactly 255") << 2.0751953125 << 3u << 255u << 2.0752;
    QTest::newRow("6.0 A") << 6.0 << 1u << 184u << 5.9896;
    QTest::newRow("15.0 A") << 15.0 << 0u << 230u << 14.9740;
    QTest::newRow("2.2 A") << 2.2 << 2u << 135u << 2.1973;
    QTest::newRow("1.0 A") << 1.0 << 3u << 122u << 0.9928;
    QTest::newRow("0.5 A") << 0.5 << 3u << 61u << 0.4964;
    // Beyond the smallest gain the search halves on and the code stays 0.
    QTest::newRow("20 A below gain 5") << 20.0 << 0u << 153u << 9.9609;
    // Impossible currents must not wrap into a large 8-bit value.
    QTest::newRow("negative") << -0.5 << 3u << 0u << 0.0;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 3u << 0u << 0.0;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 3u << 0u << 0.0;
}

void TestDriverConfig::currentEncoding()
{
    QFETCH(double, amps);
    QFETCH(uint, gainCode);
    QFETCH(uint, value);
    QFETCH(double, decoded);

    const Codec::EncodedCurrent e = Codec::EncodeCurrent(amps);
    QCOMPARE(e.gainCode, gainCode);
    QCOMPARE(e.value, value);
    QCOMPARE(e.word(), (gainCode << 8) | value);
    QVERIFY2(std::fabs(Codec::DecodeCurrent(e.value, e.gainCode) - decoded) < 1e-4,
             qPrintable(QString::number(Codec::DecodeCurrent(e.value, e.gainCode), 'f', 6)));
    QVERIFY(std::fabs(Codec::DecodeCurrentWord(e.word()) - decoded) < 1e-4);
}

void TestDriverConfig::currentWordDecodesItsOwnGainCode()
{
    // Value 100 at each gain code; bits above the gain code are ignored.
    QVERIFY(std::fabs(Codec::DecodeCurrentWord(0x064) - 100 * 2.75 / (5 * 8.448)) < 1e-9);
    QVERIFY(std::fabs(Codec::DecodeCurrentWord(0x164) - 100 * 2.75 / (10 * 8.448)) < 1e-9);
    QVERIFY(std::fabs(Codec::DecodeCurrentWord(0x264) - 100 * 2.75 / (20 * 8.448)) < 1e-9);
    QVERIFY(std::fabs(Codec::DecodeCurrentWord(0xF364) - 100 * 2.75 / (40 * 8.448)) < 1e-9);
}

void TestDriverConfig::defaultConfigurationRegisters()
{
    DriverRegistersRecord r;
    for (auto &reg : r.Registers)
        reg = 0xFFFF; // whatever a reply left: the composition starts over
    Codec::DrvSettings2DriverRegisters(defaultConfiguration(), r);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(r.Registers[i], DefaultRegisters[static_cast<size_t>(i)]);
    QCOMPARE(r.TempLimitByte, 85u);
    QCOMPARE(r.IdleCurrentWord, 0x37Au);
    QCOMPARE(r.ReducedCurrentWord, 0x33Du);
}

void TestDriverConfig::fieldsAreMaskedIntoTheirBits()
{
    DrvSettingsRecord s = defaultConfiguration();
    s.DTime = 5;            // 2 bits -> 1
    s.TOff = 0x1FF;         // 8 bits -> 0xFF
    s.TBlank = 0x107;       // -> 0x07
    s.AdaptiveBlanking = 2; // 1 bit -> 0
    s.TDecay = -1;          // -> 0xFF
    s.TDrive = 7;           // 2 bits -> 3
    s.IDrive = 6;           // -> 2
    s.PWMMode = true;
    DriverRegistersRecord r;
    Codec::DrvSettings2DriverRegisters(s, r);
    QCOMPARE(r.Registers[0], 0x619u);
    QCOMPARE(r.Registers[2], 0x1FFu);
    QCOMPARE(r.Registers[3], 0x007u);
    QCOMPARE(r.Registers[4], 0x5FFu);
    QCOMPARE(r.Registers[6], 0xAFFu);
}

void TestDriverConfig::listModeWithoutSelectionKeepsTheRegisterField_data()
{
    QTest::addColumn<int>("stepMode");
    QTest::addColumn<int>("decayMode");
    QTest::addColumn<uint>("register0");
    QTest::addColumn<uint>("register4");

    // The image last held step mode 3 and decay mode 5 (the default).
    QTest::newRow("both unselected") << -1 << -1 << 0x619u << 0x500u;
    QTest::newRow("past the lists") << 9 << 6 << 0x619u << 0x500u;
    QTest::newRow("far out") << 1000 << -100000 << 0x619u << 0x500u;
    QTest::newRow("last list entries") << 8 << 5 << 0x641u << 0x500u;
    QTest::newRow("first list entries") << 0 << 0 << 0x601u << 0x000u;
}

void TestDriverConfig::listModeWithoutSelectionKeepsTheRegisterField()
{
    QFETCH(int, stepMode);
    QFETCH(int, decayMode);
    QFETCH(uint, register0);
    QFETCH(uint, register4);

    DriverRegistersRecord r;
    Codec::DrvSettings2DriverRegisters(defaultConfiguration(), r);
    DrvSettingsRecord s = defaultConfiguration();
    s.StepMode = stepMode;
    s.DecayMode = decayMode;
    Codec::DrvSettings2DriverRegisters(s, r);
    QCOMPARE(r.Registers[0], register0);
    QCOMPARE(r.Registers[4], register4);

    // A fresh image has nothing to keep: the field is 0.
    DriverRegistersRecord fresh;
    s.StepMode = -1;
    s.DecayMode = -1;
    Codec::DrvSettings2DriverRegisters(s, fresh);
    QCOMPARE(fresh.Registers[0], 0x601u);
    QCOMPARE(fresh.Registers[4], 0x000u);
}

void TestDriverConfig::temperatureLimitIsHeldWithinItsByte()
{
    DrvSettingsRecord s = defaultConfiguration();
    DriverRegistersRecord r;
    s.TemperatureLimit = 300;
    Codec::DrvSettings2DriverRegisters(s, r);
    QCOMPARE(r.TempLimitByte, 255u);
    s.TemperatureLimit = -5;
    Codec::DrvSettings2DriverRegisters(s, r);
    QCOMPARE(r.TempLimitByte, 0u);
    s.TemperatureLimit = 120;
    Codec::DrvSettings2DriverRegisters(s, r);
    QCOMPARE(r.TempLimitByte, 120u);
}

void TestDriverConfig::writePayloadTouchesOnlyItsBytes()
{
    DrvSettingsRecord s = defaultConfiguration();
    s.I2CAddress = 0x12A; // low 8 bits go out
    s.ModbusConfig = 13;  // & 7 -> 5
    DriverRegistersRecord r;
    Codec::DrvSettings2DriverRegisters(s, r);
    r.Registers[7] = 0x1234; // a received register 7 is never written back

    unsigned char out[65];
    std::memset(out, 0xEE, sizeof out);
    Codec::DriverRegisters2Buffer(r, s, out);

    const unsigned char expected[] = {0x19, 0x06, 0x87, 0x07, 0x1D, 0x00, 0x31, 0x00, 0x00, 0x05, 0x00, 0x0F, 0xAF,
                                      0x05, 0x00, 0x00, 0xEE, 0x01, 85,   0x7A, 0x03, 0x3D, 0x03, 0x2A, 0x05};
    for (int i = 0; i < 65; ++i) {
        const bool payload = i >= 21 && i <= 45;
        const unsigned char want = payload ? expected[i - 21] : 0xEE;
        QVERIFY2(out[i] == want, qPrintable(QStringLiteral("byte %1: 0x%2").arg(i).arg(out[i], 2, 16)));
    }
}

void TestDriverConfig::modeByte_data()
{
    QTest::addColumn<bool>("pwm");
    QTest::addColumn<bool>("binx");
    QTest::addColumn<bool>("autoRun");
    QTest::addColumn<int>("mode");

    QTest::newRow("none") << false << false << false << 1;
    QTest::newRow("PWM") << true << false << false << 3;
    QTest::newRow("BINx") << false << true << false << 5;
    QTest::newRow("auto run") << false << false << true << 6;
    QTest::newRow("PWM + BINx") << true << true << false << 5;
    QTest::newRow("PWM + auto run") << true << false << true << 6;
    QTest::newRow("BINx + auto run") << false << true << true << 6;
    QTest::newRow("all three") << true << true << true << 6;
}

void TestDriverConfig::modeByte()
{
    QFETCH(bool, pwm);
    QFETCH(bool, binx);
    QFETCH(bool, autoRun);
    QFETCH(int, mode);

    DrvSettingsRecord s = defaultConfiguration();
    s.PWMMode = pwm;
    s.BINxButtonsMode = binx;
    s.AutoRunMode = autoRun;
    DriverRegistersRecord r;
    Codec::DrvSettings2DriverRegisters(s, r);
    unsigned char out[65] = {};
    Codec::DriverRegisters2Buffer(r, s, out);
    QCOMPARE(int(out[38]), mode);
    QCOMPARE(int(out[26] & 1), pwm ? 1 : 0); // register 2 bit 8 carries the DC motor flag too
}

void TestDriverConfig::registersReplyDecodes()
{
    const auto in =
        registersReply({0x619, 0x787, 0x01D, 0x031, 0x500, 0xABC, 0xDEF, 0x123}, 85, 0x37A, 0x33D, 17, 1, 4);
    DriverRegistersRecord r;
    DrvSettingsRecord s = sentinelSettings();
    s.TDrive = 3;
    s.IDrive = 3;
    s.DriverName = QStringLiteral("Kept");
    Codec::Buffer2DriverRegisters(in.data(), r, s);
    const std::array<uint32_t, 8> regs = {0x619, 0x787, 0x01D, 0x031, 0x500, 0xABC, 0xDEF, 0x123};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(r.Registers[i], regs[static_cast<size_t>(i)]);
    QCOMPARE(r.TempLimitByte, 85u);
    QCOMPARE(r.IdleCurrentWord, 0x37Au);
    QCOMPARE(r.ReducedCurrentWord, 0x33Du);
    QCOMPARE(s.I2CAddress, 17);
    QCOMPARE(s.ModbusConfig, 4);

    Codec::DriverRegisters2DrvSettings(r, s);
    QVERIFY(std::fabs(s.FullScaleCurrent - 2.197) < 5e-4);
    QVERIFY(std::fabs(s.IdleCurrent - 0.993) < 5e-4);
    QVERIFY(std::fabs(s.ReducedCurrent - 0.496) < 5e-4);
    QCOMPARE(s.StepMode, 3);
    QCOMPARE(s.DTime, 1);
    QCOMPARE(s.PredriverSpeed, 1);
    QCOMPARE(s.TOff, 29);
    QCOMPARE(s.FixedOffTime, 15.0);
    QCOMPARE(s.TBlank, 49);
    QCOMPARE(s.BlankingTime, 1.0);
    QCOMPARE(s.AdaptiveBlanking, 0);
    QCOMPARE(s.TDecay, 0);
    QCOMPARE(s.MixedDecayTime, 0.5);
    QCOMPARE(s.DecayMode, 5);
    QCOMPARE(s.TemperatureLimit, 85);
    QCOMPARE(s.PWMMode, false);
    // Register 6 is not read back; the name is not in this reply.
    QCOMPARE(s.TDrive, 3);
    QCOMPARE(s.IDrive, 3);
    QCOMPARE(s.DriverName, QStringLiteral("Kept"));

    // Decoding the whole register range: adaptive blanking, the widest fields.
    const auto wide = registersReply({0xFFFF, 0x7FF, 0x0FF, 0x1FF, 0x7FF, 0, 0, 0}, 255, 0x3FF, 0x0FF, 127, 1, 5);
    Codec::Buffer2DriverRegisters(wide.data(), r, s);
    Codec::DriverRegisters2DrvSettings(r, s);
    QCOMPARE(s.StepMode, 15);
    QCOMPARE(s.DTime, 3);
    QCOMPARE(s.AdaptiveBlanking, 1);
    QCOMPARE(s.BlankingTime, 256 * 0.02);
    QCOMPARE(s.FixedOffTime, 128.0);
    QCOMPARE(s.MixedDecayTime, 128.0);
    QCOMPARE(s.DecayMode, 7);
    QCOMPARE(s.TemperatureLimit, 255);
    QVERIFY(std::fabs(s.FullScaleCurrent - 255 * 2.75 / (40 * 8.448)) < 1e-9);
    QVERIFY(std::fabs(s.ReducedCurrent - 255 * 2.75 / (5 * 8.448)) < 1e-9);
}

void TestDriverConfig::registersReplyModeAndPwmBit_data()
{
    QTest::addColumn<int>("modeByte");
    QTest::addColumn<bool>("pwmBit");
    QTest::addColumn<bool>("binx");
    QTest::addColumn<bool>("autoRun");

    QTest::newRow("5") << 5 << false << true << false;
    QTest::newRow("6") << 6 << false << false << true;
    QTest::newRow("3 clears both") << 3 << false << false << false;
    QTest::newRow("1 clears both") << 1 << false << false << false;
    QTest::newRow("0 clears both") << 0 << false << false << false;
    QTest::newRow("3 with PWM bit") << 3 << true << false << false;
    QTest::newRow("5 with PWM bit clears BINx") << 5 << true << false << false;
    QTest::newRow("6 with PWM bit") << 6 << true << false << true;
}

void TestDriverConfig::registersReplyModeAndPwmBit()
{
    QFETCH(int, modeByte);
    QFETCH(bool, pwmBit);
    QFETCH(bool, binx);
    QFETCH(bool, autoRun);

    for (const bool before : {false, true}) {
        DrvSettingsRecord s;
        s.PWMMode = before;
        s.BINxButtonsMode = before;
        s.AutoRunMode = before;
        DriverRegistersRecord r;
        const auto in = registersReply({0x619, 0x787, pwmBit ? 0x11Du : 0x01Du, 0x031, 0x500, 0xF00, 0x5AF, 0}, 85,
                                       0x37A, 0x33D, 1, static_cast<unsigned char>(modeByte), 0);
        Codec::Buffer2DriverRegisters(in.data(), r, s);
        Codec::DriverRegisters2DrvSettings(r, s);
        QCOMPARE(s.PWMMode, pwmBit);
        QCOMPARE(s.BINxButtonsMode, binx);
        QCOMPARE(s.AutoRunMode, autoRun);
    }
}

void TestDriverConfig::otherSettingsReply()
{
    std::array<unsigned char, 64> in{};
    in.fill(0x5A);
    in[15] = 0x87;
    putLE32(&in[24], 123456);
    putLE32(&in[28], -2);
    putLE32(&in[32], 0x7FFFFFFF);
    in[36] = 0x11;
    putLE32(&in[40], -1000);
    putLE32(&in[44], 70000);

    TrajectoryDataRecord t;
    t.FinalPosition = 11;
    t.RequestedSpeed = 12;
    t.PosLimitUpper = 13;
    t.PosLimitLower = 14;
    t.SmallStep = 15;
    t.LargeStep = 16;
    t.NCTypeSwitch = true;
    t.TestButton = 2;
    Codec::OtherSettings2TrajectoryData(Codec::Buffer2OtherSettings(in.data()), t);
    QCOMPARE(t.MaxSpeed, 123456);
    QCOMPARE(t.MaxAccel, -2);
    QCOMPARE(t.MaxDecel, 0x7FFFFFFF);
    QCOMPARE(t.EnableEndSwitch, true);
    QCOMPARE(t.NCTypeSwitch, false);
    QCOMPARE(t.AutoRunInvertDirection, true);
    QCOMPARE(t.BIN1Steps, -1000);
    QCOMPARE(t.BIN2Steps, 70000);
    // The reply does not carry these.
    QCOMPARE(t.FinalPosition, 11);
    QCOMPARE(t.RequestedSpeed, 12);
    QCOMPARE(t.PosLimitUpper, 13);
    QCOMPARE(t.PosLimitLower, 14);
    QCOMPARE(t.SmallStep, 15);
    QCOMPARE(t.LargeStep, 16);
    QCOMPARE(int(t.TestButton), 2);
}

void TestDriverConfig::otherSettingsFlags_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("endSwitch");
    QTest::addColumn<bool>("ncType");
    QTest::addColumn<bool>("invert");

    QTest::newRow("bit 0") << 0x01 << true << false << false;
    QTest::newRow("bit 1") << 0x02 << false << true << false;
    QTest::newRow("bit 4") << 0x10 << false << false << true;
    // Bit 2 is where the outgoing trajectory command carries the invert flag.
    QTest::newRow("bit 2 is not invert") << 0x04 << false << false << false;
    QTest::newRow("unused bits") << 0xEC << false << false << false;
    QTest::newRow("all three") << 0x13 << true << true << true;
}

void TestDriverConfig::otherSettingsFlags()
{
    QFETCH(int, flags);
    QFETCH(bool, endSwitch);
    QFETCH(bool, ncType);
    QFETCH(bool, invert);

    std::array<unsigned char, 64> in{};
    in[36] = static_cast<unsigned char>(flags);
    const OtherSettings o = Codec::Buffer2OtherSettings(in.data());
    QCOMPARE(o.EnableEndSwitch, endSwitch);
    QCOMPARE(o.NCTypeSwitch, ncType);
    QCOMPARE(o.AutoRunInvertDirection, invert);
}

void TestDriverConfig::settingsLineOfDefaultConfiguration()
{
    QCOMPARE(Codec::DrvSettings2String(defaultConfiguration()),
             QStringLiteral("3;2.2;1.0;85;0.5;1;5;1.00;0;0.5;15.0;0;0"));
    DrvSettingsRecord s = defaultConfiguration();
    s.PWMMode = true;
    s.I2CAddress = 127;
    s.FullScaleCurrent = 15.0;
    s.BlankingTime = 5.12;
    s.MixedDecayTime = 128.0;
    QCOMPARE(Codec::DrvSettings2String(s), QStringLiteral("3;15.0;1.0;85;0.5;1;5;5.12;0;128.0;15.0;1;127"));
}

void TestDriverConfig::settingsLineParse_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("settings");
    auto row = [](const char *name, const char *line, const char *settings) {
        QTest::newRow(name) << QString::fromUtf8(line) << QString::fromUtf8(settings);
    };

    row("default preset", "Default configuration;3;2.2;1.0;85;0.5;1;5;1.0;0;0.5;15.0;0;0",
        "3;2.2;1.0;85;0.5;1;5;1.00;0;0.5;15.0;0;0");
    row("short line keeps the rest", "Short;1;0.8", "1;0.8;3.3;99;1.1;2;4;2.50;1;3.5;9.5;1;42");
    row("twelve fields", "Twelve;0;1.5;0.5;60;0.5;3;2;0.5;0;4.0;8.0;1", "0;1.5;0.5;60;0.5;3;2;0.50;0;4.0;8.0;1;42");
    row("name only", "Only a name", SentinelLine);
    row("empty line", "", SentinelLine);
    // Empty parts keep their place; what does not parse becomes 0.
    row("non-numeric fields", "Bad;x;abc;1.0;85.5;;1;5;1.0;0;0.5;15.0;yes;12",
        "0;0.0;1.0;0;0.0;1;5;1.00;0;0.5;15.0;0;12");
    row("all empty", ";;;;;;;;;;;;;", "0;0.0;0.0;0;0.0;0;0;0.00;0;0.0;0.0;0;0");
    row("PWM flag any non-zero", "P;2;2.0;1.0;70;0.5;0;3;1.0;1;1.0;2.0;-1;3",
        "2;2.0;1.0;70;0.5;0;3;1.00;1;1.0;2.0;1;3");
    row("extra items ignored", "Long;4;3.0;1.0;80;0.5;2;1;0.5;1;1.5;3.0;0;7;99;x",
        "4;3.0;1.0;80;0.5;2;1;0.50;1;1.5;3.0;0;7");
}

void TestDriverConfig::settingsLineParse()
{
    QFETCH(QString, line);
    QFETCH(QString, settings);

    DrvSettingsRecord s = sentinelSettings();
    QCOMPARE(Codec::DrvSettings2String(s), QString::fromLatin1(SentinelLine));
    Codec::String2DrvSettings(line, s);
    QCOMPARE(Codec::DrvSettings2String(s), settings);
}

void TestDriverConfig::settingsLineParseLeavesOtherFields()
{
    DrvSettingsRecord s = sentinelSettings();
    s.DriverName = QStringLiteral("Bench 3");
    s.ModbusConfig = 4;
    s.BINxButtonsMode = true;
    s.AutoRunMode = true;
    s.TBlank = 11;
    s.TDecay = 12;
    s.TOff = 13;
    s.DTime = 2;
    s.TDrive = 3;
    s.IDrive = 1;
    Codec::String2DrvSettings(QStringLiteral("Default configuration;3;2.2;1.0;85;0.5;1;5;1.0;0;0.5;15.0;0;0"), s);
    QCOMPARE(s.PWMMode, false);
    QCOMPARE(s.DriverName, QStringLiteral("Bench 3"));
    QCOMPARE(s.ModbusConfig, 4);
    QCOMPARE(s.BINxButtonsMode, true);
    QCOMPARE(s.AutoRunMode, true);
    QCOMPARE(s.TBlank, 11);
    QCOMPARE(s.TDecay, 12);
    QCOMPARE(s.TOff, 13);
    QCOMPARE(s.DTime, 2);
    QCOMPARE(s.TDrive, 3);
    QCOMPARE(s.IDrive, 1);
}

void TestDriverConfig::registerDump()
{
    DrvSettingsRecord s = defaultConfiguration();
    DriverRegistersRecord r;
    Codec::DrvSettings2DriverRegisters(s, r);
    QCOMPARE(Codec::DriverRegisters2String(r, s.I2CAddress),
             QStringLiteral("0x619;0x787;0x01D;0x031;0x500;0xF00;0x5AF;0x000;85;0x37A;0x33D;0x00"));
    s.I2CAddress = 0x2A;
    s.PWMMode = true;
    s.AdaptiveBlanking = 1;
    Codec::DrvSettings2DriverRegisters(s, r);
    QCOMPARE(Codec::DriverRegisters2String(r, s.I2CAddress),
             QStringLiteral("0x619;0x787;0x11D;0x131;0x500;0xF00;0x5AF;0x000;85;0x37A;0x33D;0x2A"));
}

void TestDriverConfig::deviceObjectWrapsTheCodec()
{
    // The members work on the device object's own records and buffers.
    TorvanDRV drv;
    drv.DrvSettings = defaultConfiguration();
    drv.DrvSettings.BINxButtonsMode = true;
    drv.DrvSettings2DriverRegisters();
    QCOMPARE(drv.DriverRegisters.Registers[0], 0x619u);
    QCOMPARE(drv.DriverRegisters2String(),
             QStringLiteral("0x619;0x787;0x01D;0x031;0x500;0xF00;0x5AF;0x000;85;0x37A;0x33D;0x00"));
    QCOMPARE(drv.DrvSettings2String(), QStringLiteral("3;2.2;1.0;85;0.5;1;5;1.00;0;0.5;15.0;0;0"));

    std::memset(drv.OutputReport, 0xEE, sizeof drv.OutputReport);
    drv.DriverRegisters2Buffer();
    QCOMPARE(int(drv.OutputReport[21]), 0x19);
    QCOMPARE(int(drv.OutputReport[38]), 5);
    QCOMPARE(int(drv.OutputReport[37]), 0xEE);
    QCOMPARE(int(drv.OutputReport[2]), 0xEE); // the command code is the operation's

    drv.String2DrvSettings(QStringLiteral("X;1;0.8;0.4;70;0.3;2;0;0.5;1;2.0;4.0;1;9"));
    QCOMPARE(drv.DrvSettings2String(), QStringLiteral("1;0.8;0.4;70;0.3;2;0;0.50;1;2.0;4.0;1;9"));

    const auto reply = registersReply({0x621, 0x7C0, 0x007, 0x009, 0x203, 0xF00, 0xFFF, 0}, 90, 0x150, 0x050, 33, 6, 2);
    std::memcpy(drv.InputReport, reply.data(), reply.size());
    QMetaObject::invokeMethod(&drv, "Buffer2DriverRegisters");
    drv.DriverRegisters2DrvSettings();
    QCOMPARE(drv.DrvSettings.StepMode, 4);
    QCOMPARE(drv.DrvSettings.I2CAddress, 33);
    QCOMPARE(drv.DrvSettings.ModbusConfig, 2);
    QCOMPARE(drv.DrvSettings.AutoRunMode, true);
    QCOMPARE(drv.DrvSettings.BINxButtonsMode, false);
    QCOMPARE(drv.DrvSettings.TemperatureLimit, 90);
    QCOMPARE(drv.DrvSettings.DecayMode, 2);
    QCOMPARE(drv.DrvSettings.TOff, 7);

    std::array<unsigned char, 64> other{};
    other[15] = 0x87;
    putLE32(&other[24], 5000);
    other[36] = 0x02;
    putLE32(&other[44], -7);
    std::memcpy(drv.InputReport, other.data(), other.size());
    QMetaObject::invokeMethod(&drv, "Buffer2OtherSettings");
    QCOMPARE(drv.TrajectoryData.MaxSpeed, 5000);
    QCOMPARE(drv.TrajectoryData.NCTypeSwitch, true);
    QCOMPARE(drv.TrajectoryData.BIN2Steps, -7);
}

QTEST_GUILESS_MAIN(TestDriverConfig)
#include "tst_driverconfig.moc"
