#include "device/Scrambler.h"

#include <QtTest>

#include <array>

using Report65 = std::array<unsigned char, 65>;
Q_DECLARE_METATYPE(Report65)

namespace {

Report65 patterned(unsigned char code, unsigned char seed)
{
    Report65 r{};
    r[2] = code;
    for (int i = 3; i <= 62; ++i)
        r[size_t(i)] = static_cast<unsigned char>(seed + i * 7);
    r[63] = 0;
    r[64] = 0x99; // whatever the buffer held from before
    return r;
}

// What each scrambled byte must be, written out per byte position.
unsigned char expectedWire(const Report65 &p, int i, uint32_t key, unsigned char m)
{
    const unsigned char k0 = key & 0xFF, k1 = (key >> 8) & 0xFF, k2 = (key >> 16) & 0xFF, k3 = key >> 24;
    if (i <= 1)
        return p[size_t(i)];
    if (i == 2)
        return p[2] ^ m;
    if (i == 3)
        return p[3] ^ (k2 | 0x6E);
    if (i == 4)
        return p[4] ^ p[14];
    if (i >= 5 && i <= 12)
        return p[size_t(i)] ^ k0;
    if (i >= 13 && i <= 20)
        return p[size_t(i)] ^ k3;
    if (i >= 21 && i <= 28)
        return p[size_t(i)] ^ 0x3A;
    if (i >= 29 && i <= 36)
        return p[size_t(i)] ^ k2;
    if (i >= 37 && i <= 44)
        return p[size_t(i)] ^ k1;
    if (i >= 45 && i <= 52)
        return p[size_t(i)] ^ 0xC6;
    if (i >= 53 && i <= 60)
        return p[size_t(i)] ^ k0;
    if (i == 61)
        return static_cast<unsigned char>(p[61] + m);
    if (i == 62)
        return static_cast<unsigned char>(p[62] - m);
    if (i == 63)
        return 0;
    return m;
}

} // namespace

class TestScrambler : public QObject
{
    Q_OBJECT
private slots:
    void scrambledWireBytes_data()
    {
        QTest::addColumn<Report65>("plain");
        QTest::addColumn<uint>("key");
        QTest::addColumn<int>("randomByte");
        QTest::newRow("device info request") << patterned(0x01, 0) << 0x12345678u << 0x00;
        QTest::newRow("write values, all key bytes set") << patterned(0x80, 0x40) << 0xFFEEDDCCu << 0xFF;
        QTest::newRow("trajectory, random byte without mask bits") << patterned(0xB1, 0x11) << 0x00000001u << 0xB4;
        QTest::newRow("zeros plain, key only in k3") << Report65{} << 0xA5000000u << 0x21;
    }

    void scrambledWireBytes()
    {
        QFETCH(Report65, plain);
        QFETCH(uint, key);
        QFETCH(int, randomByte);
        Report65 wire = plain;
        Scrambler::encode(wire.data(), key, static_cast<unsigned char>(randomByte));
        const unsigned char m = static_cast<unsigned char>(randomByte) | 0x4B;
        for (int i = 0; i < 65; ++i)
            QVERIFY2(wire[size_t(i)] == expectedWire(plain, i, key, m), qPrintable(QStringLiteral("byte %1").arg(i)));

        // The board undoes it: bytes 0 to 63 come back as built.
        Report65 back = wire;
        QCOMPARE(Scrambler::decode(back.data(), key), Scrambler::Decoded::Scrambled);
        QVERIFY(std::equal(back.begin(), back.begin() + 64, plain.begin()));
    }

    void selfCheckFallsBackToPlainReport()
    {
        // A non-zero byte 63 cannot survive scrambling: the report goes out
        // as built and marked plain, even when the buffer still holds the
        // check byte of an earlier scrambled send.
        Report65 plain = patterned(0x90, 3);
        plain[63] = 0x55;
        plain[64] = 0x4B | 0x30;
        Report65 wire = plain;
        Scrambler::encode(wire.data(), 0xCAFEBABE, 0x42);
        QVERIFY(std::equal(wire.begin(), wire.begin() + 64, plain.begin()));
        QCOMPARE(wire[64], static_cast<unsigned char>(0));
        Report65 back = wire;
        QCOMPARE(Scrambler::decode(back.data(), 0xCAFEBABE), Scrambler::Decoded::Plain);
    }

    void zeroKeySendsPlain()
    {
        Report65 plain = patterned(0x01, 9);
        plain[63] = 0x33;
        Report65 wire = plain;
        Scrambler::encode(wire.data(), 0, 0x7F);
        QVERIFY(std::equal(wire.begin(), wire.begin() + 64, plain.begin()));
        QCOMPARE(wire[64], static_cast<unsigned char>(0));
        Report65 back = wire;
        QCOMPARE(Scrambler::decode(back.data(), 0x1234), Scrambler::Decoded::Plain);
        QCOMPARE(back, wire);
    }

    void corruptCheckByteIsRejected()
    {
        Report65 r = patterned(0x80, 1);
        r[64] = 0x4A; // one mask bit missing
        const Report65 before = r;
        QCOMPARE(Scrambler::decode(r.data(), 0x1234), Scrambler::Decoded::Corrupt);
        QCOMPARE(r, before);
    }

    void keyFromUniqueId_data()
    {
        QTest::addColumn<QByteArray>("uniqueId");
        QTest::addColumn<uint>("key");
        QTest::newRow("groups xor, big-endian") << QByteArray::fromHex("01020304"
                                                                       "10203040"
                                                                       "00000000"
                                                                       "000000FF")
                                                << 0x112233BBu;
        QTest::newRow("equal groups cancel") << QByteArray::fromHex("A1B2C3D4A1B2C3D4"
                                                                    "0000000000000000")
                                             << 0u;
        QTest::newRow("last group only") << QByteArray::fromHex("000000000000000000000000"
                                                                "DEADBEEF")
                                         << 0xDEADBEEFu;
    }

    void keyFromUniqueId()
    {
        QFETCH(QByteArray, uniqueId);
        QFETCH(uint, key);
        QCOMPARE(Scrambler::keyFromUniqueId(reinterpret_cast<const unsigned char *>(uniqueId.constData())), key);
    }
};

QTEST_GUILESS_MAIN(TestScrambler)
#include "tst_scrambler.moc"
