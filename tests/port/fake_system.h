#pragma once

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "port/system_calls.h"

namespace dravel::test {

// A kernel played in memory: /proc and /sys files, device nodes, ppdev
// ioctls on one emulated port, ioperm bookkeeping and an I/O space that
// records every in/out. Nothing here reaches the real machine. Like the
// kernel, it takes calls from several threads at once: each call holds a
// lock, so a capture may read while another thread writes.
class FakeSystem : public port::SystemCalls {
public:
    struct Device {
        int openError = 0;  // errno that open() reports, 0 to succeed
        bool mayReadWrite = true;
    };

    // What the test sets up.
    std::map<std::string, std::string> files;
    std::map<std::string, std::vector<std::string>> directories;
    std::map<std::string, Device> devices;
    std::map<std::string, port::FileStatus> statuses;
    int iopermError = 0;   // errno for every ioperm(…, true), 0 to allow
    int claimError = 0;    // errno for PPCLAIM
    int dataDirError = 0;  // errno for PPDATADIR

    // The emulated port behind ppdev.
    std::uint8_t ppData = 0;
    std::uint8_t ppStatus = 0x78;
    std::uint8_t ppControl = 0x0C;  // the driver's copy, bits 0..3 matter
    int ppDirection = -1;           // last PPDATADIR argument, -1 for none

    // What the code did.
    std::map<std::uint16_t, std::uint8_t> ioSpace;  // inb/outb and /dev/port
    std::vector<std::pair<std::uint16_t, std::uint8_t>> outs;
    std::map<std::uint16_t, int> iopermOpen;  // port -> enable count
    std::vector<unsigned long> ioctls;
    std::set<int> openFds;
    std::vector<std::string> opened;

    // A kernel with parport0 at 0x378 (high base 0x778, SPP, PS/2, EPP, ECP,
    // no IRQ), parport_pc and ppdev loaded, and /dev/parport0.
    void addParport0();

    int open(const std::string& path, int flags) override;
    void close(int fd) override;
    int ioctl(int fd, unsigned long request, void* argument) override;
    int ioperm(unsigned long from, unsigned long count, bool enable) override;
    std::uint8_t inb(std::uint16_t port) override;
    void outb(std::uint16_t port, std::uint8_t value) override;
    long pread(int fd, void* buffer, std::size_t count, long offset) override;
    long pwrite(int fd, const void* buffer, std::size_t count, long offset) override;
    long write(int, const void*, std::size_t) override { return -ENOSYS; }
    std::optional<std::string> readFile(const std::string& path) override;
    std::vector<std::string> listDirectory(const std::string& path) override;
    bool exists(const std::string& path) override;
    bool mayReadWrite(const std::string& path) override;
    std::optional<port::FileStatus> fileStatus(const std::string& path) override;

    [[nodiscard]] bool iopermCovers(std::uint16_t port) const;

private:
    std::recursive_mutex mutex_;  // recursive: pread and pwrite go through inb and outb
    int nextFd_ = 10;
    std::map<int, std::string> fdPaths_;
};

}  // namespace dravel::test
