#include "fake_system.h"

#include <sys/ioctl.h>

#include <linux/ppdev.h>

#include <cerrno>

namespace dravel::test {

void FakeSystem::addParport0() {
    directories["/proc/sys/dev/parport/"] = {"default", "parport0"};
    files["/proc/sys/dev/parport/parport0/base-addr"] = "888\t1912\n";
    directories["/proc/sys/dev/parport/parport0/devices"] = {"active"};
    files["/proc/sys/dev/parport/parport0/modes"] = "PCSPP,TRISTATE,COMPAT,EPP,ECP\n";
    files["/proc/sys/dev/parport/parport0/dma"] = "-1\n";
    files["/proc/modules"] = "ppdev 24576 0 - Live 0x0\nparport_pc 40960 0 - Live 0x0\n";
    devices["/dev/parport0"] = {};
    devices["/dev/port"] = {};
}

int FakeSystem::open(const std::string& path, int) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    opened.push_back(path);
    const auto device = devices.find(path);
    if (device == devices.end()) return -ENOENT;
    if (device->second.openError != 0) return -device->second.openError;
    const int fd = nextFd_++;
    openFds.insert(fd);
    fdPaths_[fd] = path;
    return fd;
}

void FakeSystem::close(int fd) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    openFds.erase(fd);
}

int FakeSystem::ioctl(int fd, unsigned long request, void* argument) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!openFds.count(fd)) return -EBADF;
    ioctls.push_back(request);
    auto* byte = static_cast<unsigned char*>(argument);
    switch (request) {
        case PPEXCL:
        case PPRELEASE:
            return 0;
        case PPCLAIM:
            return -claimError;
        case PPRDATA:
            *byte = ppData;
            return 0;
        case PPWDATA:
            ppData = *byte;
            return 0;
        case PPRSTATUS:
            *byte = ppStatus;
            return 0;
        case PPRCONTROL:
            *byte = ppControl & 0x0F;  // the driver keeps only these
            return 0;
        case PPWCONTROL:
            ppControl = *byte;
            return 0;
        case PPDATADIR:
            if (dataDirError != 0) return -dataDirError;
            ppDirection = *static_cast<int*>(argument);
            return 0;
        default:
            return -ENOTTY;
    }
}

int FakeSystem::ioperm(unsigned long from, unsigned long count, bool enable) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (enable && iopermError != 0) return -iopermError;
    for (unsigned long port = from; port < from + count; ++port) {
        iopermOpen[static_cast<std::uint16_t>(port)] += enable ? 1 : -1;
    }
    return 0;
}

bool FakeSystem::iopermCovers(std::uint16_t port) const {
    const auto it = iopermOpen.find(port);
    return it != iopermOpen.end() && it->second > 0;
}

std::uint8_t FakeSystem::inb(std::uint16_t port) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = ioSpace.find(port);
    return it == ioSpace.end() ? 0xFF : it->second;
}

void FakeSystem::outb(std::uint16_t port, std::uint8_t value) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    outs.emplace_back(port, value);
    ioSpace[port] = value;
}

long FakeSystem::pread(int fd, void* buffer, std::size_t count, long offset) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!openFds.count(fd) || fdPaths_[fd] != "/dev/port" || count != 1) return -EINVAL;
    *static_cast<unsigned char*>(buffer) = inb(static_cast<std::uint16_t>(offset));
    return 1;
}

long FakeSystem::pwrite(int fd, const void* buffer, std::size_t count, long offset) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!openFds.count(fd) || fdPaths_[fd] != "/dev/port" || count != 1) return -EINVAL;
    outb(static_cast<std::uint16_t>(offset), *static_cast<const unsigned char*>(buffer));
    return 1;
}

std::optional<std::string> FakeSystem::readFile(const std::string& path) {
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> FakeSystem::listDirectory(const std::string& path) {
    auto it = directories.find(path);
    if (it == directories.end() && !path.empty() && path.back() != '/') {
        it = directories.find(path + "/");
    }
    return it == directories.end() ? std::vector<std::string>{} : it->second;
}

bool FakeSystem::exists(const std::string& path) {
    return devices.count(path) > 0 || files.count(path) > 0;
}

bool FakeSystem::mayReadWrite(const std::string& path) {
    const auto it = devices.find(path);
    return it != devices.end() && it->second.mayReadWrite;
}

std::optional<port::FileStatus> FakeSystem::fileStatus(const std::string& path) {
    const auto it = statuses.find(path);
    if (it == statuses.end()) return std::nullopt;
    return it->second;
}

}  // namespace dravel::test
