#include "HttpHeaderBlock.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace {

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string GetPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* value = nullptr;
    std::string result;
    if (curl_url_get(url, part, &value, flags) == CURLUE_OK && value)
        result = value;
    curl_free(value);
    return result;
}

// True when the library's parse would hand the address back unchanged: a
// lower-case http or https scheme, a host of plain letters, digits, dots and
// dashes (with a port), a path without dot segments, and nothing the library
// would encode, drop or take apart (credentials, fragments, blanks, controls,
// bytes above ASCII, back slashes). Most addresses of a crawl look so, and
// the library's parse costs more than the rest of a request's set-up.
// A host name the library keeps as it stands: labels that are not empty,
// and either some label that is not a number, or the four decimal numbers
// of an IPv4 address as it is written canonically. Numbers in any other
// form ("2", "127.1", "0x7f.0.0.1", "010.0.0.1") the library rewrites as an
// IPv4 address.
bool IsPlainHost(std::string_view host) {
    int labels = 0;
    bool canonical = true;
    bool allNumbers = true;
    for (size_t start = 0; start <= host.size();) {
        size_t end = host.find('.', start);
        if (end == std::string_view::npos)
            end = host.size();
        const std::string_view label = host.substr(start, end - start);
        if (label.empty())
            return false;
        ++labels;
        const bool decimal = label.find_first_not_of("0123456789") == std::string_view::npos;
        const bool hex =
            label.size() >= 2 && label[0] == '0' && (label[1] == 'x' || label[1] == 'X') &&
            label.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string_view::npos;
        if (!decimal && !hex)
            allNumbers = false;
        if (!decimal || label.size() > 3 || (label.size() > 1 && label[0] == '0') ||
            std::stoi(std::string(label)) > 255)
            canonical = false;
        start = end + 1;
    }
    return !allNumbers || (canonical && labels == 4);
}

bool IsPlainRequestURL(std::string_view url, std::string_view& scheme) {
    if (url.starts_with("http://"))
        scheme = "http";
    else if (url.starts_with("https://"))
        scheme = "https";
    else
        return false;
    size_t i = scheme.size() + 3;
    const size_t hostStart = i;
    while (i < url.size() && url[i] != '/' && url[i] != ':') {
        const char c = url[i];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-'))
            return false;
        ++i;
    }
    if (i == hostStart || !IsPlainHost(url.substr(hostStart, i - hostStart)))
        return false;
    if (i < url.size() && url[i] == ':') {
        const size_t portStart = ++i;
        while (i < url.size() && url[i] >= '0' && url[i] <= '9')
            ++i;
        // A port of 1 to 65535, without a leading zero.
        if (i == portStart || i - portStart > 5 || url[portStart] == '0' ||
            std::stol(std::string(url.substr(portStart, i - portStart))) > 65535)
            return false;
    }
    if (i >= url.size() || url[i] != '/')
        return false;
    bool inQuery = false;
    for (; i < url.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        if (c <= 0x20 || c >= 0x7F || c == '#' || c == '\\' || c == '"' || c == '<' || c == '>' ||
            c == '^' || c == '`' || c == '{' || c == '|' || c == '}')
            return false;
        if (c == '?' && !inQuery) {
            if (i + 1 == url.size())
                return false; // the library drops an empty query
            inQuery = true;
        } else if (c == '%' && (i + 2 >= url.size() || !std::isxdigit(url[i + 1]) ||
                                !std::isxdigit(url[i + 2])))
            return false;
        else if (!inQuery && c == '.' && url[i - 1] == '/' &&
                 (i + 1 == url.size() || url[i + 1] == '/' || url[i + 1] == '.' ||
                  url[i + 1] == '?'))
            return false;
    }
    return true;
}

} // namespace

std::string_view TrimHeaderText(std::string_view s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return s.substr(b, e - b);
}

