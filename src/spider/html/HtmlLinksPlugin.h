#pragma once

#include "HtmlParserPlugin.h"

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tessaly::html {

class THtmlLinksPlugin;

// Raised for each link found. The handler may change the link (the new text
// is written back into the tag), or clear AddToVector to keep the link out of
// the plug-in's own list.
using THtmlLinksPluginEvent = std::function<void(THtmlLinksPlugin& sender, std::u16string& link,
                                                 bool& addToVector, bool& show)>;

// Reports the links a page carries: for each switched-on tag, the value of the
// attribute that holds its link. A BASE tag's href sets BaseUri instead.
class THtmlLinksPlugin : public THtmlParserPlugin {
  public:
    std::u16string BaseUri;

    bool BASE_href = false;
    bool Link_A_href = false;
    bool Link_APPLET_code = false;
    bool Link_AREA_href = false;
    bool Link_BGSOUND_src = false;
    bool Link_BODY_background = false;
    bool Link_FRAME_src = false;
    bool Link_IFRAME_src = false;
    bool Link_IMG_src = false;
    bool Link_INPUT_src = false;
    bool Link_LINK_href = false;
    bool Link_OBJECT_data = false;
    bool Link_SCRIPT_src = false;
    bool Link_TABLE_background = false;
    bool Link_TD_background = false;
    bool Link_TH_background = false;

    THtmlLinksPluginEvent OnLink;

    // An optional list of distinct links, kept by the plug-in and emptied at
    // the start of every document; nullptr (the default) keeps no list.
    void SetLinkList(std::vector<std::u16string>* list);
    std::vector<std::u16string>* LinkList() const { return linkList_; }

    // The tag being reported, while OnLink runs; nullptr otherwise.
    const THtmlStartTag* CurrentTag() const { return currentTag_; }

    bool WantsTag(THtmlTagId id) const override;
    void DocumentStart() override;
    void StartTag(THtmlStartTag& tag) override;

  private:
    // The attribute that holds the link of a switched-on tag, or Unknown.
    THtmlAttrId LinkAttribute(THtmlTagId id) const;

    std::vector<std::u16string>* linkList_ = nullptr;
    std::unordered_set<std::u16string> listed_;
    const THtmlStartTag* currentTag_ = nullptr;
};

} // namespace tessaly::html
