#pragma once

#include "device/HidTransport.h"

#include <map>

// The sharing rule the link is built on, on a HID layer that lacks it: a
// board that one program holds open is invisible to every other, and so is
// the board this program holds open. hidraw lets any number of programs open
// a board and hands its reports to whichever reads first, which would garble
// every exchange of two tools on one board. So each board opened here
// carries an exclusive advisory lock on its device node, and boards whose
// node is locked by another open are left out of the listing and refused.
// Programs that do not lock the node are not seen; only boards with the
// board's vendor and product ids are probed, other devices are left alone.
class ExclusiveTransport : public HidTransport
{
public:
    explicit ExclusiveTransport(HidTransport &inner);
    ~ExclusiveTransport() override;

    std::vector<HidDeviceEntry> enumerate(unsigned short vendorId, unsigned short productId) override;
    HidHandle *openPath(const std::string &path) override;
    int setNonblocking(HidHandle *handle, int nonblock) override;
    int read(HidHandle *handle, unsigned char *data, size_t length) override;
    int write(HidHandle *handle, const unsigned char *data, size_t length) override;
    void close(HidHandle *handle) override;
    std::vector<HidDeviceEntry> enumerateHeld(unsigned short vendorId, unsigned short productId) override;

private:
    HidTransport &inner;
    std::map<HidHandle *, int> locks; // open handle -> descriptor holding its lock (or -1)
};
