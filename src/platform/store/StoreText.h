#pragma once
// The store's file layout, in the style of a registry export:
//
//   Tessaly user store 1
//
//   [Software\Quorvane Software\Internet\Profiles\My Site]
//   "HostName"="ftp.example.com"
//
// Value names and values are quoted, with "\" escaping: \\ \" \n \r \t and
// \xHH for other control bytes. In a key line the names are joined by "\";
// "%", "[", "]", "\" and control bytes inside a name are written as %HH.
// Other bytes, UTF-8 or not, stand as they are.
#include <string>
#include <string_view>

namespace tessaly {

inline constexpr std::string_view kStoreHeader = "Tessaly user store 1";

std::string EscapeStoreValue(std::string_view text);
std::string EscapeStoreKeyName(std::string_view name);
// Read back what the escapers made; false for a broken escape.
bool UnescapeStoreKeyName(std::string_view text, std::string& name);

} // namespace tessaly

namespace tessaly {
// Reads a quoted, escaped text starting at line[pos] (which must be '"');
// pos moves past the closing quote. False for a missing quote or bad escape.
bool ReadStoreQuoted(std::string_view line, size_t& pos, std::string& text);
} // namespace tessaly
