#include "simulated_registers.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

#include "system_calls.h"

namespace dravel::port {
namespace {

// The file: a mark that says whose it is and which base it holds, then the
// registers. A file of another size or mark is not used.
constexpr char kMark[8] = {'d', 'r', 'a', 'v', 'e', 'l', 'S', '1'};

struct SharedFile {
    char mark[8];
    std::uint16_t base;
    std::uint8_t reserved[2];
    SimulatedRegisters registers;
};

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    [[nodiscard]] int get() const { return fd_; }

private:
    int fd_;
};

// Why a folder or file of someone else's making is not used; empty if it
// can be trusted: this user's own, and nobody else may reach into it.
std::string distrust(const struct stat& info, bool folder) {
    if (folder ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode)) {
        return folder ? "ist kein Ordner" : "ist keine gewöhnliche Datei";
    }
    if (info.st_uid != ::geteuid()) return "gehört einem anderen Benutzer";
    if (info.st_mode & 077) return "ist auch für andere Benutzer zugänglich";
    return {};
}

std::string systemError(const std::string& path, const char* what) {
    return path + " " + what + ": " + errnoText(errno);
}

// The folder's path: $XDG_RUNTIME_DIR/dravel when that is this user's own
// folder (mode 0700), as the session provides it; otherwise one in /tmp,
// with a word.
std::string folderPath(const MessageSink& messages) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    if (runtime && runtime[0] == '/' && ::stat(runtime, &info) == 0 &&
        distrust(info, true).empty()) {
        return std::string(runtime) + "/dravel";
    }
    const std::string fallback = "/tmp/dravel-" + std::to_string(::geteuid());
    if (messages)
        messages({(runtime && *runtime ? "XDG_RUNTIME_DIR (" + std::string(runtime) +
                                             ") ist kein Ordner allein dieses Benutzers"
                                       : std::string("XDG_RUNTIME_DIR ist nicht gesetzt")) +
                  "; der simulierte Port liegt in " + fallback + "."});
    return fallback;
}

// Opens the folder, creating it (mode 0700) when it is missing; a folder
// reached through a symbolic link is refused.
std::optional<Descriptor> openFolder(const std::string& path, std::string& why) {
    const bool created = ::mkdir(path.c_str(), 0700) == 0;
    if (!created && errno != EEXIST) {
        why = systemError(path, "lässt sich nicht anlegen");
        return std::nullopt;
    }
    Descriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0) {
        why = errno == ELOOP || errno == ENOTDIR ? path + " ist kein Ordner"
                                                 : systemError(path, "lässt sich nicht öffnen");
        return std::nullopt;
    }
    if (created) ::fchmod(folder.get(), 0700);  // whatever the umask took away
    struct stat info {};
    if (::fstat(folder.get(), &info) != 0) {
        why = systemError(path, "lässt sich nicht prüfen");
        return std::nullopt;
    }
    if (const std::string problem = distrust(info, true); !problem.empty()) {
        why = path + " " + problem;
        return std::nullopt;
    }
    return folder;
}

SharedFile* map(int fd) {
    void* memory = ::mmap(nullptr, sizeof(SharedFile), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return memory == MAP_FAILED ? nullptr : static_cast<SharedFile*>(memory);
}

void unmap(SharedFile* file) {
    ::munmap(file, sizeof(SharedFile));
}

enum class Outcome { Mapped, Missing, Taken, Refused };

// Maps the existing file after making sure it is what this program made.
Outcome openExisting(int folder, const std::string& name, std::uint16_t base, SharedFile*& file,
                     std::string& why) {
    // O_NONBLOCK: a FIFO planted in its place must not hold the program.
    Descriptor fd(::openat(folder, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) return Outcome::Missing;
        why = errno == ELOOP ? name + " ist eine symbolische Verknüpfung"
                             : systemError(name, "lässt sich nicht öffnen");
        return Outcome::Refused;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        why = systemError(name, "lässt sich nicht prüfen");
        return Outcome::Refused;
    }
    if (std::string problem = distrust(info, false); !problem.empty()) {
        why = name + " " + problem;
        return Outcome::Refused;
    }
    if (info.st_size != static_cast<off_t>(sizeof(SharedFile))) {
        why = name + " hat nicht die Größe einer Registerdatei";
        return Outcome::Refused;
    }
    file = map(fd.get());
    if (!file) {
        why = systemError(name, "lässt sich nicht einblenden");
        return Outcome::Refused;
    }
    if (std::memcmp(file->mark, kMark, sizeof kMark) != 0 || file->base != base) {
        unmap(file);
        why = name + " ist keine Registerdatei dieses Ports";
        return Outcome::Refused;
    }
    return Outcome::Mapped;
}

// Creates the file at power-on. It is written under a name of its own and
// only then linked to its real name, so that no other process ever maps a
// file whose registers are not set yet; a process that links first wins.
Outcome create(int folder, const std::string& name, std::uint16_t base, SharedFile*& file,
               std::string& why) {
    static std::atomic<unsigned> counter{0};
    const std::string draft =
        "." + name + "." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    Descriptor fd(
        ::openat(folder, draft.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        why = systemError(draft, "lässt sich nicht anlegen");
        return Outcome::Refused;
    }
    ::fchmod(fd.get(), 0600);
    if (::ftruncate(fd.get(), sizeof(SharedFile)) != 0 || !(file = map(fd.get()))) {
        why = systemError(draft, "lässt sich nicht einrichten");
        ::unlinkat(folder, draft.c_str(), 0);
        return Outcome::Refused;
    }
    std::memcpy(file->mark, kMark, sizeof kMark);
    file->base = base;
    new (&file->registers) SimulatedRegisters();
    const bool linked = ::linkat(folder, draft.c_str(), folder, name.c_str(), 0) == 0;
    const int error = errno;
    ::unlinkat(folder, draft.c_str(), 0);
    if (linked) return Outcome::Mapped;
    unmap(file);
    file = nullptr;
    if (error == EEXIST) return Outcome::Taken;
    errno = error;
    why = systemError(name, "lässt sich nicht anlegen");
    return Outcome::Refused;
}

}  // namespace

std::shared_ptr<SimulatedRegisters> sharedRegisters(std::uint16_t base,
                                                    const MessageSink& messages) {
    char name[16];
    std::snprintf(name, sizeof name, "sim-0x%X", static_cast<unsigned>(base));
    const std::string path = folderPath(messages);
    std::string why;
    SharedFile* file = nullptr;
    if (auto folder = openFolder(path, why)) {
        // Another process may create or remove the file meanwhile: a few
        // rounds settle it.
        for (int round = 0; round < 4 && why.empty(); ++round) {
            Outcome outcome = openExisting(folder->get(), name, base, file, why);
            if (outcome == Outcome::Missing) outcome = create(folder->get(), name, base, file, why);
            if (outcome == Outcome::Mapped) {
                return {&file->registers, [file](SimulatedRegisters*) { unmap(file); }};
            }
        }
        why = path + "/" + (why.empty() ? std::string(name) + " ändert sich ständig" : why);
    }
    if (messages)
        messages({"simulierter Port: " + why +
                  "; dieses Programm arbeitet auf einem eigenen Port, den andere nicht sehen."});
    return std::make_shared<SimulatedRegisters>();
}

std::string sharedRegisterFolder() {
    return folderPath({});
}

}  // namespace dravel::port
