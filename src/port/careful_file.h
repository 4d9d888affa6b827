#pragma once

#include <memory>
#include <string>

namespace dravel::port {

// A file opened to write the way a program running as root must in a shared
// folder: no symbolic link is followed, nothing but a regular file is opened
// (a pipe without a reader would block, a device could act on the open), the
// open never blocks, and a file another program holds (advisory lock) is
// left alone. Nor is a file of the kernel's (/proc, /sys: a write changes a
// setting) or one in the folder of the simulated port's registers, which
// every Dravel program of the user maps. The lock lasts as long as the
// object; an existing file is left as it is until `leere`.
//
// A file size limit (ulimit -f) would kill the program in the middle of a
// line: from the first such file on, for the rest of the program, SIGXFSZ is
// ignored and a write fails instead, as on a full disk.
class SorgfältigeDatei {
public:
    // nullptr and a German reason on failure.
    static std::unique_ptr<SorgfältigeDatei> öffne(const std::string& pfad, std::string& grund);
    ~SorgfältigeDatei();

    SorgfältigeDatei(const SorgfältigeDatei&) = delete;
    SorgfältigeDatei& operator=(const SorgfältigeDatei&) = delete;

    // Empties the file. False with errno set when it cannot be.
    bool leere();
    // The whole text at the current position. False with errno set.
    bool schreibeGanz(const std::string& text);
    // Undoes the file after a failure: one created here goes (while its name
    // still leads to it); one that was here before is left as it was while
    // nothing was written, else empty, its name is someone else's. Closes it.
    void verwirf();
    // Closes; false with errno set when the last writes failed.
    bool schließe();

    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] const std::string& pfad() const { return pfad_; }
    // True when the file existed before.
    [[nodiscard]] bool ersetzt() const { return ersetzt_; }
    // Whether `anderer` names this very file.
    [[nodiscard]] bool istDieselbe(const std::string& anderer) const;

private:
    SorgfältigeDatei(int fd, std::string pfad, bool ersetzt)
        : fd_(fd), pfad_(std::move(pfad)), ersetzt_(ersetzt) {}

    int fd_;
    std::string pfad_;
    bool ersetzt_;
    bool geändert_ = false;  // emptied or written to
};

}  // namespace dravel::port
