#include "careful_file.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <utility>

#include "simulated_registers.h"
#include "system_calls.h"

namespace dravel::port {
namespace {

// The reason for a refused open as a phrase of its own: two programs
// racing to create one file, or a pipe, are no links.
constexpr const char* kKeineDatei = "ist keine gewöhnliche Datei";
constexpr const char* kVerknüpfung = "ist eine symbolische Verknüpfung";

bool gleich(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The registers of the simulated port are such files: overwritten, they
// would be every running program's port.
bool imPortordner(const std::string& pfad) {
    std::string ordner = std::filesystem::path(pfad).parent_path().string();
    if (ordner.empty()) ordner = ".";
    struct stat hier {
    }, port{};
    return ::stat(ordner.c_str(), &hier) == 0 &&
           ::stat(sharedRegisterFolder().c_str(), &port) == 0 && gleich(hier, port);
}

// The kernel's own file systems: their "regular" files are settings that a
// write changes (/sys/power/state, /proc/sys/...), no place for a recording.
bool imKernel(int fd) {
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0) return false;
    switch (static_cast<unsigned long>(info.f_type)) {
        case PROC_SUPER_MAGIC:
        case SYSFS_MAGIC:
        case DEBUGFS_MAGIC:
        case TRACEFS_MAGIC:
        case SECURITYFS_MAGIC:
        case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC:
        case EFIVARFS_MAGIC:
        case BPF_FS_MAGIC:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::unique_ptr<SorgfältigeDatei> SorgfältigeDatei::öffne(const std::string& pfad,
                                                          std::string& grund) {
    // Ignored once for the whole program: the writers treat the EFBIG
    // that comes instead like a full disk and keep whole time steps.
    static const bool ohneAbbruch = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    (void)ohneAbbruch;
    if (imPortordner(pfad)) {
        grund = "liegt im Ordner des simulierten Ports";
        return nullptr;
    }
    struct stat vorher {};
    const bool ersetzt = ::lstat(pfad.c_str(), &vorher) == 0;
    if (ersetzt && !S_ISREG(vorher.st_mode)) {
        grund = S_ISLNK(vorher.st_mode)   ? kVerknüpfung
                : S_ISDIR(vorher.st_mode) ? errnoText(EISDIR)
                                          : kKeineDatei;
        return nullptr;
    }
    // A new file with O_EXCL: a link planted since lstat is not followed
    // either, and O_NONBLOCK keeps a pipe planted since from blocking.
    const int art = ersetzt ? 0 : O_CREAT | O_EXCL;
    const int fd = ::open(pfad.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | art, 0644);
    if (fd < 0) {
        // EEXIST: something appeared since lstat, a link or another
        // program's new file.
        const int fehler = errno;
        struct stat jetzt {};
        const bool verknüpfung =
            fehler == ELOOP ||
            (fehler == EEXIST && ::lstat(pfad.c_str(), &jetzt) == 0 && S_ISLNK(jetzt.st_mode));
        grund = verknüpfung        ? kVerknüpfung
                : fehler == EEXIST ? "wurde eben von einem anderen Programm angelegt"
                : fehler == ENXIO  ? kKeineDatei
                : fehler == ENOENT ? "Ordner nicht gefunden"  // the file is created here
                                   : errnoText(fehler);
        return nullptr;
    }
    std::unique_ptr<SorgfältigeDatei> datei(new SorgfältigeDatei(fd, pfad, ersetzt));
    struct stat offen {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // Left as it is, even if just made: another program holds it now.
        grund = errno == EWOULDBLOCK ? "wird schon von einem anderen Programm beschrieben"
                                     : errnoText(errno);
        return nullptr;
    }
    if (::fstat(fd, &offen) != 0 || !S_ISREG(offen.st_mode)) {
        grund = kKeineDatei;
    } else if (imKernel(fd)) {
        grund = "liegt in einem Dateisystem des Kernels";
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        grund = errnoText(errno);
    } else {
        return datei;
    }
    // A file that was there before is left as it is; one made just now goes.
    datei->verwirf();
    return nullptr;
}

SorgfältigeDatei::~SorgfältigeDatei() {
    if (fd_ >= 0) ::close(fd_);
}

bool SorgfältigeDatei::leere() {
    geändert_ = true;
    int rc;
    while ((rc = ::ftruncate(fd_, 0)) != 0 && errno == EINTR) {
    }
    return rc == 0 && ::lseek(fd_, 0, SEEK_SET) == 0;
}

bool SorgfältigeDatei::schreibeGanz(const std::string& text) {
    geändert_ = true;
    const char* daten = text.data();
    std::size_t rest = text.size();
    while (rest > 0) {
        const ssize_t n = ::write(fd_, daten, rest);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        daten += n;
        rest -= static_cast<std::size_t>(n);
    }
    return true;
}

bool SorgfältigeDatei::istDieselbe(const std::string& anderer) const {
    struct stat offen {
    }, dort{};
    return fd_ >= 0 && ::fstat(fd_, &offen) == 0 && ::stat(anderer.c_str(), &dort) == 0 &&
           gleich(offen, dort);
}

void SorgfältigeDatei::verwirf() {
    if (fd_ < 0) return;
    if (ersetzt_) {
        // Emptied: what is left of the new content goes too. Untouched: it
        // stays as it was.
        if (geändert_) leere();
    } else {
        // Only while the name still leads to this very file: someone may
        // have put another in its place since.
        struct stat offen {
        }, jetzt{};
        if (::fstat(fd_, &offen) == 0 && ::lstat(pfad_.c_str(), &jetzt) == 0 &&
            gleich(offen, jetzt)) {
            ::unlink(pfad_.c_str());
        }
    }
    ::close(fd_);
    fd_ = -1;
}

bool SorgfältigeDatei::schließe() {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

}  // namespace dravel::port
