// The readers of a page's signals to crawlers on arbitrary bytes: the head
// reader run twice over one page gives the same signals (nothing of the
// last page stays), and a page whose body has begun before the input gives
// none at all; every header line value is a trimmed piece of one line of
// the input, and the first of them is the one HeaderLineValue gives.
#include "FetchRoutines.h"
#include "HeadSignalsPlugin.h"
#include "HtmlLinksPlugin.h"
#include "HtmlParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace tessaly;

namespace {

struct TReader {
    html::THtmlParser parser;
    html::THtmlLinksPlugin links;
    THeadSignalsPlugin head;
    TReader() {
        links.SetHtmlParser(&parser);
        head.SetHtmlParser(&parser);
        head.Links = &links;
        links.BASE_href = true;
    }
    ~TReader() {
        links.SetHtmlParser(nullptr);
        head.SetHtmlParser(nullptr);
    }
    void Read(std::string_view page) {
        parser.SetSource(page);
        links.BaseUri = u"http://example.com/dir/page.html";
        parser.Reset();
        parser.ParseAll();
        parser.ReleaseSource();
    }
};

bool SameSignals(const THeadSignalsPlugin& a, const TRobotsDirectives& robots,
                 const std::vector<THeadSignalsPlugin::TCanonical>& canonicals) {
    if (!(a.Robots() == robots) || a.Canonicals().size() != canonicals.size())
        return false;
    for (size_t i = 0; i < canonicals.size(); ++i)
        if (a.Canonicals()[i].Href != canonicals[i].Href ||
            a.Canonicals()[i].Base != canonicals[i].Base)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static TReader reader;
    try {
        reader.Read(input);
        const TRobotsDirectives robots = reader.head.Robots();
        const std::vector<THeadSignalsPlugin::TCanonical> canonicals = reader.head.Canonicals();
        reader.Read("<body>" + std::string(input));
        if (!SameSignals(reader.head, {}, {}))
            std::abort();
        reader.Read(input);
        if (!SameSignals(reader.head, robots, canonicals))
            std::abort();
    } catch (const std::exception&) {
        // The parser reports a page it cannot read; that is not a fault here.
    }

    const std::vector<std::string> values = HeaderLineValues(input, "X-Robots-Tag");
    if (HeaderLineValue(input, "X-Robots-Tag") != (values.empty() ? "" : values.front()))
        std::abort();
    for (const std::string& value : values) {
        if (value.find('\n') != std::string::npos || input.find(value) == std::string_view::npos)
            std::abort();
        if (!value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                               value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
            std::abort();
    }
    return 0;
}
