#pragma once
// Path and file routines on UTF-8 paths with "/" separators.
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

class QSaveFile;

namespace tessaly {

// A file that cannot be opened, created or written; what() is the text shown
// to the user, with the path and the system's reason.
class EFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The whole file as bytes; raises EFileError.
std::string ReadFileText(const std::string& fileName);
// Creates or replaces the file so that it holds exactly text. The bytes go to
// a temporary file in the same folder that then replaces the old one, so a
// failure never leaves the old file truncated. Raises EFileError.
void WriteFileText(const std::string& text, const std::string& fileName);
// Writes a file in pieces with the same safety as WriteFileText: the bytes go
// to a temporary file in the same folder, and only commit() puts it in place
// of the old one. A writer destroyed without commit() leaves the old file as
// it was. Every failure raises EFileError naming the path.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(const std::string& fileName);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    void write(std::string_view bytes);
    void commit();

  private:
    [[noreturn]] void fail();
    std::string fileName_;
    std::unique_ptr<QSaveFile> file_;
};

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
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Lower case of a UTF-8 text.
std::string LowerCase(const std::string& text);

} // namespace tessaly
