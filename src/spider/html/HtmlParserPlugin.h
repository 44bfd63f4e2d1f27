#pragma once

#include "HtmlStartTag.h"
#include "HtmlTags.h"

#include <string>

namespace tessaly::html {

class THtmlParser;

// The content pieces that follow particular start tags.
enum class THtmlContentKind { Script, Style, Title };

// Base of the parser plug-ins. A plug-in says which start tags and content
// pieces it wants; the parser reads the attributes of a tag, or collects the
// text of a content piece, only when an enabled plug-in wants it.
class THtmlParserPlugin {
  public:
    THtmlParserPlugin() = default;
    virtual ~THtmlParserPlugin();
    THtmlParserPlugin(const THtmlParserPlugin&) = delete;
    THtmlParserPlugin& operator=(const THtmlParserPlugin&) = delete;

    bool Enabled = true;

    THtmlParser* HtmlParser() const { return parser_; }
    // Attaches the plug-in to a parser (detaching it from any other); nullptr detaches.
    void SetHtmlParser(THtmlParser* parser);

    virtual bool WantsTag(THtmlTagId) const { return false; }
    virtual bool WantsContent(THtmlContentKind) const { return false; }

    // Notifications from the parser.
    virtual void DocumentStart() {}
    virtual void StartTag(THtmlStartTag&) {}
    virtual void Content(THtmlContentKind, const std::u16string&) {}

  private:
    friend class THtmlParser;
    THtmlParser* parser_ = nullptr;
};

} // namespace tessaly::html
