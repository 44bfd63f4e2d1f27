// The fetcher's readers of outside text on arbitrary bytes: the charset
// parameter of a content type, the fetch form of an address (encoding it
// twice changes nothing, and only characters that may stand in an address
// remain), and the UTF-8 decoder, which must read every byte sequence as
// iconv reads it.
#include "CharSetTable.h"
#include "FetchRoutines.h"
#include "IconvReference.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <string_view>

using namespace tessaly;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string charSet = ContentTypeCharSet(input);
    if (charSet.size() > input.size())
        std::abort();

    const std::string once = EncodeURLForFetch(input);
    if (EncodeURLForFetch(once) != once)
        std::abort();
    // "[" and "]" stand only as the brackets of an IPv6 host: within the
    // authority of "scheme://authority/...".
    const size_t scheme = once.find("://");
    const size_t authorityEnd = scheme == std::string::npos
                                    ? 0
                                    : std::min(once.find_first_of("/?#", scheme + 3), once.size());
    for (size_t i = 0; i < once.size(); ++i) {
        const char c = once[i];
        if ((c == '[' || c == ']') && i < authorityEnd)
            continue;
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F ||
            std::strchr("\"<>\\^`{|}[]", c))
            std::abort();
    }

    static iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
    const html::TCharDecoder* utf8 = html::FindCharSet(u"Utf-8");
    for (size_t at = 0; at < size; ++at) {
        char32_t want = 0xFFFD;
        size_t wantUsed = 1;
        if (data[at] < 0x80) {
            want = data[at];
        } else if (!IconvOne(cd, data + at, size - at, want, wantUsed)) {
            want = 0xFFFD;
            wantUsed = 1;
        }
        size_t used = 0;
        if (utf8->DecodeOne(reinterpret_cast<iconv_t>(-1), data + at, size - at, used) != want ||
            used != wantUsed)
            std::abort();
    }
    return 0;
}
