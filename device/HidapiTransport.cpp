#include "device/HidTransport.h"

#include <hidapi.h>

namespace {

QString fromWide(const wchar_t *text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

hid_device *device(HidHandle *handle)
{
    return reinterpret_cast<hid_device *>(handle);
}

} // namespace

std::vector<HidDeviceEntry> HidapiTransport::enumerate(unsigned short vendorId, unsigned short productId)
{
    std::vector<HidDeviceEntry> list;
    hid_device_info *all = hid_enumerate(vendorId, productId);
    for (hid_device_info *info = all; info; info = info->next) {
        HidDeviceEntry entry;
        entry.path = info->path ? info->path : "";
        entry.vendorId = info->vendor_id;
        entry.productId = info->product_id;
        entry.serialNumber = fromWide(info->serial_number);
        entry.hasManufacturer = info->manufacturer_string != nullptr;
        entry.manufacturer = fromWide(info->manufacturer_string);
        entry.product = fromWide(info->product_string);
        list.push_back(entry);
    }
    hid_free_enumeration(all);
    return list;
}

HidHandle *HidapiTransport::openPath(const std::string &path)
{
    return reinterpret_cast<HidHandle *>(hid_open_path(path.c_str()));
}

int HidapiTransport::setNonblocking(HidHandle *handle, int nonblock)
{
    return hid_set_nonblocking(device(handle), nonblock);
}

int HidapiTransport::read(HidHandle *handle, unsigned char *data, size_t length)
{
    return hid_read(device(handle), data, length);
}

int HidapiTransport::write(HidHandle *handle, const unsigned char *data, size_t length)
{
    return hid_write(device(handle), data, length);
}

void HidapiTransport::close(HidHandle *handle)
{
    hid_close(device(handle));
}
