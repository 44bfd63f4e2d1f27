#include "Uri.h"

#include "UnicodeText.h"

namespace tessaly::html {
namespace {

// A working buffer kept between links gives its room back after an
// address far longer than addresses are (one a hostile page may hold).
void ReleaseIfLarge(std::u16string& buffer) {
    constexpr size_t kKeep = 16 * 1024;
    if (buffer.capacity() > kKeep) {
        buffer.clear();
        buffer.shrink_to_fit();
    }
}

constexpr auto npos = std::u16string_view::npos;

bool IsSchemeChar(char16_t c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '+' || c == '-' || c == '.';
}

// Four numbers of 0 to 255 joined by ".", without leading zeros.
bool ValidIPv4(std::u16string_view text) {
    int parts = 0;
    size_t i = 0;
    for (;;) {
        size_t start = i;
        int value = 0;
        while (i < text.size() && IsAsciiDigit(text[i]) && i - start < 3)
            value = value * 10 + (text[i++] - u'0');
        const size_t digits = i - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == u'0'))
            return false;
        if (++parts == 4)
            return i == text.size();
        if (i == text.size() || text[i] != u'.')
            return false;
        ++i;
    }
}

// Groups of one to four hexadecimal digits joined by ":", eight of them, or
// fewer with one "::" standing for the missing ones; the last two may be
// written as an IPv4 number.
bool ValidIPv6(std::u16string_view text) {
    int groups = 0;
    bool elided = false;
    size_t i = 0;
    if (text.starts_with(u"::")) {
        elided = true;
        i = 2;
        if (i == text.size())
            return true;
    } else if (text.starts_with(u":")) {
        return false;
    }
    for (;;) {
        size_t start = i;
        while (i < text.size() && IsHexDigit(text[i]) && i - start < 4)
            ++i;
        if (i < text.size() && text[i] == u'.') {
            // An IPv4 ending takes the place of two groups.
            if (!ValidIPv4(text.substr(start)))
                return false;
            groups += 2;
            break;
        }
        if (i == start)
            return false;
        ++groups;
        if (i == text.size())
            break;
        if (text[i] != u':')
            return false;
        ++i;
        if (i < text.size() && text[i] == u':') {
            if (elided)
                return false;
            elided = true;
            ++i;
            if (i == text.size())
                break;
        } else if (i == text.size()) {
            return false;
        }
    }
    return elided ? groups < 8 : groups == 8;
}

// "v", hexadecimal digits, "." and unreserved, sub-delimiter or ":"
// characters: an address of a version still to come.
bool ValidIPvFuture(std::u16string_view text) {
    static constexpr std::u16string_view kSigns = u"-._~!$&'()*+,;=:";
    if (text.size() < 4 || (text[0] | 0x20) != u'v')
        return false;
    size_t i = 1;
    while (i < text.size() && IsHexDigit(text[i]))
        ++i;
    if (i == 1 || i + 1 >= text.size() || text[i] != u'.')
        return false;
    for (++i; i < text.size(); ++i) {
        if (!IsAsciiLetter(text[i]) && !IsAsciiDigit(text[i]) && kSigns.find(text[i]) == npos)
            return false;
    }
    return true;
}

// A name or IPv4 number (letters, digits, "-" and "."), or an IPv6 or later
// address in brackets.
bool ValidHost(std::u16string_view host) {
    if (!host.empty() && host[0] == u'[') {
        if (host.size() < 2 || host.back() != u']')
            return false;
        const std::u16string_view inner = host.substr(1, host.size() - 2);
        return ValidIPv6(inner) || ValidIPvFuture(inner);
    }
    for (char16_t c : host) {
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '-' && c != '.')
            return false;
    }
    return true;
}

bool ValidPort(std::u16string_view port) {
    for (char16_t c : port) {
        if (!IsAsciiDigit(c))
            return false;
    }
    return true;
}

