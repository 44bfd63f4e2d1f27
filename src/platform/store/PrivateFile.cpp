#include "PrivateFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string UserName(uid_t uid) {
    if (const passwd* pw = ::getpwuid(uid))
        return pw->pw_name;
    return std::to_string(uid);
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

} // namespace

PrivateRead ReadPrivateFile(const std::string& path, const std::string& what, std::size_t maxBytes,
                            std::string& bytes, std::string& error) {
    bytes.clear();
    const std::string The = "The " + what + " " + Quoted(path);
    // Non-blocking, so that opening a FIFO returns at once; not through a
    // symbolic link, which could lead anywhere.
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return PrivateRead::Missing;
        if (errno == ELOOP)
            error = The + " is a symbolic link; put the file itself in its place";
        else
            error = The + " cannot be read: " + std::strerror(errno);
        return PrivateRead::Refused;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = The + " cannot be read: " + std::strerror(errno);
        return PrivateRead::Refused;
    }
    if (!S_ISREG(st.st_mode)) {
        error = The + " is not a regular file";
        return PrivateRead::Refused;
    }
    if (st.st_uid != ::geteuid()) {
        error = The + " belongs to another user (" + UserName(st.st_uid) + "); run: chown " +
                UserName(::geteuid()) + " " + Quoted(path);
        return PrivateRead::Refused;
    }
    const bool readable = st.st_mode & (S_IRGRP | S_IROTH);
    const bool writable = st.st_mode & (S_IWGRP | S_IWOTH);
    if (readable || writable) {
        error = The + " can be " +
                (readable && writable ? "read and changed"
                 : readable           ? "read"
                                      : "changed") +
                " by other users; run: chmod 600 " + Quoted(path);
        return PrivateRead::Refused;
    }
    if (std::size_t(st.st_size) > maxBytes) {
        error = The + " is damaged (too large)";
        return PrivateRead::Refused;
    }
    char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = The + " cannot be read: " + std::strerror(errno);
            return PrivateRead::Refused;
        }
        if (n == 0)
            break;
        bytes.append(buf, std::size_t(n));
        if (bytes.size() > maxBytes) {
            error = The + " is damaged (too large)";
            return PrivateRead::Refused;
        }
    }
    return PrivateRead::Read;
}

bool MakePrivateFolder(const std::string& folder, std::string& error) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        error = "cannot create the folder " + Quoted(folder) + ": a file is in its place";
        return false;
    }
    std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 &&
        !MakePrivateFolder(folder.substr(0, slash), error))
        return false;
    // mkdir applies the umask, which may take away the owner's bits; chmod
    // sets the mode exactly.
    if (::mkdir(folder.c_str(), 0700) != 0) {
        if (errno == EEXIST) // made by another process meanwhile
            return true;
        error = "cannot create the folder " + Quoted(folder) + ": " + std::strerror(errno);
        return false;
    }
    if (::chmod(folder.c_str(), 0700) != 0) {
        error = "cannot create the folder " + Quoted(folder) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace tessaly
