#include "HtmlParserPlugin.h"

#include "HtmlParser.h"

namespace tessaly::html {

THtmlParserPlugin::~THtmlParserPlugin() {
    SetHtmlParser(nullptr);
}

void THtmlParserPlugin::SetHtmlParser(THtmlParser* parser) {
    if (parser == parser_)
        return;
    if (parser_)
        parser_->Detach(this);
    parser_ = parser;
    if (parser_)
        parser_->Attach(this);
}

} // namespace tessaly::html
