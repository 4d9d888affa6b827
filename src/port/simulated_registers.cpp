#include "simulated_registers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

#include "system_calls.h"

namespace dravel::port {
namespace {

// The file: a mark that says whose it is and which base it holds, then the
// registers and the change log. A file of another size or mark (one of an
// earlier layout among them) is not used.
constexpr char kMark[8] = {'d', 'r', 'a', 'v', 'e', 'l', 'S', '2'};

struct SharedFile {
    char mark[8];
    std::uint16_t base;
    std::uint8_t reserved[6];
    SimulatedRegisters registers;
    // On a cache line of its own: the log's writes then do not slow the
    // readers of the registers.
    alignas(64) ChangeLog log;
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

void powerOn(SharedFile& file, std::uint16_t base) {
    std::memcpy(file.mark, kMark, sizeof kMark);
    file.base = base;
    new (&file.registers) SimulatedRegisters();
    // The log's entries are all zero in a new file: none carries the tag of
    // a number a reader could ask for before it is written.
}

// Another process of the user may shorten the file (truncate, an editor):
// the next access to the mapping would then kill this process with SIGBUS.
// A handler for that signal puts private memory at power-on in place of
// the lost mapping, at the same address, so every pointer into it stays good;
// the process goes on on a port of its own and says so once. Reads and
// writes cost nothing extra. Faults elsewhere go on to whatever handled
// SIGBUS before.
namespace guard {

enum State : int { kShared, kReplacing, kPrivate, kFailed };

struct Slot {
    // The mapping's address; 0 while free, 1 while being filled.
    std::atomic<std::uintptr_t> page{0};
    std::atomic<int> state{kShared};
    std::uint16_t base = 0;
    char line[400] = {};
    std::size_t length = 0;
};

// The mappings in use; a process maps one or two, the tests some more.
constexpr std::size_t kSlots = 64;
Slot g_slots[kSlots];
struct sigaction g_before {};

void passOn(int signal, siginfo_t* info, void* context) {
    if (g_before.sa_flags & SA_SIGINFO) {
        g_before.sa_sigaction(signal, info, context);
    } else if (g_before.sa_handler != SIG_DFL && g_before.sa_handler != SIG_IGN) {
        g_before.sa_handler(signal);
    } else {
        // The access is made again on return, and now ends the process as
        // it would have without this handler.
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        ::sigaction(signal, &standard, nullptr);
    }
}

// Async-signal-safe: atomics, mmap, write.
void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& slot : g_slots) {
        const std::uintptr_t page = slot.page.load(std::memory_order_acquire);
        if (page <= 1 || address < page || address >= page + sizeof(SharedFile)) continue;
        int expected = kShared;
        if (slot.state.compare_exchange_strong(expected, kReplacing)) {
            void* fresh =
                ::mmap(reinterpret_cast<void*>(page), sizeof(SharedFile), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
            if (fresh != MAP_FAILED) {
                powerOn(*static_cast<SharedFile*>(fresh), slot.base);
                ssize_t written = ::write(STDERR_FILENO, slot.line, slot.length);
                (void)written;
            }
            slot.state.store(fresh == MAP_FAILED ? kFailed : kPrivate, std::memory_order_release);
        }
        // Another thread of this process may be putting the page in place.
        while (slot.state.load(std::memory_order_acquire) == kReplacing) {
        }
        if (slot.state.load(std::memory_order_acquire) == kPrivate) return;
        break;
    }
    passOn(signal, info, context);
}

void install() {
    struct sigaction mine {};
    mine.sa_sigaction = onBusError;
    mine.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&mine.sa_mask);
    ::sigaction(SIGBUS, &mine, &g_before);
}

// Guards a mapping until release(); false when every slot is taken.
bool watch(SharedFile* file, std::uint16_t base, const std::string& path) {
    static std::once_flag installed;
    std::call_once(installed, install);
    for (Slot& slot : g_slots) {
        std::uintptr_t free = 0;
        if (!slot.page.compare_exchange_strong(free, 1)) continue;
        slot.base = base;
        slot.state.store(kShared);
        const std::string line = "dravel: simulierter Port: " + path +
                                 " wurde gekürzt; dieses Programm arbeitet auf einem eigenen "
                                 "Port weiter (Einschaltwerte), den andere nicht sehen.\n";
        slot.length = std::min(line.size(), sizeof slot.line);
        std::memcpy(slot.line, line.data(), slot.length);
        slot.line[slot.length - 1] = '\n';  // a path too long for the line is cut
        slot.page.store(reinterpret_cast<std::uintptr_t>(file), std::memory_order_release);
        return true;
    }
    return false;
}

void release(SharedFile* file) {
    for (Slot& slot : g_slots) {
        std::uintptr_t mine = reinterpret_cast<std::uintptr_t>(file);
        if (slot.page.compare_exchange_strong(mine, 1)) {
            slot.state.store(kShared);
            slot.page.store(0, std::memory_order_release);
            return;
        }
    }
}

}  // namespace guard

// Maps the file, guarded from the moment it is mapped.
SharedFile* map(int fd, std::uint16_t base, const std::string& path) {
    void* memory = ::mmap(nullptr, sizeof(SharedFile), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) return nullptr;
    auto* file = static_cast<SharedFile*>(memory);
    if (guard::watch(file, base, path)) return file;
    ::munmap(file, sizeof(SharedFile));
    errno = EMFILE;
    return nullptr;
}

void unmap(SharedFile* file) {
    guard::release(file);
    ::munmap(file, sizeof(SharedFile));
}

// A name of this process's own in the folder, for a file on its way in or out.
std::string privateName(const std::string& name) {
    static std::atomic<unsigned> counter{0};
    return "." + name + "." + std::to_string(::getpid()) + "." + std::to_string(counter++);
}

enum class Outcome { Mapped, Missing, Taken, Damaged, Refused };

// Where the file is: the folder, open, and its path for the messages.
struct Place {
    int folder;
    std::string folderPath;
    std::string name;
    std::uint16_t base;
    [[nodiscard]] std::string path() const { return folderPath + "/" + name; }
};

// Maps the existing file after making sure it is what this program made. A
// file of this user's that is no register file of this port (shortened,
// overwritten) is Damaged: `damaged` tells which file that was.
Outcome openExisting(const Place& place, SharedFile*& file, struct stat& damaged,
                     std::string& why) {
    const std::string& name = place.name;
    // O_NONBLOCK: a FIFO planted in its place must not hold the program.
    Descriptor fd(
        ::openat(place.folder, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
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
    damaged = info;
    if (info.st_size != static_cast<off_t>(sizeof(SharedFile))) {
        why = name + " hat nicht die Größe einer Registerdatei";
        return Outcome::Damaged;
    }
    file = map(fd.get(), place.base, place.path());
    if (!file) {
        why = systemError(name, "lässt sich nicht einblenden");
        return Outcome::Refused;
    }
    if (std::memcmp(file->mark, kMark, sizeof kMark) != 0 || file->base != place.base) {
        unmap(file);
        file = nullptr;
        why = name + " ist keine Registerdatei dieses Ports";
        return Outcome::Damaged;
    }
    return Outcome::Mapped;
}

// Moves a damaged file out of the way. Should another process have put a
// new file in its place meanwhile, that one goes back (unless yet another
// has taken the name). The next round creates a new file, or maps the one
// another process created first.
// False when the file cannot be moved (and is still there).
bool setAside(const Place& place, const struct stat& damaged) {
    const std::string aside = privateName(place.name);
    if (::renameat(place.folder, place.name.c_str(), place.folder, aside.c_str()) != 0) {
        return errno == ENOENT;  // gone already
    }
    struct stat moved {};
    const bool same = ::fstatat(place.folder, aside.c_str(), &moved, AT_SYMLINK_NOFOLLOW) == 0 &&
                      moved.st_dev == damaged.st_dev && moved.st_ino == damaged.st_ino;
    if (!same && ::linkat(place.folder, aside.c_str(), place.folder, place.name.c_str(), 0) != 0) {
        // Yet another process has taken the name: its file stays.
    }
    ::unlinkat(place.folder, aside.c_str(), 0);
    return true;
}

// Creates the file at power-on. It is written under a name of its own and
// only then linked to its real name, so that no other process ever maps a
// file whose registers are not set yet; a process that links first wins.
Outcome create(const Place& place, SharedFile*& file, std::string& why) {
    const int folder = place.folder;
    const std::string& name = place.name;
    const std::string draft = privateName(name);
    Descriptor fd(
        ::openat(folder, draft.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        why = systemError(draft, "lässt sich nicht anlegen");
        return Outcome::Refused;
    }
    ::fchmod(fd.get(), 0600);
    if (::ftruncate(fd.get(), sizeof(SharedFile)) != 0 ||
        !(file = map(fd.get(), place.base, place.path()))) {
        why = systemError(draft, "lässt sich nicht einrichten");
        ::unlinkat(folder, draft.c_str(), 0);
        return Outcome::Refused;
    }
    powerOn(*file, place.base);
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

SharedRegisters sharedRegisters(std::uint16_t base, const MessageSink& messages) {
    char name[16];
    std::snprintf(name, sizeof name, "sim-0x%X", static_cast<unsigned>(base));
    const std::string path = folderPath(messages);
    std::string why;
    SharedFile* file = nullptr;
    if (auto folder = openFolder(path, why)) {
        const Place place{folder->get(), path, name, base};
        // Another process may create, replace or remove the file meanwhile:
        // a few rounds settle it.
        for (int round = 0; round < 4 && why.empty(); ++round) {
            struct stat damaged {};
            Outcome outcome = openExisting(place, file, damaged, why);
            if (outcome == Outcome::Damaged) {
                // Left in place it would keep every later process off the
                // shared port.
                if (!setAside(place, damaged)) {
                    why = systemError(place.name, "lässt sich nicht ersetzen") + " (" + why + ")";
                    break;
                }
                if (messages)
                    messages({"simulierter Port: " + path + "/" + why +
                              "; die Datei wird durch eine neue ersetzt, der Port beginnt bei den "
                              "Einschaltwerten."});
                why.clear();
                continue;
            }
            if (outcome == Outcome::Missing) outcome = create(place, file, why);
            if (outcome == Outcome::Mapped) {
                const std::shared_ptr<SharedFile> owner(file, unmap);
                return {{owner, &file->registers}, {owner, &file->log}};
            }
        }
        why = path + "/" + (why.empty() ? std::string(name) + " ändert sich ständig" : why);
    }
    if (messages)
        messages({"simulierter Port: " + why +
                  "; dieses Programm arbeitet auf einem eigenen Port, den andere nicht sehen."});
    return {std::make_shared<SimulatedRegisters>(), std::make_shared<ChangeLog>()};
}

std::string sharedRegisterFolder() {
    return folderPath({});
}

std::size_t sharedRegisterFileSize() {
    return sizeof(SharedFile);
}

}  // namespace dravel::port
