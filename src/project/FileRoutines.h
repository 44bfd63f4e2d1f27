#pragma once
// Path and file routines on UTF-8 paths with "/" separators.
#include <string>

namespace tessaly {

// The folder part of a path, with its trailing "/"; empty when there is none.
std::string ExtractFilePath(const std::string& path);
// The name after the last "/".
std::string ExtractFileName(const std::string& path);
// The path with its extension (from the last "." of the name) replaced; ext
// includes the dot.
std::string ChangeFileExt(const std::string& path, const std::string& ext);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Non-overlapping occurrences of pattern, compared with case; 0 for an empty
// pattern.
int CountOccurrences(const std::string& text, const std::string& pattern);
// Lower case of a UTF-8 text.
std::string LowerCase(const std::string& text);

} // namespace tessaly
