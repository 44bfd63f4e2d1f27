#include "CommandLine.h"

#include <strings.h>

namespace tessaly {

std::string UnknownOption(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a.starts_with("--") && a != "--help" && a != "--version")
            return a;
    return {};
}

EarlyAction EarlyCommandLineAction(const std::vector<std::string>& args, bool hasDisplay) {
    bool unattended = false;
    for (const auto& a : args) {
        if (a == "--help" || a == "-h")
            return EarlyAction::Help;
        if (a == "--version")
            return EarlyAction::Version;
        unattended = unattended || IsAutoSwitch(a);
    }
    if (!UnknownOption(args).empty())
        return EarlyAction::UnknownOption;
    if (!hasDisplay && !unattended)
        return EarlyAction::NeedsDisplay;
    return EarlyAction::Run;
}

std::string NeedsDisplayText() {
    return "tessaly: there is no display to show the window on (DISPLAY and WAYLAND_DISPLAY "
           "are not set).\n"
           "To make a profile's site maps without a window: tessaly -auto PROFILE.qvt\n";
}

bool IsAutoSwitch(const std::string& arg) {
    return arg.size() == 5 && (arg[0] == '/' || arg[0] == '-') &&
           strcasecmp(arg.c_str() + 1, "auto") == 0;
}

std::string UsageText() {
    return "Usage: tessaly [PROFILE.qvt] [-auto]\n"
           "\n"
           "Builds an HTML site map page and an XML sitemap for a web site, from its\n"
           "folder on disk or by spidering the live site, and uploads them by FTP.\n"
           "\n"
           "  PROFILE.qvt   open this map profile (the first argument naming an\n"
           "                existing file)\n"
           "  -auto, /auto  unattended run: open the profile, search, write the site\n"
           "                maps, upload them and exit; the exit status is 0 on\n"
           "                success and 1 when a step failed\n"
           "  --help        show this text and exit\n"
           "  --version     show the version and exit\n"
           "\n"
           "An unattended run needs no display: its messages go to standard error\n"
           "and take their default answers. Without -auto the window needs a\n"
           "display. An unknown option exits with status 2.\n";
}

std::string VersionText() {
    return "Quorvane Google Tessaly 4.5\n";
}

} // namespace tessaly
