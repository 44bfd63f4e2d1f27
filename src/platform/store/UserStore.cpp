#include "UserStore.h"

#include "PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tessaly {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

std::string Reason() {
    return std::strerror(errno);
}

// Holds an exclusive lock on a file beside the store for one write. The store
// itself is replaced by each write, so it cannot carry the lock.
class StoreLock {
  public:
    explicit StoreLock(const std::string& file) {
        fd_ = ::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            error_ = "cannot open the lock file " + file + ".lock: " + Reason();
            return;
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = "cannot lock " + file + ": " + Reason();
                return;
            }
        }
        locked_ = true;
    }
    ~StoreLock() {
        if (fd_ >= 0)
            ::close(fd_); // closing releases the lock
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool locked() const { return locked_; }
    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    bool locked_ = false;
    std::string error_;
};

void SetError(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

// Far beyond any list of sites; a larger file is not one this program wrote.
constexpr std::size_t kMaxStoreBytes = 64u << 20;

} // namespace

TUserStore::TUserStore() : file_(DefaultFile()) {}

TUserStore::TUserStore(std::string file) : file_(std::move(file)) {}

std::string TUserStore::DefaultFile() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return (folder + "/user-store.reg").toStdString();
}

std::string TUserStore::KeyFile() const {
    return QFileInfo(Q(file_)).absolutePath().toStdString() + "/user-store.key";
}

bool TUserStore::Read(StoreData& data, std::string* error) const {
    std::string bytes, why;
    switch (ReadPrivateFile(file_, "store file", kMaxStoreBytes, bytes, why)) {
    case PrivateRead::Missing:
        data = StoreData();
        return true;
    case PrivateRead::Refused:
        SetError(error, why);
        return false;
    case PrivateRead::Read:
        break;
    }
    if (!data.FromText(bytes, why)) {
        SetError(error, "The store file \"" + file_ + "\" is damaged (" + why + ")");
        return false;
    }
    return true;
}

bool TUserStore::Write(const std::function<bool(StoreData&)>& edit, std::string* error) const {
    std::string why;
    if (!MakePrivateFolder(QFileInfo(Q(file_)).absolutePath().toStdString(), why)) {
        SetError(error, why);
        return false;
    }
    StoreLock lock(file_);
    if (!lock.locked()) {
        SetError(error, lock.error());
        return false;
    }
    StoreData data;
    if (!Read(data, error))
        return false;
    if (!edit(data))
        return true;
    std::string text = data.ToText();
    QSaveFile out(Q(file_));
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) {
        SetError(error, "cannot write " + file_ + ": " + out.errorString().toStdString());
        return false;
    }
    // Owner only, whatever the umask or an older file's mode.
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (out.write(text.data(), qint64(text.size())) != qint64(text.size()) || !out.commit()) {
        SetError(error, "cannot write " + file_ + ": " + out.errorString().toStdString());
        return false;
    }
    return true;
}

} // namespace tessaly
