#include "FileFinder.h"

#include "Folders.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessaly {

namespace {

struct Entry {
    bool isDir;
    TFileInfo info; // Name is the entry's name
};

TFileAttributes attributesOf(const std::string& name, const struct stat& st) {
    TFileAttributes a = 0;
    if (S_ISDIR(st.st_mode))
        a |= ffDirectory;
    if (!(st.st_mode & S_IWUSR))
        a |= ffReadonly;
    if (!name.empty() && name[0] == '.')
        a |= ffHidden;
    return a ? a : TFileAttributes(ffNormal);
}

using DirPtr = std::unique_ptr<DIR, int (*)(DIR*)>;

// The folder's entries in the order the file system gives them; nothing when
// it cannot be listed. An entry's status is read only when its type is not
// known from the listing (links are followed: a link to a folder is a folder,
// a link that leads nowhere is left out) or when needStatus says so. errno is
// left non-zero when the listing ended in an error.
std::vector<Entry> listFolder(DIR* dir, bool needStatus) {
    std::vector<Entry> out;
    if (!dir)
        return out;
    int fd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        dirent* d = ::readdir(dir);
        if (!d)
            break; // errno tells an error from the end

        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        Entry e{false, {n, 0, false, 0, 0, -1}};
        bool typeKnown = d->d_type == DT_DIR || d->d_type == DT_REG;
        if (typeKnown && !needStatus) {
            e.isDir = d->d_type == DT_DIR;
            e.info.Attr = e.isDir       ? TFileAttributes(ffDirectory)
                          : n[0] == '.' ? TFileAttributes(ffHidden)
                                        : TFileAttributes(ffNormal);
        } else {
            // Links are followed; a link that leads nowhere is no page.
            struct stat st {};
            if (::fstatat(fd, n, &st, 0) != 0)
                continue;
            e.isDir = S_ISDIR(st.st_mode);
            e.info.Attr = attributesOf(e.info.Name, st);
            e.info.HasStatus = true;
            e.info.Size = st.st_size;
            e.info.Time = st.st_mtime;
        }
        out.push_back(std::move(e));
    }
    return out;
}

} // namespace

void TFileFinder::setFilename(const std::string& mask) {
    if (mask.find_first_of("/\\:") != std::string::npos)
        throw EFindFileError(mask + "\n\rInvalid filename specified");
    filename_ = mask;
}

void TFileFinder::setLocation(const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    struct stat st {};
    if (!f.empty() && (::stat(f.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
        char buf[PATH_MAX];
        std::string full = f;
        if (f[0] != '/' && ::getcwd(buf, sizeof buf))
            full = AddBackslash(buf) + f;
        throw EFindFileError(full + "\n\rdirectory does not exists");
    }
    location_ = f;
}

bool TFileFinder::matchesMask(const std::string& name) const {
    // "*.*" names every entry, with or without an extension.
    if (mask_ == "*.*" || mask_ == "*")
        return true;
    return ::fnmatch(mask_.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

void TFileFinder::Search() {
    std::string start = location_.empty() ? "." : location_;
    if (start[0] != '/') {
        char buf[PATH_MAX];
        if (::getcwd(buf, sizeof buf))
            start = AddBackslash(buf) + (start == "." ? "" : start);
    }
    if (filename_.empty())
        mask_ = "*.*";
    else if (filename_.find('.') != std::string::npos)
        mask_ = filename_;
    else
        mask_ = filename_ + ".*";
    stopped_ = false;
    entered_.clear();
    visit(AddBackslash(start), AT_FDCWD, start.c_str());
}

void TFileFinder::visit(const std::string& folder, int parentFd, const char* name) {
    struct stat st {};
    if (::fstatat(parentFd, name, &st, 0) == 0 &&
        !entered_.insert({std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)}).second)
        return;
    // Each level keeps its folder open while its subfolders are walked: the
    // walk goes by names relative to it, never by the whole path.
    struct Fd {
        int fd;
        ~Fd() {
            if (fd >= 0)
                ::close(fd);
        }
    } self{::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    const int openError = errno;
    struct Current {
        int& slot;
        int saved;
        ~Current() { slot = saved; }
    } current{currentFd_, currentFd_};
    currentFd_ = self.fd;
    if (OnNewFolder) {
        bool ignore = false;
        OnNewFolder(*this, folder, ignore);
        if (ignore)
            return;
    }
    if (stopped_)
        return;
    if (self.fd < 0) {
        if (OnFolderError)
            OnFolderError(*this, folder, std::strerror(openError));
        return;
    }
    // One listing serves both passes; the order is the file system's.
    // The read-only bit is the only attribute that needs an entry's status;
    // when the filter takes files with and without it, no status is read.
    bool needStatus = ((Attributes & ffNormal) != 0) != ((Attributes & ffReadonly) != 0);
    std::vector<Entry> entries;
    {
        int listFd = ::dup(self.fd);
        DirPtr dir(listFd >= 0 ? ::fdopendir(listFd) : nullptr, ::closedir);
        if (!dir) {
            if (listFd >= 0)
                ::close(listFd);
            if (OnFolderError)
                OnFolderError(*this, folder, std::strerror(errno));
            return;
        }
        errno = 0;
        entries = listFolder(dir.get(), needStatus);
        if (errno != 0 && OnFolderError)
            OnFolderError(*this, folder, std::strerror(errno));
    }
    for (Entry& e : entries) {
        if (stopped_)
            return;
        const std::string& entryName = e.info.Name;
        if (entryName[0] == '.' || !matchesMask(entryName))
            continue;
        if (e.isDir && !(Attributes & ffDirectory))
            continue;
        TFileAttributes own = e.info.Attr & ~TFileAttributes(ffNormal);
        bool passes = own ? (own & Attributes) != 0 : (Attributes & ffNormal) != 0;
        if (passes && OnFound) {
            e.info.FolderFd = self.fd;
            OnFound(*this, folder, e.info);
            e.info.FolderFd = -1;
        }
    }
    if (stopped_ || !Subfolders)
        return;
    for (const Entry& e : entries) {
        if (stopped_)
            return;
        if (e.isDir && e.info.Name[0] != '.')
            visit(folder + e.info.Name + "/", self.fd, e.info.Name.c_str());
    }
}

std::optional<std::time_t> EntryTime(const TFileInfo& info) {
    if (info.HasStatus)
        return info.Time;
    if (info.FolderFd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstatat(info.FolderFd, info.Name.c_str(), &st, 0) != 0)
        return std::nullopt;
    return st.st_mtime;
}

} // namespace tessaly
