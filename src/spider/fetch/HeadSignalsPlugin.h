#pragma once
// Reads what the head of a page says to crawlers: the words of its
// <meta name="robots"> elements and the targets of its
// <link rel="canonical"> elements. Only the head counts, as search engines
// read these signals there: it ends at the first start tag of an element
// that belongs to the body, and nothing after it is looked at (nor are its
// attributes read).
#include "HtmlParserPlugin.h"
#include "PageSignals.h"

#include <string>
#include <vector>

namespace tessaly::html {
class THtmlLinksPlugin;
}

namespace tessaly {

class THeadSignalsPlugin : public html::THtmlParserPlugin {
  public:
    // A canonical target as written, with the base address it resolves
    // against: the base the page's links resolve against at that point of
    // the page (its address, or what a <base> element before it set).
    struct TCanonical {
        std::u16string Href;
        std::u16string Base;
    };

    // The plug-in that keeps the page's base address; none: targets get an
    // empty base.
    const html::THtmlLinksPlugin* Links = nullptr;

    const TRobotsDirectives& Robots() const { return m_Robots; }
    const std::vector<TCanonical>& Canonicals() const { return m_Canonicals; }

    bool WantsTag(html::THtmlTagId) const override { return m_InHead; }
    void DocumentStart() override;
    void StartTag(html::THtmlStartTag& tag) override;

  private:
    bool m_InHead = true;
    TRobotsDirectives m_Robots;
    std::vector<TCanonical> m_Canonicals;
};

} // namespace tessaly
