// The address a request is sent to, as libcurl's own parse makes it: the
// reference the shortcut of CrackRequestURL must agree with.
#pragma once

#include <curl/curl.h>

#include <optional>
#include <string>

inline std::optional<std::string> LibraryRequestURL(const std::string& url) {
    CURLU* parts = curl_url();
    if (!parts)
        return std::nullopt;
    std::optional<std::string> result;
    if (curl_url_set(parts, CURLUPART_URL, url.c_str(),
                     CURLU_URLENCODE | CURLU_ALLOW_SPACE | CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
        curl_url_set(parts, CURLUPART_USER, nullptr, 0);
        curl_url_set(parts, CURLUPART_PASSWORD, nullptr, 0);
        curl_url_set(parts, CURLUPART_FRAGMENT, nullptr, 0);
        char* text = nullptr;
        if (curl_url_get(parts, CURLUPART_URL, &text, 0) == CURLUE_OK && text)
            result = text;
        curl_free(text);
    }
    curl_url_cleanup(parts);
    return result;
}
