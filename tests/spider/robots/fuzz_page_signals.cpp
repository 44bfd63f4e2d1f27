// Any header or attribute text: the readers of what a page says to crawlers
// never crash, and every canonical target they return comes from the text.

#include "PageSignals.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)tessaly::ParseRobotsContent(text);
    (void)tessaly::ParseXRobotsTag(text, "Tessaly");
    for (const std::string& target : tessaly::CanonicalLinks(text))
        if (target.size() > text.size())
            std::abort();
    std::u16string wide;
    for (char c : text)
        wide.push_back(static_cast<unsigned char>(c));
    (void)tessaly::RelHasWord(wide, u"nofollow");
    return 0;
}
