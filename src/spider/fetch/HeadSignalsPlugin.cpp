#include "HeadSignalsPlugin.h"

#include "HtmlLinksPlugin.h"
#include "UnicodeText.h"

namespace tessaly {

using html::THtmlAttrId;
using html::THtmlTagId;

namespace {

// The elements a head may hold; any other start tag begins the body.
bool BelongsToHead(THtmlTagId id) {
    switch (id) {
    case THtmlTagId::HTML:
    case THtmlTagId::HEAD:
    case THtmlTagId::TITLE:
    case THtmlTagId::BASE:
    case THtmlTagId::BASEFONT:
    case THtmlTagId::BGSOUND:
    case THtmlTagId::LINK:
    case THtmlTagId::META:
    case THtmlTagId::STYLE:
    case THtmlTagId::SCRIPT:
    case THtmlTagId::NOSCRIPT:
    case THtmlTagId::NOFRAMES:
        return true;
    default:
        return false;
    }
}

} // namespace

void THeadSignalsPlugin::DocumentStart() {
    m_InHead = true;
    m_Robots = {};
    m_Canonicals.clear();
}

void THeadSignalsPlugin::StartTag(html::THtmlStartTag& tag) {
    if (!m_InHead)
        return;
    if (!BelongsToHead(tag.Id)) {
        m_InHead = false;
        return;
    }
    if (tag.Id == THtmlTagId::META) {
        const html::THtmlAttribute* name = tag.Find(THtmlAttrId::name);
        const html::THtmlAttribute* content = tag.Find(THtmlAttrId::content);
        if (name && content && html::SameTextAscii(name->Value, "robots"))
            m_Robots |= ParseRobotsContent(html::Utf16ToUtf8(content->Value));
        return;
    }
    if (tag.Id == THtmlTagId::LINK) {
        const html::THtmlAttribute* rel = tag.Find(THtmlAttrId::rel);
        const html::THtmlAttribute* href = tag.Find(THtmlAttrId::href);
        if (rel && href && RelHasWord(rel->Value, u"canonical"))
            m_Canonicals.push_back({href->Value, Links ? Links->BaseUri : std::u16string()});
    }
}

} // namespace tessaly
