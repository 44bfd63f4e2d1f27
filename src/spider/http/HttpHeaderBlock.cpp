#include "HttpHeaderBlock.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>

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