bool THttpHeaderBlock::Add(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.empty())
        return false;
    if (line.substr(0, 5) == "HTTP/") {
        m_Lines.clear();
        m_Status = 0;
        const size_t blank = line.find(' ');
        if (blank != std::string_view::npos) {
            const std::string_view code = line.substr(blank + 1, 3);
            if (code.size() == 3 && std::all_of(code.begin(), code.end(), ::isdigit))
                m_Status = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
        }
        m_Lines.emplace_back(line);
    } else if ((line[0] == ' ' || line[0] == '\t') && !m_Lines.empty()) {
        // A folded continuation of the previous line.
        m_Lines.back().push_back(' ');
        m_Lines.back().append(TrimHeaderText(line));
    } else {
        m_Lines.emplace_back(line);
    }
    return true;
}

void THttpHeaderBlock::Clear() {
    m_Lines.clear();
    m_Status = 0;
}

std::string THttpHeaderBlock::Value(std::string_view name) const {
    // Compared in place, only the value found is copied.
    for (size_t i = 1; i < m_Lines.size(); ++i) {
        const std::string_view line = m_Lines[i];
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos ||
            !SameText(TrimHeaderText(line.substr(0, colon)), name))
            continue;
        const std::string_view value = TrimHeaderText(line.substr(colon + 1));
        return value.size() > ValueLimit ? std::string() : std::string(value);
    }
    return {};
}

long long THttpHeaderBlock::ContentLength() const {
    const std::string length = Value("Content-Length");
    if (length.empty() || length.size() >= 19 ||
        !std::all_of(length.begin(), length.end(), ::isdigit))
        return 0;
    return std::stoll(length);
}

bool CrackRequestURL(const std::string& url, std::string& requestURL, std::string& scheme,
                     std::string& user, std::string& password) {
    std::string_view plainScheme;
    if (IsPlainRequestURL(url, plainScheme)) {
        requestURL = url;
        scheme = plainScheme;
        user.clear();
        password.clear();
        return true;
    }
    std::string address = url;
    if (address.find("://") == std::string::npos)
        address = "http://" + address;
    CURLU* parts = curl_url();
    if (!parts)
        return false;
    bool ok =
        curl_url_set(parts, CURLUPART_URL, address.c_str(),
                     CURLU_URLENCODE | CURLU_ALLOW_SPACE | CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
    if (ok) {
        scheme = GetPart(parts, CURLUPART_SCHEME);
        std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        user = GetPart(parts, CURLUPART_USER, CURLU_URLDECODE);
        password = GetPart(parts, CURLUPART_PASSWORD, CURLU_URLDECODE);
        // The credentials go to the library as options, not in the address.
        curl_url_set(parts, CURLUPART_USER, nullptr, 0);
        curl_url_set(parts, CURLUPART_PASSWORD, nullptr, 0);
        curl_url_set(parts, CURLUPART_FRAGMENT, nullptr, 0);
        requestURL = GetPart(parts, CURLUPART_URL);
        ok = (scheme == "http" || scheme == "https") && !requestURL.empty();
    }
    curl_url_cleanup(parts);
    return ok;
}

std::string ResolveRedirectURL(void* curlHandle, const std::string& location) {
    char* current = nullptr;
    curl_easy_getinfo(static_cast<CURL*>(curlHandle), CURLINFO_EFFECTIVE_URL, &current);
    CURLU* url = curl_url();
    std::string result = location;
    if (url) {
        if (current)
            curl_url_set(url, CURLUPART_URL, current, 0);
        if (curl_url_set(url, CURLUPART_URL, location.c_str(),
                         CURLU_URLENCODE | CURLU_ALLOW_SPACE) == CURLUE_OK)
            result = GetPart(url, CURLUPART_URL);
        curl_url_cleanup(url);
    }
    return result;
}

std::vector<std::string> RequestHeaderLines(const std::string& acceptTypes,
                                            TCacheOptions cacheOptions,
                                            const std::vector<std::string>& addHeaders) {
    std::vector<std::string> lines;
    lines.push_back(acceptTypes.empty() ? "Accept:" : "Accept: " + acceptTypes);
    lines.emplace_back("Expect:");
    if (InSet(cacheOptions, coPragmaNoCache))
        lines.emplace_back("Pragma: no-cache");
    for (const std::string& line : addHeaders)
        if (!TrimHeaderText(line).empty())
            lines.push_back(line);
    return lines;
}
