#pragma once
// Opening files and web addresses in the desktop's own programs.
#include <functional>
#include <string>

namespace tessaly {

// Show commands accepted by ShellOpen (kept for callers; the desktop decides).
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWNOACTIVATE = 4;

// Opens a file or address; the result is above 32 on success, 2 for a missing
// file, 31 when no program opens it.
int ShellOpen(const std::string& target, const std::string& params = {},
              const std::string& folder = {}, int show = SW_SHOWNORMAL);
// ShellOpen without parameters, then ShowShellError with its result.
void OpenDocument(const std::string& target);
// Shows the failure message for a result code of 32 or less.
void ShowShellError(int code);
// The text ShowShellError shows for a code.
std::string ShellErrorText(int code);

// What actually launches a target; tests replace it to record the target
// instead of starting a program. Returns the result code.
using ShellLauncher = std::function<int(const std::string& target)>;
void setShellLauncher(ShellLauncher launcher);

} // namespace tessaly
