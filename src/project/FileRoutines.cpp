#include "FileRoutines.h"

#include "TextRoutines.h"

#include <QFile>
#include <QString>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tessaly {

std::string ExtractFilePath(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    std::size_t slash = path.rfind('/');
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ext;
    return path.substr(0, dot) + ext;
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty())
        return path;
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string LowerCase(const std::string& text) {
    // Plain ASCII needs no round trip through UTF-16.
    bool ascii = true;
    for (unsigned char c : text)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return AsciiLower(text);
    return QString::fromStdString(text).toLower().toStdString();
}

namespace {
std::string reason(int err, const QFileDevice& f) {
    return err ? std::strerror(err) : f.errorString().toStdString();
}

std::atomic<std::int64_t> diskSpaceForTests{-1};
std::atomic<bool> syncFailsForTests{false};

// write(2) under the test seam: a simulated full disk writes what fits and
// then fails with ENOSPC, as a real one does.
ssize_t checkedWrite(int fd, const char* data, std::size_t size) {
    std::int64_t space = diskSpaceForTests.load();
    if (space >= 0) {
        if (space == 0) {
            errno = ENOSPC;
            return -1;
        }
        std::int64_t take = std::min<std::int64_t>(space, std::int64_t(size));
        diskSpaceForTests.fetch_sub(take);
        size = std::size_t(take);
    }
    return ::write(fd, data, size);
}

// Whether a write may go through the link, as the kernel's protected-symlinks
// rule decides: in a folder that everyone may write to and whose sticky bit
// is set (like /tmp), another user's link is followed only when that user
// also owns the folder. Such a link could otherwise send the write to any
// file the writer may change.
bool mayFollowLink(const struct stat& link, const struct stat& folder) {
    if (link.st_uid == ::geteuid())
        return true;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == folder.st_uid;
}

std::vector<std::string> pathParts(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    while (from <= path.size()) {
        std::size_t slash = path.find('/', from);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > from)
            parts.push_back(path.substr(from, slash - from));
        from = slash + 1;
    }
    return parts;
}
} // namespace

std::string ResolveWriteTarget(const std::string& path) {
    if (path.empty())
        return path;
    // Resolved part by part, so that a link anywhere in the path (the file or
    // one of its folders) is judged where it stands.
    std::string start = path;
    if (start[0] != '/') {
        std::error_code ec;
        std::string cwd = std::filesystem::current_path(ec).string();
        if (ec)
            return path;
        start = cwd + "/" + path;
    }
    std::vector<std::string> rest = pathParts(start); // in reverse: next part last
    std::reverse(rest.begin(), rest.end());
    std::string resolved; // "" is the root folder
    int links = 0;
    while (!rest.empty()) {
        std::string part = std::move(rest.back());
        rest.pop_back();
        if (part == ".")
            continue;
        if (part == "..") {
            resolved.erase(std::min(resolved.size(), resolved.rfind('/')));
            continue;
        }
        std::string next = resolved + "/" + part;
        struct stat st {};
        if (::lstat(next.c_str(), &st) != 0) {
            // Nothing there (yet): the rest stands as written.
            resolved = next;
            for (auto it = rest.rbegin(); it != rest.rend(); ++it)
                resolved += "/" + *it;
            break;
        }
        if (!S_ISLNK(st.st_mode)) {
            resolved = std::move(next);
            continue;
        }
        struct stat folder {};
        const std::string folderPath = resolved.empty() ? "/" : resolved;
        if (::stat(folderPath.c_str(), &folder) != 0 || !mayFollowLink(st, folder))
            throw EFileError("Cannot create file \"" + path + "\". " + next +
                             " is a symbolic link that another user made in a folder open to "
                             "everyone; it is not followed.");
        if (++links > 40)
            throw EFileError("Cannot create file \"" + path + "\". " + std::strerror(ELOOP));
        std::string target(std::size_t(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        ssize_t n = ::readlink(next.c_str(), target.data(), target.size());
        if (n < 0 || std::size_t(n) >= target.size())
            throw EFileError("Cannot create file \"" + path + "\". " +
                             std::strerror(n < 0 ? errno : ENAMETOOLONG));
        target.resize(std::size_t(n));
        if (!target.empty() && target[0] == '/')
            resolved.clear();
        std::vector<std::string> parts = pathParts(target);
        rest.insert(rest.end(), parts.rbegin(), parts.rend());
    }
    // A path without links is written as the caller named it.
    if (links == 0)
        return path;
    return resolved.empty() ? "/" : resolved;
}

namespace {
constexpr std::size_t kWriteBuffer = 256 * 1024;
} // namespace

std::string ReadFileText(const std::string& fileName, std::int64_t maxBytes) {
    auto cannotOpen = [&](const std::string& why) {
        return EFileError("Cannot open file \"" + fileName + "\". " + why);
    };
    const std::string tooLarge = "The file is too large (more than " +
                                 (maxBytes >= (1 << 20) ? std::to_string(maxBytes >> 20) + " MB)."
                                                        : std::to_string(maxBytes) + " bytes).");
    // Not blocking: opening a pipe with no writer would otherwise wait forever.
    int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw cannotOpen(std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw cannotOpen(std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        throw cannotOpen(std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode))
        throw cannotOpen("It is not a regular file.");
    if (st.st_size > maxBytes)
        throw cannotOpen(tooLarge);
    std::string data;
    data.resize(std::size_t(st.st_size));
    std::size_t got = 0;
    // The size may change while reading: read until the end, within the limit.
    for (;;) {
        if (got == data.size()) {
            if (std::int64_t(data.size()) > maxBytes)
                throw cannotOpen(tooLarge);
            data.resize(data.size() + 4096);
        }
        ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EFileError("I/O error reading \"" + fileName + "\". " + std::strerror(errno));
        if (n == 0)
            break;
        got += std::size_t(n);
    }
    data.resize(got);
    return data;
}

AtomicFileWriter::AtomicFileWriter(const std::string& fileName) : fileName_(fileName) {
    if (fileName.empty())
        fail(ENOENT);
    target_ = ResolveWriteTarget(fileName);
    // A file the user made read-only is not replaced, although the folder
    // would allow the rename.
    if (::access(target_.c_str(), F_OK) == 0 && ::access(target_.c_str(), W_OK) != 0)
        fail(errno);
    std::string folder = ExtractFilePath(target_);
    std::string name = ExtractFileName(target_);
    // A hidden name beside the file: the rename stays within one file system.
    std::random_device rng;
    for (int attempt = 0; fd_ < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", unsigned(rng()));
        temp_ = folder + "." + name + "." + suffix + ".tmp";
        // 0666 less the umask, as any newly made file; a replaced file's own
        // mode is applied at commit.
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
            int err = errno;
            temp_.clear();
            fail(err);
        }
    }
    buffer_.reserve(kWriteBuffer);
}

AtomicFileWriter::~AtomicFileWriter() {
    discard();
}

void AtomicFileWriter::discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
}

void AtomicFileWriter::write(std::string_view bytes) {
    if (fd_ < 0)
        fail(EBADF);
    if (buffer_.size() + bytes.size() > kWriteBuffer) {
        flushBuffer();
        if (bytes.size() >= kWriteBuffer) {
            buffer_.assign(bytes);
            flushBuffer();
            return;
        }
    }
    buffer_ += bytes;
}

void AtomicFileWriter::retarget(const std::string& fileName) {
    fileName_ = fileName;
    target_ = ResolveWriteTarget(fileName);
}

void AtomicFileWriter::flushBuffer() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        ssize_t n = checkedWrite(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(n < 0 ? errno : ENOSPC);
        done += std::size_t(n);
    }
    buffer_.clear();
}

