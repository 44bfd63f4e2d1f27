#pragma once
// Path and file routines on UTF-8 paths with "/" separators.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tessaly {

// A file that cannot be opened, created or written; what() is the text shown
// to the user, with the path and the system's reason.
class EFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The whole file as bytes; raises EFileError. Only regular files are read
// (a pipe or a device named like a file would block or never end), and a file
// larger than maxBytes is refused rather than read.
std::string ReadFileText(const std::string& fileName, std::int64_t maxBytes = std::int64_t(1)
                                                                              << 40);
// Creates or replaces the file so that it holds exactly text, with the safety
// of AtomicFileWriter. Raises EFileError.
void WriteFileText(const std::string& text, const std::string& fileName);
// The file a write to path replaces: symbolic links in the path (the file's
// own or its folders') followed to where they lead, the path as given when
// there are none. A link that another user made in a folder open to everyone
// with the sticky bit set (like /tmp) is followed only when that user owns
// the folder, as the kernel's protected-symlinks rule has it; otherwise
// raises EFileError naming the file and the link.
std::string ResolveWriteTarget(const std::string& path);
// Writes a file in pieces so that a failure never leaves a cut or empty file:
// the bytes go to a temporary file in the same folder, every write, the sync
// to disk and the close are checked, and only commit() renames it over the
// old file, after all of them succeeded. A writer destroyed without commit()
// removes its temporary file and leaves the old file as it was. A replaced
// file keeps its owner, group and mode; a symbolic link keeps pointing at the
// file, which is replaced in its own folder (links are resolved as
// ResolveWriteTarget does, so a planted one is refused). Every failure raises EFileError
// naming the path.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(const std::string& fileName);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    void write(std::string_view bytes);
    // Puts the bytes in place under another name, at commit.
    void retarget(const std::string& fileName);
    void commit();

  private:
    void flushBuffer();
    void discard();
    [[noreturn]] void fail(int err);
    std::string fileName_; // as the caller named it, for messages
    std::string target_;   // the file to replace (links resolved)
    std::string temp_;
    int fd_ = -1;
    std::string buffer_;
};

// Test seams for the writers: a disk with only `bytes` left (nullopt: no
// limit), and a sync to disk that fails. Both fail with ENOSPC, as a full
// disk does.
void setDiskSpaceForTests(std::optional<std::int64_t> bytes);
void setSyncFailureForTests(bool fail);

// Appends text and CR LF to an existing file; raises EFileError.
void AppendLine(const std::string& text, const std::string& fileName);
// Deletes a file, ignoring every error.
void DeleteFileQuietly(const std::string& fileName);

// The folder part of a path, with its trailing "/"; empty when there is none.
std::string ExtractFilePath(const std::string& path);
// The name after the last "/".
std::string ExtractFileName(const std::string& path);
// The path with its extension (from the last "." of the name) replaced; ext
// includes the dot.
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// The path made absolute against the current folder and normalised ("." and
// ".." segments and doubled "/" removed); a folder keeps its trailing "/".
std::string AbsolutePath(const std::string& path);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Lower case of a UTF-8 text.
std::string LowerCase(const std::string& text);

} // namespace tessaly
