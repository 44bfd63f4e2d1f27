#pragma once
#include <string>

namespace tessaly {

// What the program remembers between runs: the last profile and whether to
// reopen it at start.
struct TSiteMapSettings {
    TSiteMapSettings();
    std::string LastFile;
    bool LoadLast = false;
    std::string SettingFile; // the settings file's own path
};

} // namespace tessaly
