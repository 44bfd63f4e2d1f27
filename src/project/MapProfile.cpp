#include "MapProfile.h"

#include "Folders.h"

namespace tessaly {

TMapProfile::TMapProfile() : fOutputFileName(AddBackslash(DesktopFolder()) + "sitemap.html") {}

void TMapProfile::setFileName(const std::string& v) {
    if (v != fFileName) {
        fFileName = v;
        Untitled = false;
    }
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

std::string TMapProfile::FollowQueryPartsText() const {
    return JoinLines(fFollowQueryParts);
}

void TMapProfile::setFollowQueryPartsText(const std::string& text) {
    std::vector<std::string> items = SplitLines(text);
    if (JoinLines(items) != FollowQueryPartsText())
        Modified = true;
    fFollowQueryParts = std::move(items);
}

void TMapProfile::setFollowQueryParts(std::vector<std::string> items) {
    fFollowQueryParts = std::move(items);
}

} // namespace tessaly
