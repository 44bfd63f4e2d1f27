#include "HtmlTitlePlugin.h"

namespace tessaly::html {

bool THtmlTitlePlugin::WantsContent(THtmlContentKind kind) const {
    return waiting_ && kind == THtmlContentKind::Title;
}

void THtmlTitlePlugin::DocumentStart() {
    title_.clear();
    waiting_ = true;
}

void THtmlTitlePlugin::Content(THtmlContentKind kind, const std::u16string& text) {
    if (!waiting_ || kind != THtmlContentKind::Title)
        return;
    title_ = text;
    waiting_ = false;
    if (OnTitle)
        OnTitle(*this);
}

} // namespace tessaly::html