// User and password: unreserved and sub-delimiter characters, and "%" with two
// hexadecimal digits.
bool ValidUserInfo(std::u16string_view text) {
    static constexpr std::u16string_view kSigns = u"!$&'()*+,-.;=_~";
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (IsAsciiLetter(c) || IsAsciiDigit(c) || kSigns.find(c) != npos)
            continue;
        if (c == '%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2])) {
            i += 2;
            continue;
        }
        return false;
    }
    return true;
}

} // namespace

void TUri::Clear() {
    Scheme.Clear();
    User.Clear();
    Password.Clear();
    Host.Clear();
    Port.Clear();
    Path.clear();
    Query.Clear();
    Fragment.Clear();
}

bool TUri::Parse(std::u16string_view text) {
    Clear();
    std::u16string_view rest = text;
    if (!rest.empty() && IsAsciiLetter(rest[0])) {
        size_t i = 1;
        while (i < rest.size() && IsSchemeChar(rest[i]))
            ++i;
        if (i < rest.size() && rest[i] == ':') {
            Scheme.Set(rest.substr(0, i));
            rest.remove_prefix(i + 1);
        }
    }
    if (size_t hash = rest.find(u'#'); hash != npos) {
        Fragment.Set(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (size_t question = rest.find(u'?'); question != npos) {
        Query.Set(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    if (rest.size() > 2 && rest.starts_with(u"//")) {
        size_t slash = rest.find(u'/', 2);
        std::u16string_view authority = slash == npos ? rest.substr(2) : rest.substr(2, slash - 2);
        rest = slash == npos ? std::u16string_view() : rest.substr(slash);
        if (size_t at = authority.rfind(u'@'); at != npos) {
            std::u16string_view userInfo = authority.substr(0, at);
            authority.remove_prefix(at + 1);
            if (size_t colon = userInfo.find(u':'); colon != npos) {
                User.Set(userInfo.substr(0, colon));
                Password.Set(userInfo.substr(colon + 1));
            } else {
                User.Set(userInfo);
            }
        }
        // A bracketed host holds colons of its own: the port's colon is
        // the one after the closing bracket.
        size_t hostEnd = 0;
        if (!authority.empty() && authority[0] == u'[') {
            const size_t close = authority.find(u']');
            hostEnd = close == npos ? authority.size() : close + 1;
        }
        if (size_t colon = authority.find(u':', hostEnd); colon != npos) {
            Host.Set(authority.substr(0, colon));
            Port.Set(authority.substr(colon + 1));
        } else {
            Host.Set(authority);
        }
    }
    Path.assign(rest);
    // The path cannot hold "#" or "?", nor the query "#": the splitting above
    // already saw to that.
    if (!ValidHost(Host.Value) || !ValidPort(Port.Value) || !ValidUserInfo(User.Value) ||
        !ValidUserInfo(Password.Value)) {
        Clear();
        return false;
    }
    return true;
}

std::u16string TUri::Compose() const {
    std::u16string out;
    ComposeTo(out);
    return out;
}

void TUri::ComposeTo(std::u16string& out) const {
    out.clear();
    // One block for the whole: links are composed several times each.
    out.reserve(Scheme.Value.size() + User.Value.size() + Password.Value.size() +
                Host.Value.size() + Port.Value.size() + Path.size() + Query.Value.size() +
                Fragment.Value.size() + 8);
    if (Scheme.Present) {
        out += Scheme.Value;
        out += u':';
    }
    if (Host.Present) {
        out += u"//";
        if (User.Present) {
            out += User.Value;
            if (Password.Present) {
                out += u':';
                out += Password.Value;
            }
            out += u'@';
        }
        out += Host.Value;
        if (Port.Present) {
            out += u':';
            out += Port.Value;
        }
        if (!Path.empty() && Path[0] != u'/')
            out += u'/';
    }
    out += Path;
    if (Query.Present) {
        out += u'?';
        out += Query.Value;
    }
    if (Fragment.Present) {
        out += u'#';
        out += Fragment.Value;
    }
}

std::u16string RemoveDotSegments(std::u16string_view in) {
    std::u16string out;
    RemoveDotSegments(in, out);
    return out;
}

void RemoveDotSegments(std::u16string_view in, std::u16string& result) {
    // Without a segment that begins with "." (at the start or after a "/")
    // no rule below changes anything but the leading "/".
    if ((in.empty() || in[0] != u'.') && in.find(u"/.") == std::u16string_view::npos) {
        result.clear();
        if (!in.empty() && in[0] != u'/')
            result.push_back(u'/');
        result.append(in);
        return;
    }
    // Working buffers kept between calls: a page's links go through here
    // one after another.
    thread_local std::u16string path;
    thread_local std::u16string out;
    path.clear();
    out.clear();
    // 1. "./" at the start or after "/".
    path.reserve(in.size() + 1);
    for (size_t i = 0; i < in.size();) {
        if ((path.empty() || path.back() == u'/') && in.substr(i, 2) == u"./") {
            i += 2;
            continue;
        }
        path.push_back(in[i++]);
    }
    // 2. A final "." at the start or after "/".
    if (path == u"." || path.ends_with(u"/."))
        path.pop_back();
    // 3. "/../" with the segment before it, leftmost first. The output never
    // holds a removable "/../", so each one is handled where the scan meets
    // it, including one that a removal brings together.
    out.reserve(path.size() + 1);
    for (size_t i = 0; i < path.size();) {
        if (!out.empty() && out.back() == u'/' &&
            std::u16string_view(path).substr(i, 3) == u"../") {
            size_t slash = out.size() - 1;
            size_t segStart = 0;
            if (slash > 0) {
                size_t prev = out.rfind(u'/', slash - 1);
                segStart = prev == npos ? 0 : prev + 1;
            }
            bool stays =
                slash == 0 || std::u16string_view(out).substr(segStart, slash - segStart) == u"..";
            if (stays)
                out += u"../";
            else
                out.resize(segStart);
            i += 3;
            continue;
        }
        out.push_back(path[i++]);
    }
    // 4. A final "/.." with the segment before it, when a "/" precedes that.
    if (out.size() >= 3 && out.ends_with(u"/..")) {
        size_t slash = out.size() - 3;
        if (slash > 0) {
            size_t prev = out.rfind(u'/', slash - 1);
            if (prev != npos)
                out.resize(prev + 1);
        }
    }
    // 5. The path now follows a host.
    if (!out.empty() && out[0] != u'/')
        out.insert(out.begin(), u'/');
    result.assign(out);
    ReleaseIfLarge(path);
    ReleaseIfLarge(out);
}

bool ResolveURI(std::u16string_view base, std::u16string_view link, std::u16string& result) {
    TUri baseUri;
    if (!baseUri.Parse(base)) {
        result.clear();
        return false;
    }
    TUri resolved;
    return ResolveURI(baseUri, link, resolved, result);
}

bool ResolveURI(const TUri& baseUri, std::u16string_view link, TUri& linkUri,
                std::u16string& result) {
    result.clear();
    if (!linkUri.Parse(link))
        return false;
    if (linkUri.Path.empty() && !linkUri.Scheme.Present && !linkUri.Host.Present &&
        !linkUri.Query.Present) {
        const TUriComponent fragment = linkUri.Fragment;
        linkUri = baseUri;
        linkUri.Fragment = fragment;
        linkUri.ComposeTo(result);
        return true;
    }
    if (linkUri.Scheme.Present) {
        result.assign(link);
        return true;
    }
    linkUri.Scheme = baseUri.Scheme;
    if (!linkUri.Host.Present) {
        linkUri.User = baseUri.User;
        linkUri.Password = baseUri.Password;
        linkUri.Host = baseUri.Host;
        linkUri.Port = baseUri.Port;
        // The merged path is built in a buffer kept between links.
        thread_local std::u16string path;
        if (!linkUri.Path.empty() && linkUri.Path[0] == u'/') {
            path.assign(linkUri.Path);
        } else {
            path.clear();
            size_t slash = baseUri.Path.rfind(u'/');
            if (slash != npos)
                path.assign(baseUri.Path, 0, slash + 1);
            path += linkUri.Path;
        }
        RemoveDotSegments(path, linkUri.Path);
        ReleaseIfLarge(path);
    }
    linkUri.ComposeTo(result);
    return true;
}

} // namespace tessaly::html
