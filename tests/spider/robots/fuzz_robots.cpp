// Reads arbitrary input as a robots.txt body, for our token and for the
// token its first line names, and asks about addresses taken from its lines.
// Checks that /robots.txt stays allowed, that rules disallowing everything
// disallow every address asked about, that reading twice answers the same,
// and that a plain pattern and path on consecutive lines match as trying
// every split of the path says.
#include "RobotsRules.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using tessaly::TRobotsRules;

namespace {

bool IsPlain(std::string_view s, bool pattern) {
    for (char c : s) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '.' || c == '_' || c == '-';
        if (!plain && !(pattern && (c == '*' || c == '$')))
            return false;
    }
    return true;
}

bool ReferenceMatch(std::string_view p, std::string_view path) {
    const bool anchored = !p.empty() && p.back() == '$';
    if (anchored)
        p.remove_suffix(1);
    std::vector<char> reach(path.size() + 1, 0);
    std::vector<char> next(path.size() + 1, 0);
    reach[0] = 1;
    for (char c : p) {
        for (size_t j = 0; j <= path.size(); ++j) {
            if (c == '*')
                next[j] = reach[j] || (j > 0 && next[j - 1]);
            else
                next[j] = j > 0 && reach[j - 1] && path[j - 1] == c;
        }
        reach.swap(next);
    }
    return anchored ? reach[path.size()] != 0
                    : std::find(reach.begin(), reach.end(), 1) != reach.end();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos <= input.size() && lines.size() < 8;) {
        const size_t end = std::min(input.find('\n', pos), input.size());
        lines.push_back(input.substr(pos, end - pos));
        pos = end + 1;
    }

    std::vector<std::string> paths = {"", "/", "/robots.txt", std::string(input.substr(0, 64))};
    for (std::string_view line : lines) {
        const size_t colon = line.find(':');
        paths.emplace_back(colon == std::string_view::npos ? line : line.substr(colon + 1));
    }

    const std::string token = TRobotsRules::ProductToken(lines.front());
    const TRobotsRules onlyRobotsTxt = TRobotsRules::DisallowAll();
    for (std::string_view agent : {std::string_view("Tessaly"), std::string_view(token)}) {
        const TRobotsRules rules = TRobotsRules::Parse(input, agent);
        const TRobotsRules again = TRobotsRules::FromAnswer(200, input, agent);
        if (!rules.IsAllowed("/robots.txt") || rules.RuleCount() != again.RuleCount() ||
            rules.Sitemaps() != again.Sitemaps() || rules.DisallowsAll() != again.DisallowsAll())
            std::abort();
        for (const std::string& path : paths) {
            const bool allowed = rules.IsAllowed(path);
            if (allowed != again.IsAllowed(path))
                std::abort();
            if (allowed && rules.DisallowsAll() && !onlyRobotsTxt.IsAllowed(path))
                std::abort();
        }
    }

    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const std::string_view pattern = lines[i];
        const std::string_view path = lines[i + 1];
        if (pattern.empty() || pattern.size() > 64 || path.size() > 64 ||
            (pattern.front() != '/' && pattern.front() != '*') || !path.starts_with('/') ||
            !IsPlain(pattern, true) || !IsPlain(path, false) || path == "/robots.txt")
            continue;
        const std::string robots = "User-agent: *\nDisallow: " + std::string(pattern) + "\n";
        if (TRobotsRules::Parse(robots, "Tessaly").IsAllowed(path) == ReferenceMatch(pattern, path))
            std::abort();
    }
    return 0;
}
