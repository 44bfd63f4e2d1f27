#include "TextRoutines.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace tessaly {

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

int CountOccurrences(const std::string& text, const std::string& pattern) {
    if (pattern.empty())
        return 0;
    int n = 0;
    for (std::size_t at = text.find(pattern); at != std::string::npos;
         at = text.find(pattern, at + pattern.size()))
        ++n;
    return n;
}

int PosFrom(const std::string& text, const std::string& pattern, int start) {
    if (start < 1)
        start = 1;
    if (std::size_t(start) > text.size() + 1)
        return 0;
    std::size_t at = text.find(pattern, std::size_t(start - 1));
    // Counted from the start position, as a search in the remaining text would.
    return at == std::string::npos || pattern.empty() ? 0 : int(at) - (start - 1) + 1;
}

std::string SafeCopy(const std::string& text, int from, int count) {
    long long len = static_cast<long long>(text.size());
    if (from > len)
        from = 1;
    if (from <= 0 || count < 0 || len < static_cast<long long>(from) + count - 1)
        return {};
    return text.substr(std::size_t(from - 1), std::size_t(count));
}

std::string TextBetween(const std::string& text, const std::string& startMarker,
                        const std::string& endMarker, bool ignoreCase) {
    // Both markers are searched in the whole text; the result comes from the
    // text in its own letter case.
    std::size_t s, e;
    if (ignoreCase) {
        std::string lowered = AsciiLower(text);
        s = lowered.find(AsciiLower(startMarker));
        e = lowered.find(AsciiLower(endMarker));
    } else {
        s = text.find(startMarker);
        e = text.find(endMarker);
    }
    if (s == std::string::npos || e == std::string::npos)
        return {};
    std::size_t b = s + startMarker.size();
    if (e < b)
        return {};
    return SafeCopy(text, int(b) + 1, int(e - b));
}

std::string CopyMax(const std::string& text, std::size_t maxLength) {
    std::string r = text.substr(0, maxLength);
    std::size_t nul = r.find('\0');
    if (nul != std::string::npos)
        r.resize(nul);
    return r;
}

namespace {
// What EncodeURLForXML makes of each byte: kept, or a "%XX" escape, with
// the XML escapes of the kept signs applied in the same pass (the escapes of
// the second step never meet a "%" of the first, so one pass gives the same
// text). A blank is "%20": in a path "+" is a plus sign, another file.
struct UrlByteTable {
    const char* text[256];
    unsigned char size[256];
    bool same[256]; // the byte stands for itself
    char storage[256][8];
    UrlByteTable() {
        static const std::string kept = "$-_@.&+!*\"'(),;/#?:<>~=%";
        static const char hex[] = "0123456789ABCDEF";
        for (int c = 0; c < 256; ++c) {
            char* s = storage[c];
            bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
            if (c == '&')
                std::snprintf(s, 8, "&amp;");
            else if (c == '\'')
                std::snprintf(s, 8, "&apos;");
            else if (c == '"')
                std::snprintf(s, 8, "&quot;");
            else if (c == '>')
                std::snprintf(s, 8, "&gt;");
            else if (c == '<')
                std::snprintf(s, 8, "&lt;");
            else if (alnum || (c < 0x80 && c != 0 && kept.find(char(c)) != std::string::npos))
                std::snprintf(s, 8, "%c", c);
            else
                std::snprintf(s, 8, "%%%c%c", hex[c >> 4], hex[c & 15]);
            text[c] = s;
            size[c] = static_cast<unsigned char>(std::strlen(s));
            same[c] = size[c] == 1 && s[0] == char(c);
        }
    }
};
} // namespace

void AppendURLForXML(std::string& out, std::string_view address) {
    static const UrlByteTable table;
    std::size_t i = 0, n = address.size();
    // "[" and "]" stand for themselves around an IPv6 host, in the authority
    // of "scheme://authority/..."; anywhere else they are escaped.
    std::size_t authorityEnd = 0;
    if (const std::size_t scheme = address.find("://");
        scheme != std::string_view::npos && address.find_first_of("/?#") > scheme)
        authorityEnd = std::min(address.find_first_of("/?#", scheme + 3), n);
    // Runs of bytes that stand for themselves are copied in one go.
    while (i < n) {
        std::size_t run = i;
        while (run < n && table.same[static_cast<unsigned char>(address[run])])
            ++run;
        out.append(address.data() + i, run - i);
        if (run == n)
            break;
        auto c = static_cast<unsigned char>(address[run]);
        if ((c == '[' || c == ']') && run < authorityEnd)
            out.push_back(static_cast<char>(c));
        else
            out.append(table.text[c], table.size[c]);
        i = run + 1;
    }
}

std::string EncodeURLForXML(const std::string& address) {
    std::string out;
    out.reserve(address.size() + 16);
    AppendURLForXML(out, address);
    return out;
}

bool HasInvalidFileNameChars(const std::string& name) {
    return name.find_first_of("\\/:*?\"<>|") != std::string::npos;
}

bool MatchesFileTypes(std::string_view fileName, std::string_view maskList) {
    std::size_t sep = fileName.find_last_of("/\\:");
    std::size_t nameStart = sep == std::string_view::npos ? 0 : sep + 1;
    std::size_t dot = fileName.rfind('.');
    std::string_view ext = dot == std::string_view::npos || dot < nameStart ? std::string_view()
                                                                            : fileName.substr(dot);
    // "*" + extension + ";" searched for in the list, both without regard to
    // ASCII letter case; no copies of the list or the name are made. The
    // list is long and asked once for every link of a crawl: the search
    // jumps from one "*" to the next.
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    const std::size_t needleSize = ext.size() + 2;
    if (maskList.size() < needleSize)
        return false;
    auto needleAt = [&](std::size_t i) {
        return i == 0 ? '*' : i == needleSize - 1 ? ';' : lower(ext[i - 1]);
    };
    const char second = needleAt(1);
    for (std::size_t at = maskList.find('*');
         at != std::string_view::npos && at + needleSize <= maskList.size();
         at = maskList.find('*', at + 1)) {
        if (lower(maskList[at + 1]) != second)
            continue;
        std::size_t i = 2;
        while (i < needleSize && lower(maskList[at + i]) == needleAt(i))
            ++i;
        if (i == needleSize)
            return true;
    }
    return false;
}

} // namespace tessaly
