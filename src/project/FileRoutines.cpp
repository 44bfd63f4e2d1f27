#include "FileRoutines.h"

#include "TextRoutines.h"

#include <QFile>
#include <QString>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

// The file a write to path replaces: the target of a symbolic link, so that
// the link stays a link.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

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

AtomicFileWriter::AtomicFileWriter(const std::string& fileName)
    : fileName_(fileName), target_(resolveTarget(fileName)) {
    if (fileName.empty())
        fail(ENOENT);
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
    target_ = resolveTarget(fileName);
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
    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
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
