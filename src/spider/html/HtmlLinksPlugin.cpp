#include "HtmlLinksPlugin.h"

#include "HtmlParserError.h"
#include "UnicodeText.h"

namespace tessaly::html {

THtmlAttrId THtmlLinksPlugin::LinkAttribute(THtmlTagId id) const {
    using T = THtmlTagId;
    using A = THtmlAttrId;
    switch (id) {
    case T::BASE:
        return BASE_href ? A::href : A::Unknown;
    case T::A:
        return Link_A_href ? A::href : A::Unknown;
    case T::APPLET:
        return Link_APPLET_code ? A::code : A::Unknown;
    case T::AREA:
        return Link_AREA_href ? A::href : A::Unknown;
    case T::BGSOUND:
        return Link_BGSOUND_src ? A::src : A::Unknown;
    case T::BODY:
        return Link_BODY_background ? A::background : A::Unknown;
    case T::FRAME:
        return Link_FRAME_src ? A::src : A::Unknown;
    case T::IFRAME:
        return Link_IFRAME_src ? A::src : A::Unknown;
    case T::IMG:
        return Link_IMG_src ? A::src : A::Unknown;
    case T::INPUT:
        return Link_INPUT_src ? A::src : A::Unknown;
    case T::LINK:
        return Link_LINK_href ? A::href : A::Unknown;
    case T::OBJECT:
        return Link_OBJECT_data ? A::data : A::Unknown;
    case T::SCRIPT:
        return Link_SCRIPT_src ? A::src : A::Unknown;
    case T::TABLE:
        return Link_TABLE_background ? A::background : A::Unknown;
    case T::TD:
        return Link_TD_background ? A::background : A::Unknown;
    case T::TH:
        return Link_TH_background ? A::background : A::Unknown;
    default:
        return A::Unknown;
    }
}

bool THtmlLinksPlugin::WantsTag(THtmlTagId id) const {
    return LinkAttribute(id) != THtmlAttrId::Unknown;
}

void THtmlLinksPlugin::SetLinkList(std::vector<std::u16string>* list) {
    linkList_ = list;
    listed_.clear();
    if (linkList_)
        listed_.insert(linkList_->begin(), linkList_->end());
}

void THtmlLinksPlugin::DocumentStart() {
    listed_.clear();
    if (linkList_)
        linkList_->clear();
}

void THtmlLinksPlugin::StartTag(THtmlStartTag& tag) {
    THtmlAttrId attrId = LinkAttribute(tag.Id);
    if (attrId == THtmlAttrId::Unknown) {
        throw EHtmlParserError("Unrequested tag ('" + Utf16ToUtf8(tag.Name) +
                               "') encountered. This should not happen and might indicate a "
                               "bug in THtmlParser.");
    }
    THtmlAttribute* attr = tag.Find(attrId);
    if (!attr)
        return;
    if (tag.Id == THtmlTagId::BASE) {
        BaseUri = attr->Value;
        return;
    }
    // The handler works on the tag's own value, so a change shows at once in
    // the tag it sees through CurrentTag().
    std::u16string& link = attr->Value;
    bool addToVector = true;
    bool show = true; // the parser shows every piece: it has no filters
    if (OnLink) {
        currentTag_ = &tag;
        struct TClear {
            const THtmlStartTag*& tag;
            ~TClear() { tag = nullptr; }
        } clear{currentTag_};
        OnLink(*this, link, addToVector, show);
    }
    if (linkList_ && addToVector && listed_.insert(link).second)
        linkList_->push_back(link);
}

} // namespace tessaly::html
