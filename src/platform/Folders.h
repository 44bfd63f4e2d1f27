#pragma once
// Where the program and the user's folders are. Folder paths carry a
// trailing "/".
#include <string>

namespace tessaly {

// Special-folder numbers the callers use.
inline constexpr int CSIDL_DESKTOP = 0;
inline constexpr int CSIDL_PERSONAL = 5;
inline constexpr int CSIDL_APPDATA = 26;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 16;

// The folder of the program's executable, with a trailing "/". The shipped
// data (map images, manual, pictures) lies beside it.
std::string ProgramFolder();
// The folder for files the program keeps for itself (settings, profiles,
// previews): the program folder when writable, else the per-user data folder.
std::string DataFolder();
// A special folder's path without a trailing "/", or empty when unknown.
std::string SpecialFolder(int csidl);
std::string DesktopFolder();

// Tests point these at temporary folders; empty restores the real ones.
void setProgramFolderForTests(const std::string& folder);
void setDataFolderForTests(const std::string& folder);

// Adds "/" to a non-empty path that does not end in one.
std::string AddBackslash(const std::string& path);

} // namespace tessaly
