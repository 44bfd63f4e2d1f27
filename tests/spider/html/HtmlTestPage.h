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

    void SetAllLinkSwitches(bool on) {
        for (bool* s :
             {&Links.BASE_href, &Links.Link_A_href, &Links.Link_APPLET_code, &Links.Link_AREA_href,
              &Links.Link_BGSOUND_src, &Links.Link_BODY_background, &Links.Link_FRAME_src,
              &Links.Link_IFRAME_src, &Links.Link_IMG_src, &Links.Link_INPUT_src,
              &Links.Link_LINK_href, &Links.Link_OBJECT_data, &Links.Link_SCRIPT_src,
              &Links.Link_TABLE_background, &Links.Link_TD_background, &Links.Link_TH_background})
            *s = on;
    }

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
