#pragma once
// The header lines of one HTTP answer as they arrive from libcurl, and the
// reading of their values.
#include "HttpClientTypes.h"

#include <string>
#include <string_view>
#include <vector>

class THttpHeaderBlock {
  public:
    // A header value that does not fit the query buffer of 4096 bytes (with
    // its terminating zero) counts as absent.
    static constexpr size_t ValueLimit = 4095;

    // Takes one line as libcurl hands it over (with its line end). A status
    // line starts a new block; a line that begins with a blank continues the
    // one before it. False for the blank line that ends the block.
    bool Add(std::string_view line);
    void Clear();
    // The status of the block's status line; 0 when it has none.
    int Status() const { return m_Status; }
    const std::vector<std::string>& Lines() const { return m_Lines; }
    // The trimmed value of the first header of that name (without regard to
    // case); empty when absent or too long.
    std::string Value(std::string_view name) const;
    // The announced length: the Content-Length value when it is all digits
    // and fits; 0 otherwise.
    long long ContentLength() const;

  private:
    std::vector<std::string> m_Lines;
    int m_Status = 0;
};

// The request lines every GET carries: the accept types, an empty Expect
// line, the no-cache line when the cache options ask for it, then the
// caller's own lines that are not blank.
std::vector<std::string> RequestHeaderLines(const std::string& acceptTypes,
                                            TCacheOptions cacheOptions,
                                            const std::vector<std::string>& addHeaders);

// The text without blanks, tabs and line ends at either end.
std::string_view TrimHeaderText(std::string_view text);

// The address as it is requested, with the scheme in lower case and any
// user name and password taken out of it (an address without a scheme is
// taken as http). False when it does not parse or is not http or https.
bool CrackRequestURL(const std::string& url, std::string& requestURL, std::string& scheme,
                     std::string& user, std::string& password);

// The address a redirect of the handle's current request leads to: the
// Location value resolved against the address the request went to.
std::string ResolveRedirectURL(void* curlHandle, const std::string& location);
