#pragma once
#include <string>
#include <vector>

namespace tessaly {

// What the program does before any window exists.
enum class EarlyAction {
    Run,
    Help,
    Version,
    // An option the program does not know: the usage on standard error.
    UnknownOption,
    // The window was asked for where there is no display to show it on.
    NeedsDisplay,
};

// An argument is an option when it begins with "--", or is the unattended
// switch (or "-h"); every other argument names a profile, so "/home/u/x.qvt"
// stays a path. hasDisplay: a display (or a chosen Qt platform) is there.
EarlyAction EarlyCommandLineAction(const std::vector<std::string>& args, bool hasDisplay = true);
// The first option EarlyCommandLineAction did not know, or "".
std::string UnknownOption(const std::vector<std::string>& args);
std::string NeedsDisplayText();
std::string UsageText();
std::string VersionText();
// True for the unattended switch: "auto" after "/" or "-", in any letter case.
bool IsAutoSwitch(const std::string& arg);

} // namespace tessaly
