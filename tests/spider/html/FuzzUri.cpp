// Parses, composes and resolves arbitrary addresses. The input is a base and a
// link separated by a newline. Checks that a parsed address composes back to
// its text, that the dot-segment removal agrees with a plain step-by-step
// rendering of its rules, and that resolving against a base parsed once gives
// the same address, whose components, when it has a host, are those its text
// parses into.
#include "UnicodeText.h"
#include "Uri.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tessaly::html;

namespace {

// The rules applied literally, each search restarting from the left.
std::u16string LiteralDotRemoval(std::u16string p) {
    for (bool again = true; again;) {
        again = false;
        for (size_t i = 0; i + 2 <= p.size(); ++i) {
            if (p.compare(i, 2, u"./") == 0 && (i == 0 || p[i - 1] == u'/')) {
                p.erase(i, 2);
                again = true;
                break;
            }
        }
    }
    if (p == u"." || p.ends_with(u"/."))
        p.pop_back();
    for (bool again = true; again;) {
        again = false;
        for (size_t i = 1; i + 4 <= p.size(); ++i) {
            if (p.compare(i, 4, u"/../") != 0)
                continue;
            size_t prev = p.rfind(u'/', i - 1);
            size_t segStart = prev == std::u16string::npos ? 0 : prev + 1;
            if (p.compare(segStart, i - segStart, u"..") == 0 && i - segStart == 2)
                continue;
            p.erase(segStart, i + 4 - segStart);
            again = true;
            break;
        }
    }
    if (p.size() >= 3 && p.ends_with(u"/..") && p.size() > 3) {
        size_t prev = p.rfind(u'/', p.size() - 4);
        if (prev != std::u16string::npos)
            p.resize(prev + 1);
    }
    if (!p.empty() && p[0] != u'/')
        p.insert(p.begin(), u'/');
    return p;
}

void CheckRoundTrip(const std::u16string& text) {
    TUri uri;
    if (uri.Parse(text)) {
        if (uri.Compose() != text)
            std::abort();
    } else if (!uri.Compose().empty()) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\n');
    std::u16string base = Utf8ToUtf16(input.substr(0, split));
    std::u16string link =
        split == std::string_view::npos ? std::u16string() : Utf8ToUtf16(input.substr(split + 1));
    CheckRoundTrip(base);
    CheckRoundTrip(link);
    std::u16string result;
    const bool resolved = ResolveURI(base, link, result);
    if (!resolved && !result.empty())
        std::abort();
    TUri baseUri;
    if (baseUri.Parse(base)) {
        TUri parts;
        std::u16string again;
        if (ResolveURI(baseUri, link, parts, again) != resolved || again != result)
            std::abort();
        TUri reparsed;
        if (resolved && parts.Host.Present &&
            (!reparsed.Parse(result) || reparsed.Compose() != parts.Compose() ||
             reparsed.Path != parts.Path || reparsed.Host.Value != parts.Host.Value ||
             reparsed.Query.Present != parts.Query.Present ||
             reparsed.Query.Value != parts.Query.Value ||
             reparsed.Scheme.Value != parts.Scheme.Value))
            std::abort();
    }
    if (link.size() <= 512 && RemoveDotSegments(link) != LiteralDotRemoval(link))
        std::abort();
    return 0;
}
