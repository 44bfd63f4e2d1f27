#include "PageSignals.h"

#include <algorithm>

namespace tessaly {

namespace {

template <class Char> Char Lower(Char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <class Char> bool SameWord(std::basic_string_view<Char> a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](Char x, char y) {
               return Lower(x) == static_cast<Char>(Lower(y));
           });
}

template <class Char> bool IsBlank(Char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

void AddWord(TRobotsDirectives& out, std::string_view word) {
    if (SameWord(word, "noindex")) {
        out.NoIndex = true;
    } else if (SameWord(word, "nofollow")) {
        out.NoFollow = true;
    } else if (SameWord(word, "none")) {
        out.NoIndex = true;
        out.NoFollow = true;
    }
}

// Directives whose value follows a colon: a name before a colon that is one
// of them is not a crawler's name.
bool IsValuedDirective(std::string_view name) {
    for (std::string_view directive :
         {"unavailable_after", "max-snippet", "max-image-preview", "max-video-preview"})
        if (SameWord(name, directive))
            return true;
    return false;
}

} // namespace

TRobotsDirectives ParseRobotsContent(std::string_view content) {
    TRobotsDirectives out;
    while (!content.empty()) {
        const size_t comma = content.find(',');
        AddWord(out, Trimmed(content.substr(0, comma)));
        if (comma == std::string_view::npos)
            break;
        content.remove_prefix(comma + 1);
    }
    return out;
}

TRobotsDirectives ParseXRobotsTag(std::string_view value, std::string_view productToken) {
    value = Trimmed(value);
    const size_t colon = value.find(':');
    if (colon != std::string_view::npos) {
        const std::string_view name = Trimmed(value.substr(0, colon));
        const bool isAgent = !name.empty() && !IsValuedDirective(name) &&
                             name.find(',') == std::string_view::npos &&
                             name.find_first_of(" \t") == std::string_view::npos;
        if (isAgent) {
            if (productToken.empty() || !SameWord(name, productToken))
                return {};
            value.remove_prefix(colon + 1);
        }
    }
    return ParseRobotsContent(value);
}

std::vector<std::string> CanonicalLinks(std::string_view header) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < header.size()) {
        const size_t open = header.find('<', at);
        if (open == std::string_view::npos)
            break;
        const size_t close = header.find('>', open + 1);
        if (close == std::string_view::npos)
            break;
        const std::string_view target = header.substr(open + 1, close - open - 1);
        // The parameters run to the next link: a comma outside quotes.
        size_t end = close + 1;
        bool quoted = false;
        for (; end < header.size(); ++end) {
            const char c = header[end];
            if (c == '"')
                quoted = !quoted;
            else if (c == ',' && !quoted)
                break;
        }
        std::string_view params = header.substr(close + 1, end - close - 1);
        while (!params.empty()) {
            const size_t semi = params.find(';');
            std::string_view param = Trimmed(params.substr(0, semi));
            params.remove_prefix(semi == std::string_view::npos ? params.size() : semi + 1);
            const size_t equals = param.find('=');
            if (equals == std::string_view::npos ||
                !SameWord(Trimmed(param.substr(0, equals)), "rel"))
                continue;
            std::string_view rel = Trimmed(param.substr(equals + 1));
            if (rel.size() >= 2 && rel.front() == '"' && rel.back() == '"')
                rel = rel.substr(1, rel.size() - 2);
            if (RelHasWord(rel, "canonical"))
                out.emplace_back(Trimmed(target));
            break;
        }
        at = end + 1;
    }
    return out;
}

namespace {

template <class Char> bool HasWord(std::basic_string_view<Char> rel, std::string_view word) {
    size_t i = 0;
    while (i < rel.size()) {
        while (i < rel.size() && IsBlank(rel[i]))
            ++i;
        size_t start = i;
        while (i < rel.size() && !IsBlank(rel[i]))
            ++i;
        if (i > start && SameWord(rel.substr(start, i - start), word))
            return true;
    }
    return false;
}

} // namespace

bool RelHasWord(std::u16string_view rel, std::u16string_view word) {
    std::string ascii;
    for (char16_t c : word) {
        if (c >= 0x80)
            return false;
        ascii.push_back(static_cast<char>(c));
    }
    return HasWord(rel, ascii);
}

bool RelHasWord(std::string_view rel, std::string_view word) {
    return HasWord(rel, word);
}

} // namespace tessaly
