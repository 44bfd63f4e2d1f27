#pragma once
// Walks a folder and its subfolders: each folder is announced before its
// files, its files are reported before its subfolders are visited, entries
// come in the order the file system lists them, and names beginning with "."
// are never reported or entered.
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

namespace tessaly {

enum TFileAttribute : unsigned {
    ffNormal = 1,
    ffArchive = 2,
    ffReadonly = 4,
    ffHidden = 8,
    ffSystem = 16,
    ffDirectory = 32
};
using TFileAttributes = unsigned;

class EFindFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct TFileInfo {
    std::string Name;
    TFileAttributes Attr = 0; // the entry's own attributes (ffNormal when none)
    // Size and modification time, read only when the attribute filter needs
    // the entry's status anyway (HasStatus); otherwise the reader asks the
    // file system itself, so a walk costs no status call per file.
    bool HasStatus = false;
    std::int64_t Size = 0;
    std::time_t Time = 0;
    // The listed folder, open while the entry is being reported (-1 otherwise):
    // a status read relative to it skips walking the whole path again.
    int FolderFd = -1;
};

// The entry's modification time: the one read with the listing, or else asked
// of the file system now; nullopt when it cannot be read.
std::optional<std::time_t> EntryTime(const TFileInfo& info);

class TFileFinder {
  public:
    using TFoundEvent =
        std::function<void(TFileFinder& sender, const std::string& folder, const TFileInfo& info)>;
    using TNewFolderEvent =
        std::function<void(TFileFinder& sender, const std::string& folder, bool& ignoreFolder)>;
    // A folder that could not be listed, with the system's reason.
    using TFolderErrorEvent =
        std::function<void(TFileFinder& sender, const std::string& folder, const std::string& why)>;

    TFileAttributes Attributes = ffNormal | ffArchive | ffReadonly | ffHidden | ffSystem;
    bool Subfolders = true;
    TFoundEvent OnFound;
    TNewFolderEvent OnNewFolder;
    TFolderErrorEvent OnFolderError;

    const std::string& Filename() const { return filename_; }
    // A bare name mask; a folder part raises EFindFileError.
    void setFilename(const std::string& mask);
    const std::string& Location() const { return location_; }
    // A folder that exists, or empty for the current folder; raises
    // EFindFileError otherwise. A trailing "/" is dropped (but "/" stays).
    void setLocation(const std::string& folder);

    // Runs the whole walk; returns when done or stopped.
    void Search();
    // Asks a running walk to stop after the current entry.
    void Stop() { stopped_ = true; }
    bool Stopped() const { return stopped_; }
    // The folder being announced or listed, open (-1 when it could not be
    // opened); entries are read relative to it, so a path longer than the
    // system's limit is no obstacle.
    int CurrentFolderFd() const { return currentFd_; }

  private:
    // Enters name below the open folder parentFd; folder is its whole path.
    void visit(const std::string& folder, int parentFd, const char* name);
    bool matchesMask(const std::string& name) const;
    std::string filename_ = "*.*";
    std::string location_;
    std::string mask_;
    bool stopped_ = false;
    int currentFd_ = -1;
    // Real folders entered in this walk (device, inode): a link back to a
    // folder already entered is not followed again.
    std::set<std::pair<std::uint64_t, std::uint64_t>> entered_;
};

} // namespace tessaly
