#pragma once
// The store and its key are the user's own: a folder only the owner can enter
// and files only the owner can read or write. A file that someone else owns or
// that others could read or change is refused (its passwords or sites may be
// known or planted), with the command that puts it right. Only regular files
// are opened, and never in a way that can block (a FIFO in the key's place
// must not hang an unattended run).
#include <string>

namespace tessaly {

enum class PrivateRead { Read, Missing, Refused };

// Reads the file, at most maxBytes of it (more is refused as damaged). what
// names it in messages ("store file", "key file"). Refused comes with the
// message in error; Missing when there is no file.
PrivateRead ReadPrivateFile(const std::string& path, const std::string& what, std::size_t maxBytes,
                            std::string& bytes, std::string& error);

// Makes the folder (and its missing parents) owner-only whatever the umask.
// False with the reason.
bool MakePrivateFolder(const std::string& folder, std::string& error);

} // namespace tessaly
