#pragma once

#include "HtmlCharSetPlugin.h"
#include "HtmlLinksPlugin.h"
#include "HtmlParser.h"
#include "HtmlTitlePlugin.h"
#include "UnicodeText.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaly::html::test {

// Turns every link switch of the plug-in on or off.
inline void SetAllLinkSwitches(THtmlLinksPlugin& links, bool on) {
    for (bool* s :
         {&links.BASE_href, &links.Link_A_href, &links.Link_APPLET_code, &links.Link_AREA_href,
          &links.Link_BGSOUND_src, &links.Link_BODY_background, &links.Link_FRAME_src,
          &links.Link_IFRAME_src, &links.Link_IMG_src, &links.Link_INPUT_src, &links.Link_LINK_href,
          &links.Link_OBJECT_data, &links.Link_SCRIPT_src, &links.Link_TABLE_background,
          &links.Link_TD_background, &links.Link_TH_background})
        *s = on;
}

// A parser with the three plug-ins attached as the page fetcher attaches them,
// every link switch on, and the reported links and titles recorded as UTF-8.
struct THtmlTestPage {
    THtmlParser Parser;
    THtmlLinksPlugin Links;
    THtmlTitlePlugin Title;
    THtmlCharSetPlugin CharSet;
    std::vector<std::string> Found;
    std::vector<std::string> Titles;

    THtmlTestPage() {
        Links.SetHtmlParser(&Parser);
        Title.SetHtmlParser(&Parser);
        CharSet.SetHtmlParser(&Parser);
        SetAllLinkSwitches(true);
        Links.OnLink = [this](THtmlLinksPlugin&, std::u16string& link, bool&, bool&) {
            Found.push_back(Utf16ToUtf8(link));
        };
        Title.OnTitle = [this](THtmlTitlePlugin& sender) {
            Titles.push_back(Utf16ToUtf8(sender.Title()));
        };
    }

    void SetAllLinkSwitches(bool on) { test::SetAllLinkSwitches(Links, on); }

    // Parses a copy of html held in a buffer of exactly its size, so that a
    // read past the end shows under the address sanitizer.
    void Parse(std::string_view html) {
        Found.clear();
        Titles.clear();
        std::vector<char> source(html.begin(), html.end());
        Parser.SetSource(std::string_view(source.data(), source.size()));
        Parser.Reset();
        Parser.ParseAll();
        Parser.ReleaseSource();
    }

    std::string TitleText() const { return Utf16ToUtf8(Title.Title()); }
};

} // namespace tessaly::html::test
