#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <vector>

// An open HID device as the transport knows it. Opaque to its users.
struct HidHandle;

// One entry of a HID enumeration, with the fields the device object reads.
struct HidDeviceEntry
{
    std::string path;
    unsigned short vendorId = 0;
    unsigned short productId = 0;
    QString serialNumber;
    QString manufacturer;
    bool hasManufacturer = false; // an entry without a manufacturer string never matches
    QString product;
};

// The HID calls the device object makes, one to one with the HID library it
// is built on: enumerate, open by path, set non-blocking, read, write, close.
// The production implementation passes straight to the library; the
// simulated board implements the board's side behind the same calls.
class HidTransport
{
public:
    virtual ~HidTransport() = default;

    // All HID devices when both ids are 0. The returned list is owned by the
    // caller (it stands for the library's enumeration list).
    virtual std::vector<HidDeviceEntry> enumerate(unsigned short vendorId, unsigned short productId) = 0;
    // Only ever given a path from enumerate(). Null on failure.
    virtual HidHandle *openPath(const std::string &path) = 0;
    virtual int setNonblocking(HidHandle *handle, int nonblock) = 0;
    // Non-blocking: 0 when nothing is pending, -1 after unplug, else the
    // number of bytes read (the report id is not returned).
    virtual int read(HidHandle *handle, unsigned char *data, size_t length) = 0;
    // data[0] is the report id. Returns the count written or -1.
    virtual int write(HidHandle *handle, const unsigned char *data, size_t length) = 0;
    virtual void close(HidHandle *handle) = 0;

    // Boards present on the bus that another program holds open, which
    // enumerate() leaves out (same id filter). Empty where the layer cannot
    // tell them apart.
    virtual std::vector<HidDeviceEntry> enumerateHeld(unsigned short vendorId, unsigned short productId)
    {
        (void)vendorId;
        (void)productId;
        return {};
    }
};

// The real USB bus, through hidapi (hidraw back end).
class HidapiTransport : public HidTransport
{
public:
    std::vector<HidDeviceEntry> enumerate(unsigned short vendorId, unsigned short productId) override;
    HidHandle *openPath(const std::string &path) override;
    int setNonblocking(HidHandle *handle, int nonblock) override;
    int read(HidHandle *handle, unsigned char *data, size_t length) override;
    int write(HidHandle *handle, const unsigned char *data, size_t length) override;
    void close(HidHandle *handle) override;
};
