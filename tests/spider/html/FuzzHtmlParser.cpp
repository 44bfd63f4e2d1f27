// Feeds arbitrary bytes to the parser with the links, title and charset
// plug-ins attached as the page fetcher attaches them. The first byte picks the
// decoder the document starts with, so every character set gets exercised.
#include "CharSetTable.h"
#include "HtmlCharSetPlugin.h"
#include "HtmlLinksPlugin.h"
#include "HtmlParser.h"
#include "HtmlTestPage.h"
#include "HtmlTitlePlugin.h"
#include "UnicodeText.h"
#include "Uri.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace tessaly::html;

namespace {

struct TFuzzPage {
    THtmlParser Parser;
    THtmlLinksPlugin Links;
    THtmlTitlePlugin Title;
    THtmlCharSetPlugin CharSet;
    std::u16string Resolved;
    std::string Text;

    TFuzzPage() {
        Links.SetHtmlParser(&Parser);
        Title.SetHtmlParser(&Parser);
        CharSet.SetHtmlParser(&Parser);
        test::SetAllLinkSwitches(Links, true);
        Links.OnLink = [this](THtmlLinksPlugin& sender, std::u16string& link, bool&, bool&) {
            if (ResolveURI(sender.BaseUri, link, Resolved))
                Text = Utf16ToUtf8(Resolved);
            if (!sender.CurrentTag())
                std::abort();
            Text = Utf16ToUtf8(sender.CurrentTag()->Html());
        };
        Title.OnTitle = [this](THtmlTitlePlugin& sender) { Text = Utf16ToUtf8(sender.Title()); };
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzPage page;
    if (size == 0)
        return 0;
    auto table = CharSetTable();
    size_t choice = data[0] % (table.size() + 1);
    page.Parser.SetSource(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    page.Links.BaseUri = u"http://user@www.example.com:8080/a/b/page.html?q#f";
    // The HTML5 form of the META charset is taken on every other input.
    page.CharSet.MetaCharset = (data[0] & 0x80) != 0;
    page.Parser.Reset();
    if (choice < table.size())
        page.Parser.SetReadCharFunc(table[choice].Decoder);
    page.Parser.ParseAll();
    page.Parser.ReleaseSource();
    return 0;
}
