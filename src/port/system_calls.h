#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dravel::port {

// Every operating-system call the hardware backends make, behind one
// interface, so that the tests can play the kernel without touching a real
// I/O port. Calls that can fail return 0 (or a count) on success and the
// negated errno on failure, which keeps the fakes simple.
// Owner and permission bits of a file, as stat reports them.
struct FileStatus {
    unsigned uid = 0;
    unsigned gid = 0;
    unsigned mode = 0;  // the permission bits, 0660 for rw-rw----
};

class SystemCalls {
public:
    virtual ~SystemCalls() = default;

    virtual int open(const std::string& path, int flags) = 0;  // fd or -errno
    virtual void close(int fd) = 0;
    virtual int ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual int ioperm(unsigned long from, unsigned long count, bool enable) = 0;
    virtual std::uint8_t inb(std::uint16_t port) = 0;
    virtual void outb(std::uint16_t port, std::uint8_t value) = 0;
    virtual long pread(int fd, void* buffer, std::size_t count, long offset) = 0;
    virtual long pwrite(int fd, const void* buffer, std::size_t count, long offset) = 0;
    virtual long write(int fd, const void* buffer, std::size_t count) = 0;  // count or -errno

    // Whole content of a (usually /proc or /sys) file; nullopt if unreadable.
    virtual std::optional<std::string> readFile(const std::string& path) = 0;
    // Names in a directory, without "." and ".."; empty if there is none.
    virtual std::vector<std::string> listDirectory(const std::string& path) = 0;
    virtual bool exists(const std::string& path) = 0;
    // Whether this process may open the path for reading and writing.
    virtual bool mayReadWrite(const std::string& path) = 0;
    virtual std::optional<FileStatus> fileStatus(const std::string& path) = 0;
};

// The real kernel. inb/outb are x86 instructions; elsewhere they behave as an
// empty bus (and ioperm is refused, so the raw backend never gets there).
SystemCalls& realSystem();

// The files of a tree copied from another machine, /proc, /sys, /dev and
// /etc below `root`: what that machine's report would say. A tree is no
// kernel: ioperm and open are refused, so no port is ever touched.
std::unique_ptr<SystemCalls> systemBelow(const std::string& root);

// Whether this process holds a capability (CAP_SYS_RAWIO is 17, CAP_IPC_LOCK
// 14) in its effective set, read from /proc/self/status, so that no
// capability library is needed.
bool hasEffectiveCapability(SystemCalls& system, int capability);

// The reason an errno value gives, as one short German phrase.
std::string errnoText(int error);

}  // namespace dravel::port
