#include "HtmlCharSetPlugin.h"

#include "HtmlParser.h"
#include "HtmlParserError.h"
#include "UnicodeText.h"

namespace tessaly::html {

bool THtmlCharSetPlugin::WantsTag(THtmlTagId id) const {
    return id == THtmlTagId::META;
}

std::u16string THtmlCharSetPlugin::CharSetName(std::u16string_view content, bool& found) {
    found = false;
    size_t i = FindTextAscii(content, "charset");
    if (i == std::u16string_view::npos)
        return {};
    i += 7;
    while (i < content.size() && IsBlank(content[i]))
        ++i;
    if (i >= content.size() || content[i] != u'=')
        return {};
    found = true;
    ++i;
    while (i < content.size() && IsBlank(content[i]))
        ++i;
    size_t start = i;
    while (i < content.size() && IsNameChar(content[i]))
        ++i;
    return std::u16string(content.substr(start, i - start));
}

void THtmlCharSetPlugin::StartTag(THtmlStartTag& tag) {
    if (!WantsTag(tag.Id)) {
        throw EHtmlParserError("Unrequested tag ('" + Utf16ToUtf8(tag.Name) +
                               "') encountered. This should not happen and might indicate a "
                               "bug in THtmlParser.");
    }
    const THtmlAttribute* httpEquiv = tag.Find(THtmlAttrId::http_equiv);
    const THtmlAttribute* content = tag.Find(THtmlAttrId::content);
    if (httpEquiv && SameTextAscii(httpEquiv->Value, "Content-Type") && content &&
        !content->Value.empty()) {
        bool found = false;
        std::u16string name = CharSetName(content->Value, found);
        if (found)
            ChangeCharSet(name);
        return;
    }
    if (!MetaCharset)
        return;
    const THtmlAttribute* charset = tag.Find(THtmlAttrId::charset);
    if (!charset)
        return;
    // The value's leading blanks are gone already; the name runs over the
    // characters a set's name is made of.
    const std::u16string& value = charset->Value;
    size_t end = 0;
    while (end < value.size() && IsNameChar(value[end]))
        ++end;
    ChangeCharSet(value.substr(0, end));
}

void THtmlCharSetPlugin::ChangeCharSet(const std::u16string& name) {
    TReadCharFunc decoder = FindCharSet(name);
    bool allowChange = true;
    if (OnCharSetChange)
        OnCharSetChange(*this, name, decoder, allowChange);
    if (allowChange && HtmlParser())
        HtmlParser()->SetReadCharFunc(decoder);
}

} // namespace tessaly::html
