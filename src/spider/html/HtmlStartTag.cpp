#include "HtmlStartTag.h"

namespace tessaly::html {

void THtmlStartTag::Clear() {
    Name.clear();
    Id = THtmlTagId::Unknown;
    EmptyElement = false;
    Attributes.clear();
}

THtmlAttribute* THtmlStartTag::Find(THtmlAttrId id) {
    for (THtmlAttribute& a : Attributes) {
        if (a.Id == id)
            return &a;
    }
    return nullptr;
}

const THtmlAttribute* THtmlStartTag::Find(THtmlAttrId id) const {
    return const_cast<THtmlStartTag*>(this)->Find(id);
}

std::u16string THtmlStartTag::Html() const {
    std::u16string out = u"<" + Name;
    for (const THtmlAttribute& a : Attributes) {
        out += u' ';
        out += a.Name;
        out += u"=\"";
        for (char16_t c : a.Value) {
            switch (c) {
            case u'"':
                out += u"&quot;";
                break;
            case u'&':
                out += u"&amp;";
                break;
            default:
                out += c;
            }
        }
        out += u'"';
    }
    out += EmptyElement ? u" />" : u">";
    return out;
}

} // namespace tessaly::html
