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

namespace {

void AppendCodePoint(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The characters of windows-1252's bytes 0x80 to 0x9F; 0xFFFD where it
// defines none.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

// The names of U+00A0 to U+00FF, in order.
constexpr const char* kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct TNamedReference {
    const char* name;
    char32_t code;
};
constexpr TNamedReference kOtherNames[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},        {"quot", '"'},
    {"apos", '\''},     {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018},
    {"rsquo", 0x2019},  {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D},
    {"bdquo", 0x201E},  {"dagger", 0x2020}, {"Dagger", 0x2021}, {"bull", 0x2022},
    {"hellip", 0x2026}, {"permil", 0x2030}, {"lsaquo", 0x2039}, {"rsaquo", 0x203A},
    {"euro", 0x20AC},   {"trade", 0x2122},  {"OElig", 0x0152},  {"oelig", 0x0153},
    {"Scaron", 0x0160}, {"scaron", 0x0161}, {"Yuml", 0x0178},   {"fnof", 0x0192},
    {"circ", 0x02C6},   {"tilde", 0x02DC},  {"ensp", 0x2002},   {"emsp", 0x2003},
    {"thinsp", 0x2009}, {"zwnj", 0x200C},   {"zwj", 0x200D},    {"lrm", 0x200E},
    {"rlm", 0x200F},    {"prime", 0x2032},  {"Prime", 0x2033},  {"larr", 0x2190},
    {"rarr", 0x2192},   {"uarr", 0x2191},   {"darr", 0x2193},   {"harr", 0x2194},
    {"infin", 0x221E},  {"ne", 0x2260},     {"le", 0x2264},     {"ge", 0x2265},
    {"minus", 0x2212},  {"hearts", 0x2665}, {"alpha", 0x03B1},  {"beta", 0x03B2},
    {"gamma", 0x03B3},  {"delta", 0x03B4},  {"pi", 0x03C0},     {"mu", 0x03BC},
    {"Omega", 0x03A9},  {"omega", 0x03C9},  {"sigma", 0x03C3},  {"lambda", 0x03BB},
};

char32_t NamedReference(std::string_view name) {
    for (int i = 0; i < 96; ++i)
        if (name == kLatin1Names[i])
            return static_cast<char32_t>(0xA0 + i);
    for (const TNamedReference& known : kOtherNames)
        if (name == known.name)
            return known.code;
    return 0;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                                   : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                  : 0;
        if (length == 0 || i + length > bytes.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        // Overlong three- and four-byte forms, surrogates, past U+10FFFF.
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
            return false;
        i += length;
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        if (byte >= 0x80 && byte < 0xA0)
            AppendCodePoint(out, kWindows1252High[byte - 0x80]);
        else
            AppendCodePoint(out, byte);
    }
    return out;
}

std::string UndeclaredToUtf8(std::string_view bytes) {
    return IsValidUtf8(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);
}

std::string DecodeCharacterReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t semicolon =
            text[i] == '&' ? text.find(';', i + 1) : std::string_view::npos;
        // References are short: "&" far from a ";" is a lone "&".
        if (semicolon == std::string_view::npos || semicolon - i > 33) {
            out += text[i++];
            continue;
        }
        const std::string_view body = text.substr(i + 1, semicolon - i - 1);
        char32_t code = 0;
        if (body.size() >= 2 && body[0] == '#') {
            const bool hex = body[1] == 'x' || body[1] == 'X';
            const std::string_view digits = body.substr(hex ? 2 : 1);
            bool ok = !digits.empty();
            unsigned long value = 0;
            for (char d : digits) {
                const int v = d >= '0' && d <= '9' ? d - '0'
                              : hex && (d | 0x20) >= 'a' && (d | 0x20) <= 'f'
                                  ? (d | 0x20) - 'a' + 10
                                  : -1;
                if (v < 0) {
                    ok = false;
                    break;
                }
                value = std::min<unsigned long>(value * (hex ? 16 : 10) + v, 0x110000);
            }
            if (ok) {
                // As browsers read them: nothing, a surrogate or past the
                // last code point is U+FFFD, and 0x80 to 0x9F windows-1252's.
                if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
                    value = 0xFFFD;
                else if (value >= 0x80 && value < 0xA0)
                    value = kWindows1252High[value - 0x80];
                code = static_cast<char32_t>(value);
            }
        } else {
            code = NamedReference(body);
        }
        if (code == 0) {
            out += text[i++];
            continue;
        }
        AppendCodePoint(out, code);
        i = semicolon + 1;
    }
    return out;
}

} // namespace tessaly
