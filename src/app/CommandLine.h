#pragma once
#include <string>
#include <vector>

namespace tessaly {

// What the program does before any window exists.
enum class EarlyAction { Run, Help, Version };

EarlyAction EarlyCommandLineAction(const std::vector<std::string>& args);
std::string UsageText();
std::string VersionText();
// True for the unattended switch: "auto" after "/" or "-", in any letter case.
bool IsAutoSwitch(const std::string& arg);

} // namespace tessaly