void AtomicFileWriter::commit() {
    if (fd_ < 0)
        fail(EBADF);
    flushBuffer();
    // A replaced file keeps its owner, group and mode (a run as root must not
    // take the user's files). Changing the owner needs privileges; without
    // them the file is already the caller's own.
    // The name itself, not a link put there since: its owner is not taken.
    struct stat old {};
    if (::lstat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        if (::fchown(fd_, old.st_uid, old.st_gid) != 0 && errno != EPERM)
            fail(errno);
        if (::fchmod(fd_, old.st_mode & 07777) != 0)
            fail(errno);
    }
    // Errors of delayed writes show up here at the latest; file systems that
    // cannot sync say so with EINVAL and are taken as they are.
    if (syncFailsForTests.load())
        fail(ENOSPC);
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != ENOTSUP)
        fail(errno);
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 && errno != EINTR)
        fail(errno);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        fail(errno);
    temp_.clear();
    // Make the rename itself durable; a failure here cannot be undone and
    // leaves a whole file, old or new.
    std::string folder = ExtractFilePath(target_);
    int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void AtomicFileWriter::fail(int err) {
    discard();
    throw EFileError("Cannot create file \"" + fileName_ + "\". " + std::strerror(err));
}

void setDiskSpaceForTests(std::optional<std::int64_t> bytes) {
    diskSpaceForTests = bytes ? *bytes : -1;
}

void setSyncFailureForTests(bool fail) {
    syncFailsForTests = fail;
}

void WriteFileText(const std::string& text, const std::string& fileName) {
    AtomicFileWriter file(fileName);
    file.write(text);
    file.commit();
}

void AppendLine(const std::string& text, const std::string& fileName) {
    if (!FileExists(fileName))
        throw EFileError("Cannot open file \"" + fileName + "\". " + std::strerror(ENOENT));
    QFile f(QString::fromStdString(fileName));
    errno = 0;
    if (!f.open(QIODevice::Append))
        throw EFileError("Cannot open file \"" + fileName + "\". " + reason(errno, f));
    std::string line = text + "\r\n";
    if (f.write(line.data(), qint64(line.size())) != qint64(line.size()) || !f.flush())
        throw EFileError("I/O error writing \"" + fileName + "\". " + reason(0, f));
}

void DeleteFileQuietly(const std::string& fileName) {
    ::unlink(fileName.c_str());
}

} // namespace tessaly
