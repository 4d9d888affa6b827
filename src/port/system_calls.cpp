#include "system_calls.h"

#include "digits.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define DRAVEL_HAS_PORT_IO 1
#endif

namespace dravel::port {
namespace {

class RealSystem : public SystemCalls {
public:
    int open(const std::string& path, int flags) override {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    }
    void close(int fd) override { ::close(fd); }
    int ioctl(int fd, unsigned long request, void* argument) override {
        return ::ioctl(fd, request, argument) == 0 ? 0 : -errno;
    }
    int ioperm(unsigned long from, unsigned long count, bool enable) override {
#ifdef DRAVEL_HAS_PORT_IO
        return ::ioperm(from, count, enable ? 1 : 0) == 0 ? 0 : -errno;
#else
        (void)from, (void)count, (void)enable;
        return -ENOSYS;
#endif
    }
    std::uint8_t inb(std::uint16_t port) override {
#ifdef DRAVEL_HAS_PORT_IO
        return ::inb(port);
#else
        (void)port;
        return 0xFF;
#endif
    }
    void outb(std::uint16_t port, std::uint8_t value) override {
#ifdef DRAVEL_HAS_PORT_IO
        ::outb(value, port);
#else
        (void)port, (void)value;
#endif
    }
    long pread(int fd, void* buffer, std::size_t count, long offset) override {
        const ssize_t n = ::pread(fd, buffer, count, offset);
        return n >= 0 ? static_cast<long>(n) : -errno;
    }
    long pwrite(int fd, const void* buffer, std::size_t count, long offset) override {
        const ssize_t n = ::pwrite(fd, buffer, count, offset);
        return n >= 0 ? static_cast<long>(n) : -errno;
    }
    long write(int fd, const void* buffer, std::size_t count) override {
        const ssize_t n = ::write(fd, buffer, count);
        return n >= 0 ? static_cast<long>(n) : -errno;
    }
    std::optional<std::string> readFile(const std::string& path) override {
        std::ifstream file(path);
        if (!file) return std::nullopt;
        std::ostringstream text;
        text << file.rdbuf();
        if (file.bad()) return std::nullopt;
        return text.str();
    }
    std::vector<std::string> listDirectory(const std::string& path) override {
        std::vector<std::string> names;
        DIR* dir = ::opendir(path.c_str());
        if (!dir) return names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
        return names;
    }
    bool exists(const std::string& path) override {
        return ::access(path.c_str(), F_OK) == 0;
    }
    bool mayReadWrite(const std::string& path) override {
        return ::access(path.c_str(), R_OK | W_OK) == 0;
    }
    std::optional<FileStatus> fileStatus(const std::string& path) override {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) return std::nullopt;
        return FileStatus{status.st_uid, status.st_gid, status.st_mode & 07777u};
    }
};

class SystemBelow final : public RealSystem {
public:
    explicit SystemBelow(std::string root) : root_(std::move(root)) {}
    int open(const std::string&, int) override { return -ENODEV; }
    int ioperm(unsigned long, unsigned long, bool) override { return -EPERM; }
    std::uint8_t inb(std::uint16_t) override { return 0xFF; }
    void outb(std::uint16_t, std::uint8_t) override {}
    std::optional<std::string> readFile(const std::string& path) override {
        return RealSystem::readFile(root_ + path);
    }
    std::vector<std::string> listDirectory(const std::string& path) override {
        return RealSystem::listDirectory(root_ + path);
    }
    bool exists(const std::string& path) override { return RealSystem::exists(root_ + path); }
    bool mayReadWrite(const std::string& path) override {
        return RealSystem::mayReadWrite(root_ + path);
    }
    std::optional<FileStatus> fileStatus(const std::string& path) override {
        return RealSystem::fileStatus(root_ + path);
    }

private:
    std::string root_;
};

}  // namespace

SystemCalls& realSystem() {
    static RealSystem system;
    return system;
}

std::unique_ptr<SystemCalls> systemBelow(const std::string& root) {
    return std::make_unique<SystemBelow>(root);
}

std::string errnoText(int error) {
    switch (error) {
        case ENOENT:
            return "Datei oder Ordner nicht gefunden";
        case ENOTDIR:
            return "ein Teil des Pfads ist kein Ordner";
        case EACCES:
        case EPERM:
            return "keine Berechtigung";
        case ENOSPC:
        case EDQUOT:
            return "Datenträger voll";
        case EFBIG:
            return "Datei zu groß";
        case EROFS:
            return "Datenträger schreibgeschützt";
        case EISDIR:
            return "ist ein Ordner";
        case ESPIPE:
        case ENXIO:
            return "keine gewöhnliche Datei";
        case EIO:
            return "Ein-/Ausgabefehler";
        case ENAMETOOLONG:
            return "Name zu lang";
        case ELOOP:
            return "zu viele symbolische Verknüpfungen";
        case EBUSY:
            return "Gerät belegt";
        case ENODEV:
            return "kein solches Gerät";
        case ETXTBSY:
            return "Datei wird gerade ausgeführt";
        case EMFILE:
        case ENFILE:
            return "zu viele offene Dateien";
        case ENOMEM:
            return "Speicher erschöpft";
        case EINVAL:
            return "ungültiges Argument";
        case EAGAIN:
            return "vorübergehend nicht verfügbar";
        default: {
            // The symbol at least, rather than an English sentence.
            const char* name = ::strerrorname_np(error);
            return "Systemfehler " + (name ? std::string(name) : std::to_string(error));
        }
    }
}

bool hasEffectiveCapability(SystemCalls& system, int capability) {
    const auto status = system.readFile("/proc/self/status");
    if (!status) return false;
    const auto at = status->find("CapEff:");
    if (at == std::string::npos) return false;
    unsigned long long mask = 0;
    for (std::size_t i = at + 7; i < status->size() && (*status)[i] != '\n'; ++i) {
        const int digit = digitValue(static_cast<unsigned char>((*status)[i]));
        if (digit >= 0) mask = mask * 16 + unsigned(digit);
    }
    return (mask >> capability) & 1;
}

}  // namespace dravel::port
