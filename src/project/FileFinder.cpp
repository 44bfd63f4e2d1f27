#include "FileFinder.h"

#include "Folders.h"

#include <climits>
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
    std::string name;
    bool isDir;
    TFileInfo info;
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

// The folder's entries in the order the file system gives them; nothing when
// it cannot be listed. An entry's status is read only when its type is not
// known from the listing (links are followed: a link to a folder is a folder,
// a dangling link an ordinary entry) or when needStatus says so.
std::vector<Entry> listFolder(const std::string& folder, bool needStatus) {
    std::vector<Entry> out;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return out;
    int fd = ::dirfd(dir.get());
    while (dirent* d = ::readdir(dir.get())) {
        std::string name = d->d_name;
        if (name == "." || name == "..")
            continue;
        Entry e{name, false, {name, 0, false, 0, 0}};
        bool typeKnown = d->d_type == DT_DIR || d->d_type == DT_REG;
        if (typeKnown && !needStatus) {
            e.isDir = d->d_type == DT_DIR;
            e.info.Attr = e.isDir          ? TFileAttributes(ffDirectory)
                          : name[0] == '.' ? TFileAttributes(ffHidden)
                                           : TFileAttributes(ffNormal);
        } else {
            struct stat st {};
            if (::fstatat(fd, d->d_name, &st, 0) != 0 &&
                ::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            e.isDir = S_ISDIR(st.st_mode);
            e.info.Attr = attributesOf(name, st);
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
    visit(AddBackslash(start));
}

void TFileFinder::visit(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 &&
        !entered_.insert({std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)}).second)
        return;
    if (OnNewFolder) {
        bool ignore = false;
        OnNewFolder(*this, folder, ignore);
        if (ignore)
            return;
    }
    if (stopped_)
        return;
    // One listing serves both passes; the order is the file system's.
    // The read-only bit is the only attribute that needs an entry's status;
    // when the filter takes files with and without it, no status is read.
    bool needStatus = ((Attributes & ffNormal) != 0) != ((Attributes & ffReadonly) != 0);
    std::vector<Entry> entries = listFolder(folder, needStatus);
    for (const Entry& e : entries) {
        if (stopped_)
            return;
        if (e.name[0] == '.' || !matchesMask(e.name))
            continue;
        if (e.isDir && !(Attributes & ffDirectory))
            continue;
        TFileAttributes own = e.info.Attr & ~TFileAttributes(ffNormal);
        bool passes = own ? (own & Attributes) != 0 : (Attributes & ffNormal) != 0;
        if (passes && OnFound)
            OnFound(*this, folder, e.info);
    }
    if (stopped_ || !Subfolders)
        return;
    for (const Entry& e : entries) {
        if (stopped_)
            return;
        if (e.isDir && e.name[0] != '.')
            visit(folder + e.name + "/");
    }
}

} // namespace tessaly
