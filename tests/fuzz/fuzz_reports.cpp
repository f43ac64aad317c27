// A hostile board behind the HID transport seam: every read returns what the
// input says (a report of any content, a short or negative count, nothing),
// while the device object runs its enumeration and receive ticks and its
// blocking exchanges (identity, firmware check and update) on the manual
// clock.
#include "FuzzSupport.h"

#include "device/TorvanDRV.h"
#include "firmware/FirmwareCheck.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"

#include <algorithm>
#include <cstring>

namespace {

class HostileBoard : public HidTransport
{
public:
    HostileBoard(const uint8_t *data, size_t size) : data(data), size(size) {}

    bool exhausted() const { return at >= size; }

    std::vector<HidDeviceEntry> enumerate(unsigned short, unsigned short) override
    {
        HidDeviceEntry entry;
        entry.path = "hostile";
        entry.vendorId = Report::VendorId;
        entry.productId = Report::ProductId;
        entry.hasManufacturer = true;
        entry.manufacturer = QStringLiteral("Nelvar");
        entry.product = QStringLiteral("Torvan60");
        entry.serialNumber = QStringLiteral("HOSTILE");
        return {entry};
    }
    HidHandle *openPath(const std::string &) override { return reinterpret_cast<HidHandle *>(&handle); }
    int setNonblocking(HidHandle *, int) override { return 0; }
    int read(HidHandle *, unsigned char *buffer, size_t length) override
    {
        if (exhausted())
            return 0;
        const uint8_t kind = data[at++];
        switch (kind % 8) {
        case 0:
            return -1; // gone
        case 1:
            return 0; // nothing pending
        case 2: {
            // A count the HID layer should never return: more than asked, or short.
            const int count = exhausted() ? 0 : data[at++];
            const size_t filled = std::min<size_t>(length, size_t(count));
            std::memset(buffer, 0xA5, filled);
            return std::min(count, int(length));
        }
        default: {
            // One report: up to 64 bytes of the input, the rest zeros.
            const size_t n = std::min<size_t>(64, size - at);
            std::memset(buffer, 0, std::min<size_t>(length, 64));
            std::memcpy(buffer, data + at, std::min(n, length));
            at += n;
            return 64;
        }
        }
    }
    int write(HidHandle *, const unsigned char *, size_t length) override { return int(length); }
    void close(HidHandle *) override {}

private:
    const uint8_t *data;
    size_t size;
    size_t at = 0;
    int handle = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ensureApplication();
    if (size == 0)
        return 0;
    // The first byte picks what runs besides the ticks, so that most inputs
    // stay fast: the operator's identity request, a full update, and
    // whether every update question is answered OK.
    const uint8_t plan = data[0];
    ManualClock clock;
    HostileBoard board(data + 1, size - 1);
    ScriptedDialogs dialogs;
    if (plan & 4)
        dialogs.answers = {true, true}; // agree to every update the board asks for
    PendingUpdateDevice.clear();
    TorvanDRV drv;
    drv.SetClock(&clock);
    drv.SetTransport(&board);
    // No logger: the log lines are fixed texts, and stamping each with the
    // local time would cost most of the run.
    drv.SetDialogs(&dialogs);

    for (int turn = 0; turn < 4000 && !board.exhausted(); ++turn) {
        if (turn % 20 == 0)
            QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler");
        if (drv.IsConnected())
            QMetaObject::invokeMethod(&drv, "USBRXTimerHandler");
        clock.advance(10);
    }
    // The exchanges the operator starts, on whatever the board left behind.
    QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler");
    if (plan & 1)
        drv.GetDeviceInfo();
    if (plan & 2)
        drv.FullUpdate();
    PendingUpdateDevice.clear();
    return 0;
}
