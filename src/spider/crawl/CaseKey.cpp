#include "CaseKey.h"

#include <QString>
#include <algorithm>
#include <string>

namespace tessaly {

namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string Folded(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .toCaseFolded()
        .toStdString();
}

} // namespace

std::size_t TCaseHash::operator()(std::string_view text) const {
    // FNV-1a over the folded bytes; the folded form of an ASCII text is its
    // lower case, so both ways give one hash for texts that compare equal.
    auto fnv = [](std::string_view bytes) {
        std::size_t h = 14695981039346656037ull;
        for (char c : bytes) {
            h ^= static_cast<unsigned char>(Lower(c));
            h *= 1099511628211ull;
        }
        return h;
    };
    return IsAscii(text) ? fnv(text) : fnv(Folded(text));
}

bool TCaseEqual::operator()(std::string_view a, std::string_view b) const {
    if (IsAscii(a) && IsAscii(b))
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(),
                          [](char x, char y) { return Lower(x) == Lower(y); });
    return Folded(a) == Folded(b);
}

} // namespace tessaly
