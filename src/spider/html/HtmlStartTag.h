#pragma once

#include "HtmlAttributes.h"
#include "HtmlTags.h"

#include <string>
#include <vector>

namespace tessaly::html {

struct THtmlAttribute {
    std::u16string Name; // as written
    THtmlAttrId Id = THtmlAttrId::Unknown;
    std::u16string Value; // references decoded; empty when written without "="
};

// A start tag as the parser hands it to the plug-ins that asked for it.
class THtmlStartTag {
  public:
    std::u16string Name; // as written
    THtmlTagId Id = THtmlTagId::Unknown;
    bool EmptyElement = false; // written with "/>"
    std::vector<THtmlAttribute> Attributes;

    void Clear();
    // The first attribute of that identity, or nullptr.
    THtmlAttribute* Find(THtmlAttrId id);
    const THtmlAttribute* Find(THtmlAttrId id) const;
    // The tag written out again as HTML from its name and attributes.
    std::u16string Html() const;
};

} // namespace tessaly::html
