#pragma once

#include "CharSetTable.h"
#include "HtmlParserPlugin.h"

#include <functional>
#include <string>

namespace tessaly::html {

class THtmlCharSetPlugin;

// Raised before a change of character set. readCharFunc is the decoder of the
// named set (nullptr when the name is unknown, which means Latin-1); the
// handler may replace it, or refuse the change by clearing allowChange.
using THtmlCharSetPluginEvent =
    std::function<void(THtmlCharSetPlugin& sender, const std::u16string& charSet,
                       TReadCharFunc& readCharFunc, bool& allowChange)>;

// Switches the parser's decoder when a META Content-Type tag names a
// character set; the rest of the document is decoded with it.
class THtmlCharSetPlugin : public THtmlParserPlugin {
  public:
    THtmlCharSetPluginEvent OnCharSetChange;
    // Also takes the HTML5 form, a META tag with a charset attribute. Off by
    // default: such a tag then changes nothing.
    bool MetaCharset = false;

    bool WantsTag(THtmlTagId id) const override;
    void StartTag(THtmlStartTag& tag) override;

    // The character-set name of a Content-Type value: the name after
    // "charset" and "=", or empty. found tells whether "charset =" was there.
    static std::u16string CharSetName(std::u16string_view content, bool& found);

  private:
    void ChangeCharSet(const std::u16string& name);
};

} // namespace tessaly::html
