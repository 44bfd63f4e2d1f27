// Any address: the address a request is sent to is the one the library's own
// parse makes, whether the shortcut for plain addresses was taken or not.

#include "HttpHeaderBlock.h"
#include "LibraryUrl.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size > 4096)
        return 0;
    const std::string url(reinterpret_cast<const char*>(data), size);
    if (url.find("://") == std::string::npos || url.find('\0') != std::string::npos)
        return 0;
    std::string request, scheme, user, password;
    const bool ok = CrackRequestURL(url, request, scheme, user, password);
    const std::optional<std::string> expected = LibraryRequestURL(url);
    if (ok && (!expected || request != *expected))
        std::abort();
    return 0;
}
