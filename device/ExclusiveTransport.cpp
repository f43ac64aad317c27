#include "device/ExclusiveTransport.h"

#include "device/Records.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr int NoLock = -1; // the node cannot be opened here: the HID layer decides
constexpr int Busy = -2;   // another open holds the lock

// A descriptor holding an exclusive lock on the node, or NoLock or Busy.
int lockNode(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return NoLock;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return Busy;
    }
    return fd;
}

void unlockNode(int fd)
{
    if (fd >= 0)
        ::close(fd); // the lock goes with its descriptor
}

bool isBoard(const HidDeviceEntry &entry)
{
    return entry.vendorId == Report::VendorId && entry.productId == Report::ProductId;
}

} // namespace

ExclusiveTransport::ExclusiveTransport(HidTransport &inner) : inner(inner)
{}

ExclusiveTransport::~ExclusiveTransport()
{
    for (const auto &entry : locks)
        unlockNode(entry.second);
}

namespace {

// A board whose node another open holds locked (this program's own open
// included).
bool lockedByAnother(const HidDeviceEntry &entry)
{
    if (!isBoard(entry))
        return false;
    const int fd = lockNode(entry.path);
    unlockNode(fd);
    return fd == Busy;
}

} // namespace

std::vector<HidDeviceEntry> ExclusiveTransport::enumerate(unsigned short vendorId, unsigned short productId)
{
    std::vector<HidDeviceEntry> list = inner.enumerate(vendorId, productId);
    list.erase(std::remove_if(list.begin(), list.end(), lockedByAnother), list.end());
    return list;
}

std::vector<HidDeviceEntry> ExclusiveTransport::enumerateHeld(unsigned short vendorId, unsigned short productId)
{
    std::vector<HidDeviceEntry> list = inner.enumerate(vendorId, productId);
    list.erase(
        std::remove_if(list.begin(), list.end(), [](const HidDeviceEntry &entry) { return !lockedByAnother(entry); }),
        list.end());
    return list;
}

HidHandle *ExclusiveTransport::openPath(const std::string &path)
{
    const int fd = lockNode(path);
    if (fd == Busy)
        return nullptr;
    HidHandle *handle = inner.openPath(path);
    if (!handle) {
        unlockNode(fd);
        return nullptr;
    }
    locks[handle] = fd;
    return handle;
}

int ExclusiveTransport::setNonblocking(HidHandle *handle, int nonblock)
{
    return inner.setNonblocking(handle, nonblock);
}

int ExclusiveTransport::read(HidHandle *handle, unsigned char *data, size_t length)
{
    return inner.read(handle, data, length);
}

int ExclusiveTransport::write(HidHandle *handle, const unsigned char *data, size_t length)
{
    return inner.write(handle, data, length);
}

void ExclusiveTransport::close(HidHandle *handle)
{
    inner.close(handle);
    const auto it = locks.find(handle);
    if (it != locks.end()) {
        unlockNode(it->second);
        locks.erase(it);
    }
}
