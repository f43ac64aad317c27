#include "FirmwareRig.h"

#include "firmware/Checksum.h"
#include "firmware/FirmwareImage.h"

#include <QtTest>

#include <vector>

namespace {

enum Fault {
    NoFault,
    UnplugAfterErase,    // after the n-th erase report
    UnplugAfterWrite,    // after the n-th write report
    WriteFailsAt,        // the n-th write report fails; the board stays
    UnplugAfterChecksum, // after the checksum request for sector n
    WrongChecksum,       // sector n reports a wrong checksum
    SilentSector,        // sector n never answers
    StaleReply,          // sector n is answered with sector n-1's reply
    StaleThenOwnReply,   // sector n gets sector n-1's reply first, then its own
    ReplyDelay,          // every checksum reply comes n ms after its request
};

const QStringList Start = {QStringLiteral("Starting full update..."), QStringLiteral("Erasing sectors...")};
const QStringList Erased = {QStringLiteral("Erasing done!"), QStringLiteral("Uploading new FW...")};
const QStringList Uploaded = {QStringLiteral("Uploading OK."), QStringLiteral("Reading CRCs...")};
const QStringList Disconnected = {QStringLiteral("Disconnecting device..."),
                                  QStringLiteral("Torvan device disconnected!")};
const QString EraseLost = QStringLiteral("Device disconnected during erase. Please reconnect device.");
const QString UploadLost = QStringLiteral("Device disconnected during upload. Please reconnect device.");
const QString ChecksFailed =
    QStringLiteral("Device disconnected during CRC check or CRC(s) failed. Please reconnect device.");
const QStringList Finish = {QStringLiteral("All CRCs OK."), QStringLiteral("Writing signature."),
                            QStringLiteral("Restarting device...")};

// "CRC n is OK." for each listed sector, NOK for those in `bad`.
QStringList crcLines(std::initializer_list<int> sectors, std::initializer_list<int> bad = {})
{
    QStringList lines;
    for (int s : sectors) {
        const bool nok = std::find(bad.begin(), bad.end(), s) != bad.end();
        lines << QStringLiteral("CRC %1 is %2.").arg(s).arg(nok ? "NOK" : "OK");
    }
    return lines;
}

QStringList allGood()
{
    return Start + Erased + Uploaded + crcLines({2, 3, 4, 5, 6, 7}) + Finish;
}

QString sectorsText(const std::vector<int> &sectors)
{
    QStringList numbers;
    for (int sector : sectors)
        numbers << QString::number(sector);
    return numbers.isEmpty() ? QStringLiteral("none") : numbers.join(QLatin1Char(' '));
}

QString outcomeText(const FullUpdateRecord &update)
{
    switch (update.outcome) {
    case FullUpdateRecord::Outcome::Restarted:
        return QStringLiteral("restarted");
    case FullUpdateRecord::Outcome::Lost:
        return QStringLiteral("lost");
    case FullUpdateRecord::Outcome::ChecksumFailed:
        return QStringLiteral("checksums: wrong %1, unanswered %2")
            .arg(sectorsText(update.wrongSectors), sectorsText(update.unansweredSectors));
    default:
        return QStringLiteral("other");
    }
}

InputReportBytes checksumReply(int sector, const std::array<unsigned char, FirmwareImageSize> &flash)
{
    const uint32_t sum = Firmware::sectorChecksum(sector, flash.data());
    InputReportBytes r{};
    r[1] = static_cast<unsigned char>(sum >> 24);
    r[2] = static_cast<unsigned char>(sum >> 16);
    r[3] = static_cast<unsigned char>(sum >> 8);
    r[4] = static_cast<unsigned char>(sum);
    r[Report::TypeByte] = 0x06;
    r[16] = static_cast<unsigned char>(sector);
    return r;
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestFullUpdate : public QObject
{
    Q_OBJECT

    // A board in its boot loader over an older application, connected; the
    // mismatch question at connection was answered Cancel. Records the
    // progress value the window would read at every progress signal.
    struct Rig : FirmwareRig
    {
        std::vector<int> progress;

        Rig()
        {
            bootloaderOverApplication(0x22);
            tick();
            QObject::connect(&drv, &TorvanDRV::newFWProgressValueAvailable,
                             [this] { progress.push_back(drv.OutputReport[3] * 128 + drv.OutputReport[4]); });
            forget();
        }
    };

private slots:
    void successfulRun()
    {
        Rig rig;
        QVERIFY(rig.drv.IsConnected());
        QVERIFY(rig.drv.LinkKey != 0);

        rig.drv.FullUpdate();

        QCOMPARE(rig.pane.texts(), allGood());
        const auto &received = rig.board.received;
        QCOMPARE(int(received.size()), 6 + 768 + 6 + 1 + 1);
        size_t i = 0;
        for (int sector = 7; sector >= 2; --sector, ++i) {
            QCOMPARE(received[i].code(), Report::CmdEraseSector);
            QCOMPARE(int(received[i].plain[3]), sector);
        }
        for (int address = 0x2000; address < 0x8000; address += 32, ++i) {
            const ReceivedCommand &write = received[i];
            QCOMPARE(write.code(), Report::CmdWriteSubsector);
            QCOMPARE(int(write.plain[3]), address >> 12);
            QCOMPARE(int(write.plain[4]), (address >> 5) & 0x7F);
            QVERIFY2(std::equal(write.plain.begin() + 5, write.plain.begin() + 37, FirmwareImage + address),
                     qPrintable(QString::asprintf("data of 0x%04X", address)));
        }
        for (int sector = 2; sector <= 7; ++sector, ++i) {
            QCOMPARE(received[i].code(), Report::CmdReadSectorCRC);
            QCOMPARE(int(received[i].plain[3]), sector);
        }
        QCOMPARE(received[i].code(), Report::CmdWriteSignature);
        QVERIFY(std::equal(received[i].plain.begin() + 8, received[i].plain.begin() + 12, SignatureMarker));
        QCOMPARE(received[i + 1].code(), Report::CmdRestart);
        // Every report went out scrambled with the link key.
        for (const ReceivedCommand &c : received)
            QCOMPARE(int(c.kind), int(Scrambler::Decoded::Scrambled));

        // Progress: one value per write, read while the buffer was plain,
        // from 256 to 1023.
        QCOMPARE(int(rig.progress.size()), 768);
        for (int k = 0; k < 768; ++k)
            QCOMPARE(rig.progress[size_t(k)], 256 + k);

        QVERIFY(!rig.drv.IsReceiveTimerActive());
        QVERIFY(rig.board.model.flash.holdsCarriedApplication());
        QVERIFY(rig.board.model.flash.signatureValid());
    }

    void floodingBoardIsUpdated()
    {
        // Every checksum step drains the input first; a board that always
        // has a report pending must not hold the update there.
        Rig rig;
        rig.board.floodReports = 1000000;
        rig.drv.FullUpdate();
        QCOMPARE(rig.pane.texts(), allGood());
        QVERIFY2(rig.board.reads < 10000, qPrintable(QString::number(rig.board.reads)));
    }

    void faults_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("n");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("progressSignals");
        QTest::addColumn<QString>("received"); // erase/write/checksum reports the board took
        QTest::addColumn<QString>("outcome");  // as the device object records it

        QTest::newRow("unplugged after the 3rd erase")
            << UnplugAfterErase << 3 << Start + Disconnected + QStringList{EraseLost} << 0 << "3/0/0"
            << "lost";
        QTest::newRow("unplugged after the last erase")
            << UnplugAfterErase << 6 << Start + Erased + Disconnected + QStringList{UploadLost} << 1 << "6/0/0"
            << "lost";
        QTest::newRow("unplugged after write 100")
            << UnplugAfterWrite << 100 << Start + Erased + Disconnected + QStringList{UploadLost} << 101 << "6/100/0"
            << "lost";
        QTest::newRow("write 100 fails, board stays")
            << WriteFailsAt << 100 << Start + Erased + Disconnected + QStringList{UploadLost} << 100 << "6/99/0"
            << "lost";
        QTest::newRow("unplugged after the last write")
            << UnplugAfterWrite << 768
            << Start + Erased + QStringList{Uploaded[0]} + Disconnected + QStringList{Uploaded[1], ChecksFailed} << 768
            << "6/768/0"
            << "lost";
        // A failed read while waiting ends the procedure at once.
        QTest::newRow("unplugged while sector 4 is awaited")
            << UnplugAfterChecksum << 4 << Start + Erased + Uploaded + crcLines({2, 3}) + Disconnected << 768
            << "6/768/3"
            << "lost";
        QTest::newRow("sector 5 NOK") << WrongChecksum << 5
                                      << Start + Erased + Uploaded + crcLines({2, 3, 4, 5, 6, 7}, {5}) +
                                             QStringList{ChecksFailed}
                                      << 768 << "6/768/6"
                                      << "checksums: wrong 5, unanswered none";
        QTest::newRow("sector 3 never answers")
            << SilentSector << 3 << Start + Erased + Uploaded + crcLines({2, 4, 5, 6, 7}) + QStringList{ChecksFailed}
            << 768 << "6/768/6"
            << "checksums: wrong none, unanswered 3";
        QTest::newRow("sector 4 answered with sector 3's reply")
            << StaleReply << 4 << Start + Erased + Uploaded + crcLines({2, 3, 5, 6, 7}) + QStringList{ChecksFailed}
            << 768 << "6/768/6"
            << "checksums: wrong none, unanswered 4";
        QTest::newRow("sector 7 gets sector 6's reply, then its own")
            << StaleThenOwnReply << 7 << allGood() << 768 << "6/768/6"
            << "restarted";
        // The window is 500 ms from the end of the 20 ms pause.
        QTest::newRow("replies after 510 ms") << ReplyDelay << 510 << allGood() << 768 << "6/768/6"
                                              << "restarted";
        QTest::newRow("replies after 530 ms")
            << ReplyDelay << 530 << Start + Erased + Uploaded + QStringList{ChecksFailed} << 768 << "6/768/6"
            << "checksums: wrong none, unanswered 2 3 4 5 6 7";
    }
    void faults()
    {
        QFETCH(Fault, fault);
        QFETCH(int, n);
        QFETCH(QStringList, log);
        QFETCH(int, progressSignals);
        QFETCH(QString, received);
        QFETCH(QString, outcome);

        Rig rig;
        int erases = 0, writes = 0;
        FlashModel &flash = rig.board.model.flash;
        switch (fault) {
        case WrongChecksum:
            flash.wrongChecksumSector = n;
            break;
        case SilentSector:
            flash.silentSector = n;
            break;
        case StaleReply:
            flash.staleSector = n;
            break;
        case ReplyDelay:
            rig.board.replyDelayMs = n;
            break;
        default:
            break;
        }
        rig.board.onCommand = [&](SimulatedBoard &board, const ReceivedCommand &c) {
            if (c.code() == Report::CmdEraseSector && ++erases == n && fault == UnplugAfterErase)
                board.unplug();
            if (c.code() == Report::CmdWriteSubsector) {
                ++writes;
                if (fault == UnplugAfterWrite && writes == n)
                    board.unplug();
                if (fault == WriteFailsAt && writes == n - 1)
                    board.failNextWrites = 1;
            }
            if (c.code() == Report::CmdReadSectorCRC && c.plain[3] == n) {
                if (fault == UnplugAfterChecksum)
                    board.unplug();
                if (fault == StaleThenOwnReply)
                    board.injectReport(checksumReply(n - 1, board.model.flash.memory));
            }
        };

        rig.drv.FullUpdate();

        QCOMPARE(rig.pane.texts(), log);
        QCOMPARE(int(rig.progress.size()), progressSignals);
        QCOMPARE(QStringLiteral("%1/%2/%3")
                     .arg(rig.count(Report::CmdEraseSector))
                     .arg(rig.count(Report::CmdWriteSubsector))
                     .arg(rig.count(Report::CmdReadSectorCRC)),
                 received);
        const bool succeeded = log.endsWith(Finish.last());
        QCOMPARE(rig.count(Report::CmdWriteSignature), succeeded ? 1 : 0);
        QCOMPARE(rig.count(Report::CmdRestart), succeeded ? 1 : 0);
        if (succeeded)
            QCOMPARE(rig.board.receivedCodes().back(), Report::CmdRestart);
        QVERIFY(!rig.drv.IsReceiveTimerActive());
        QCOMPARE(outcomeText(rig.drv.LastFullUpdate), outcome);
    }

    // Pressed with no board connected: three lines and nothing sent.
    void noBoard()
    {
        FirmwareRig rig;
        int progress = 0;
        QObject::connect(&rig.drv, &TorvanDRV::newFWProgressValueAvailable, [&] { ++progress; });
        rig.drv.FullUpdate();
        QCOMPARE(rig.pane.texts(), Start + QStringList{EraseLost});
        QCOMPARE(outcomeText(rig.drv.LastFullUpdate), QStringLiteral("lost"));
        QVERIFY(rig.board.received.empty());
        QCOMPARE(progress, 0);
    }

    // Pressed while the board's application runs: the application obeys no
    // flash command, no checksum comes back, and no signature or restart
    // follows; the flash is as it was.
    void applicationRunning()
    {
        FirmwareRig rig;
        rig.applicationRunning(0x23);
        rig.tick();
        QVERIFY(rig.drv.IsConnected());
        rig.forget();
        rig.drv.FullUpdate();
        QCOMPARE(rig.pane.texts(), Start + Erased + Uploaded + QStringList{ChecksFailed});
        QCOMPARE(rig.count(Report::CmdWriteSignature) + rig.count(Report::CmdRestart), 0);
        QCOMPARE(rig.board.model.flash.erases, 0);
        QVERIFY(rig.board.model.flash.holdsCarriedApplication());
        QVERIFY(rig.board.model.flash.signatureValid());
    }

    // A board that reported a bad checksum keeps its boot loader and no
    // signature: a second run, with the fault gone, completes the update.
    void retryAfterFailedCheck()
    {
        Rig rig;
        rig.board.model.flash.wrongChecksumSector = 6;
        rig.drv.FullUpdate();
        QVERIFY(rig.pane.texts().contains(ChecksFailed));
        QCOMPARE(outcomeText(rig.drv.LastFullUpdate), QStringLiteral("checksums: wrong 6, unanswered none"));
        QVERIFY(!rig.board.model.flash.signatureValid());
        QVERIFY(rig.drv.IsConnected());

        rig.board.model.flash.wrongChecksumSector = -1;
        rig.forget();
        rig.drv.FullUpdate();
        QCOMPARE(rig.pane.texts(), allGood());
        QCOMPARE(outcomeText(rig.drv.LastFullUpdate), QStringLiteral("restarted"));
        QVERIFY(rig.board.model.flash.signatureValid());
    }
};

QTEST_GUILESS_MAIN(TestFullUpdate)
#include "tst_fullupdate.moc"
