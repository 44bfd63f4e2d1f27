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

// The folder of the program's shipped data (map images, manual), with a
// trailing "/": the executable's own folder when the data lies beside it (a
// build or portable tree), else "../share/tessaly/" from there (an install
// tree).
std::string ProgramFolder();
// The folder of the program's executable, with a trailing "/".
std::string ExecutableFolder();
// The user's configuration folder for this program (settings, FTP sites):
// the XDG configuration folder, so XDG_CONFIG_HOME moves it.
std::string ConfigFolder();
// The user's data folder for this program (the Profiles folder): the XDG
// data folder.
std::string DataFolder();
// A special folder's path without a trailing "/", or empty when unknown.
std::string SpecialFolder(int csidl);
// The desktop folder, or the home folder when there is no desktop folder.
std::string DesktopFolder();

// Tests point these at temporary folders; empty restores the real ones.
void setProgramFolderForTests(const std::string& folder);
void setDataFolderForTests(const std::string& folder);
void setConfigFolderForTests(const std::string& folder);

// Adds "/" to a non-empty path that does not end in one.
std::string AddBackslash(const std::string& path);

} // namespace tessaly
