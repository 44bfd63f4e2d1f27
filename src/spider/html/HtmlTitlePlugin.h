#pragma once

#include "HtmlParserPlugin.h"

#include <functional>
#include <string>

namespace tessaly::html {

class THtmlTitlePlugin;

using THtmlTitlePluginEvent = std::function<void(THtmlTitlePlugin& sender)>;

// Keeps the text of the first title element of a document, blanks folded.
class THtmlTitlePlugin : public THtmlParserPlugin {
  public:
    THtmlTitlePluginEvent OnTitle;

    const std::u16string& Title() const { return title_; }

    bool WantsContent(THtmlContentKind kind) const override;
    void DocumentStart() override;
    void Content(THtmlContentKind kind, const std::u16string& text) override;

  private:
    std::u16string title_;
    bool waiting_ = true; // no title seen yet in this document
};

} // namespace tessaly::html
