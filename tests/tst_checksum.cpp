#include "device/TorvanDRV.h"
#include "device/sim/FlashModel.h"
#include "firmware/Checksum.h"
#include "firmware/FirmwareImage.h"

#include <QtTest>

#include <set>
#include <vector>

namespace {

using Image = std::vector<unsigned char>;

Image filled(unsigned char value)
{
    return Image(FirmwareImageSize, value);
}

// Byte a is (a*31 + (a>>8)) mod 256: every block and every sector differs.
Image patterned()
{
    Image image(FirmwareImageSize);
    for (int a = 0; a < FirmwareImageSize; ++a)
        image[size_t(a)] = static_cast<unsigned char>(a * 31 + (a >> 8));
    return image;
}

unsigned int viaDeviceObject(TorvanDRV &drv, int sector, const Image &image)
{
    unsigned int result = 0;
    const unsigned char *flash = image.data();
    const bool invoked =
        QMetaObject::invokeMethod(&drv, "CalculateCRC", Qt::DirectConnection, Q_RETURN_ARG(unsigned int, result),
                                  Q_ARG(int, sector), Q_ARG(const unsigned char *, flash));
    if (!invoked)
        qFatal("CalculateCRC is not invokable");
    return result;
}

} // namespace

class TestChecksum : public QObject
{
    Q_OBJECT

private slots:
    void knownValues_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("sector");
        QTest::addColumn<uint>("expected");
        QTest::newRow("4,096 zero bytes") << "zero" << 3 << 0x00000000u;
        QTest::newRow("4,096 bytes 0xFF") << "ones" << 5 << 0xA0000280u;
        QTest::newRow("pattern, sector 2") << "pattern" << 2 << 0x83C9531Au;
        QTest::newRow("pattern, sector 7") << "pattern" << 7 << 0x4A7C356Bu;
    }
    void knownValues()
    {
        QFETCH(QString, content);
        QFETCH(int, sector);
        QFETCH(uint, expected);
        const Image image = content == "zero" ? filled(0x00) : content == "ones" ? filled(0xFF) : patterned();
        QCOMPARE(Firmware::sectorChecksum(sector, image.data()), expected);
        // The device object's slot gives the same figure.
        TorvanDRV drv;
        QCOMPARE(viaDeviceObject(drv, sector, image), expected);
    }

    // The last block enters after the last shift, so nothing of it may be
    // lost; and only the sector's own bytes count.
    void lastBlockCountsAndSectorsAreSeparate()
    {
        const Image base = patterned();
        const uint32_t reference = Firmware::sectorChecksum(4, base.data());
        const int sectorEnd = 5 * FlashLayout::SectorSize;
        for (int address = sectorEnd - 16; address < sectorEnd; ++address) {
            for (unsigned char bit : {0x01, 0x80}) {
                Image changed = base;
                changed[size_t(address)] ^= bit;
                QVERIFY2(Firmware::sectorChecksum(4, changed.data()) != reference,
                         qPrintable(QString::asprintf("address 0x%04X bit 0x%02X", address, bit)));
            }
        }
        Image neighbours = base;
        neighbours[size_t(4 * FlashLayout::SectorSize - 1)] ^= 0xFF; // last byte of sector 3
        neighbours[size_t(sectorEnd)] ^= 0xFF;                       // first byte of sector 5
        QCOMPARE(Firmware::sectorChecksum(4, neighbours.data()), reference);
        // The first byte of the sector is part of it too.
        neighbours[size_t(4 * FlashLayout::SectorSize)] ^= 0x01;
        QVERIFY(Firmware::sectorChecksum(4, neighbours.data()) != reference);
    }

    // The slot is reachable by number through the meta-object: a sector
    // outside the image must not read past it.
    void sectorsOutsideTheImage()
    {
        const Image image = filled(0xFF);
        for (int sector : {-1, 8, 1 << 20})
            QCOMPARE(Firmware::sectorChecksum(sector, image.data()), 0u);
    }

    // What the update relies on in the carried image: the version where the
    // simulated board reads it, and application sectors that a checksum can
    // tell apart (a reply for the wrong sector would not pass as good).
    void carriedImage()
    {
        QCOMPARE(sizeof FirmwareImage, size_t(32768));
        QCOMPARE(FirmwareImage[FlashModel::VersionAddress], UpdateVersion[0]);
        QCOMPARE(FirmwareImage[FlashModel::VersionAddress + 1], UpdateVersion[1]);
        std::set<uint32_t> checksums;
        for (int sector = FlashLayout::FirstApplicationSector; sector < FlashLayout::SectorCount; ++sector)
            checksums.insert(Firmware::sectorChecksum(sector, FirmwareImage));
        QCOMPARE(int(checksums.size()), FlashLayout::SectorCount - FlashLayout::FirstApplicationSector);
    }
};

QTEST_GUILESS_MAIN(TestChecksum)
#include "tst_checksum.moc"
