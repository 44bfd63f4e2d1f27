// Answer headers from arbitrary bytes, line by line as libcurl hands them
// over: never a crash, a status of three digits or none, values within the
// limit, and a length that is never negative.

#include "HttpHeaderBlock.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    THttpHeaderBlock block;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end == std::string_view::npos ? end : end + 1);
        rest.remove_prefix(line.size());
        if (!block.Add(line))
            block.Clear();
    }
    if (block.Status() < 0 || block.Status() > 999)
        std::abort();
    for (const char* name : {"Content-Type", "Location", "Last-Modified", "content-length", ""})
        if (block.Value(name).size() > THttpHeaderBlock::ValueLimit)
            std::abort();
    if (block.ContentLength() < 0)
        std::abort();
    return 0;
}
