#include "HtmlParser.h"

#include "HtmlEntities.h"
#include "UnicodeText.h"

#include <algorithm>

namespace tessaly::html {
namespace {
constexpr char32_t kEnd = TSourceReader::kEnd;
// Longer names than the longest known tag, attribute or reference name are
// read in full but keep only this many characters; they have no identity.
constexpr size_t kNameCapacity = 24;
} // namespace

THtmlParser::~THtmlParser() {
    while (!plugins_.empty())
        plugins_.back()->SetHtmlParser(nullptr);
}

void THtmlParser::Attach(THtmlParserPlugin* plugin) {
    if (std::find(plugins_.begin(), plugins_.end(), plugin) == plugins_.end())
        plugins_.push_back(plugin);
}

void THtmlParser::Detach(THtmlParserPlugin* plugin) {
    plugins_.erase(std::remove(plugins_.begin(), plugins_.end(), plugin), plugins_.end());
}

void THtmlParser::SetSource(std::string_view bytes) {
    reader_.SetSource(bytes);
}

void THtmlParser::ReleaseSource() {
    reader_.Release();
}

void THtmlParser::Reset() {
    reader_.Seek(0);
    reader_.SetDecoder(nullptr);
    // By index: a plug-in may detach itself or another one while notified.
    for (size_t i = 0; i < plugins_.size(); ++i)
        plugins_[i]->DocumentStart();
}

bool THtmlParser::WantsTag(THtmlTagId id) const {
    for (const THtmlParserPlugin* p : plugins_) {
        if (p->Enabled && p->WantsTag(id))
            return true;
    }
    return false;
}

bool THtmlParser::WantsContent(THtmlContentKind kind) const {
    for (const THtmlParserPlugin* p : plugins_) {
        if (p->Enabled && p->WantsContent(kind))
            return true;
    }
    return false;
}

void THtmlParser::ParseAll() {
    while (!reader_.AtEnd()) {
        if (reader_.Peek() == '<')
            ParseMarkup();
        else
            reader_.SkipTo('<'); // text: nobody asks for it
    }
}

void THtmlParser::ParseMarkup() {
    size_t start = reader_.Pos();
    reader_.Advance(); // "<"
    char32_t c = reader_.Peek();
    if (c == '!') {
        reader_.Advance();
        if (reader_.Match("--")) {
            SkipToRunAndGreater('-');
            return;
        }
        if (reader_.Match("DOCTYPE", true)) {
            SkipPast('>');
            return;
        }
        if (reader_.Match("[CDATA[", true)) {
            SkipToRunAndGreater(']');
            return;
        }
    } else if (c == '?') {
        reader_.Advance();
        if (reader_.Match("xml", true))
            SkipXmlDeclaration();
        else
            SkipPast('>');
        return;
    } else if (c == '/') {
        reader_.Advance();
        if (IsAsciiLetter(reader_.Peek())) {
            char name[kNameCapacity];
            ReadName(name, sizeof name);
            c = reader_.Peek();
            if (c == kEnd || c == '>' || IsBlank(c)) {
                SkipPast('>'); // end tag
                return;
            }
        }
    } else if (IsAsciiLetter(c)) {
        ParseStartTag(start);
        return;
    }
    // Anything else: the "<" is text.
    reader_.Seek(start);
    reader_.Advance();
}

size_t THtmlParser::ReadName(char* buffer, size_t capacity) {
    size_t length = 0;
    for (char32_t c = reader_.Peek(); IsNameChar(c); c = reader_.Peek()) {
        if (length < capacity)
            buffer[length] = static_cast<char>(c);
        ++length;
        reader_.Advance();
    }
    return length;
}

void THtmlParser::ParseStartTag(size_t start) {
    char name[kNameCapacity];
    size_t length = ReadName(name, sizeof name);
    char32_t c = reader_.Peek();
    bool isTag = c == kEnd || c == '>' || IsBlank(c);
    if (!isTag && c == '/') {
        size_t slash = reader_.Pos();
        reader_.Advance();
        isTag = reader_.Peek() == '>';
        reader_.Seek(slash);
    }
    if (!isTag) {
        reader_.Seek(start);
        reader_.Advance();
        return;
    }
    THtmlTagId id =
        length <= sizeof name ? FindTagId(std::string_view(name, length)) : THtmlTagId::Unknown;
    if (id != THtmlTagId::Unknown && WantsTag(id)) {
        // The attributes of the previous tag keep their room for the next.
        for (THtmlAttribute& a : tag_.Attributes)
            spareAttributes_.push_back(std::move(a));
        tag_.Clear();
        tag_.Name = AsciiToUtf16(std::string_view(name, length));
        tag_.Id = id;
        ReadAttributes(&tag_);
        for (size_t i = 0; i < plugins_.size(); ++i) {
            THtmlParserPlugin* p = plugins_[i];
            if (p->Enabled && p->WantsTag(id))
                p->StartTag(tag_);
        }
    } else {
        ReadAttributes(nullptr);
    }
    switch (id) {
    case THtmlTagId::SCRIPT:
        ParseCode("script", true);
        break;
    case THtmlTagId::STYLE:
        ParseCode("style", false);
        break;
    case THtmlTagId::TITLE:
        ParseTitle();
        break;
    default:
        break;
    }
}

void THtmlParser::SkipBlanks() {
    while (IsBlank(reader_.Peek()))
        reader_.Advance();
}

void THtmlParser::ReadAttributes(THtmlStartTag* tag) {
    for (;;) {
        char32_t c = reader_.Peek();
        if (c == kEnd)
            return;
        if (c == '>') {
            reader_.Advance();
            return;
        }
        if (c == '/') {
            reader_.Advance();
            if (reader_.Peek() == '>') {
                reader_.Advance();
                if (tag)
                    tag->EmptyElement = true;
                return;
            }
            continue;
        }
        if (!IsAsciiLetter(c)) {
            reader_.Advance(); // blanks and stray characters between attributes
            continue;
        }
        char name[kNameCapacity];
        size_t length = ReadName(name, sizeof name);
        THtmlAttrId id = THtmlAttrId::Unknown;
        if (tag && length <= sizeof name)
            id = FindAttrId(std::string_view(name, length));
        bool keep = id != THtmlAttrId::Unknown;
        value_.clear();
        SkipBlanks();
        if (reader_.Peek() == '=') {
            reader_.Advance();
            SkipBlanks();
            ReadValue(keep ? &value_ : nullptr);
        }
        if (keep) {
            THtmlAttribute attribute;
            if (!spareAttributes_.empty()) {
                attribute = std::move(spareAttributes_.back());
                spareAttributes_.pop_back();
            }
            attribute.Name.clear();
            for (size_t i = 0; i < length; ++i)
                attribute.Name.push_back(static_cast<unsigned char>(name[i]));
            attribute.Id = id;
            attribute.Value.assign(value_);
            tag->Attributes.push_back(std::move(attribute));
        }
    }
}

void THtmlParser::ReadValue(std::u16string* value) {
    char32_t c = reader_.Peek();
    if (c == '"' || c == '\'') {
        char32_t quote = c;
        reader_.Advance();
        if (!value) {
            SkipPast(static_cast<char>(quote));
            return;
        }
        SkipBlanks();
        // Blanks written at the end are dropped; those from references stay.
        size_t keep = 0;
        for (c = reader_.Peek(); c != kEnd && c != quote; c = reader_.Peek()) {
            if (c == '&') {
                ReadReference(*value);
                keep = value->size();
                continue;
            }
            AppendCodePoint(*value, c);
            if (!IsBlank(c))
                keep = value->size();
            reader_.Advance();
        }
        reader_.Advance();
        value->resize(keep);
        return;
    }
    for (; c != kEnd && c != '>' && !IsBlank(c); c = reader_.Peek()) {
        if (value && c == '&') {
            ReadReference(*value);
            continue;
        }
        if (value)
            AppendCodePoint(*value, c);
        reader_.Advance();
    }
}

void THtmlParser::ReadReference(std::u16string& out) {
    size_t start = reader_.Pos();
    reader_.Advance(); // "&"
    char32_t c = reader_.Peek();
    if (c == '#') {
        reader_.Advance();
        bool hex = false;
        if (reader_.Peek() == 'x' || reader_.Peek() == 'X') {
            hex = true;
            reader_.Advance();
        }
        char32_t value = 0;
        size_t digits = 0;
        for (c = reader_.Peek(); hex ? IsHexDigit(c) : IsAsciiDigit(c); c = reader_.Peek()) {
            char32_t digit = IsAsciiDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
            value = std::min<char32_t>(value * (hex ? 16 : 10) + digit, 0x10000);
            ++digits;
            reader_.Advance();
        }
        if (digits > 0 && c == ';' && value <= 0xFFFF) {
            reader_.Advance();
            out.push_back(static_cast<char16_t>(value));
            return;
        }
    } else if (IsAsciiLetter(c)) {
        char name[kNameCapacity];
        size_t length = ReadName(name, sizeof name);
        if (length <= sizeof name && reader_.Peek() == ';') {
            if (char16_t ch = FindNamedEntity(std::string_view(name, length))) {
                reader_.Advance();
                out.push_back(ch);
                return;
            }
        }
    }
    // Not a reference: the "&" stays, and what follows is read as it comes.
    reader_.Seek(start);
    reader_.Advance();
    out.push_back(u'&');
}

void THtmlParser::SkipPast(char c) {
    reader_.SkipTo(c);
    reader_.Advance();
}

// Comments end at two or more "-" and ">", CDATA sections likewise with "]".
void THtmlParser::SkipToRunAndGreater(char c) {
    while (reader_.SkipTo(c)) {
        reader_.Advance();
        if (reader_.Peek() != static_cast<unsigned char>(c))
            continue;
        while (reader_.Peek() == static_cast<unsigned char>(c))
            reader_.Advance();
        if (reader_.Peek() == '>') {
            reader_.Advance();
            return;
        }
    }
}

void THtmlParser::SkipXmlDeclaration() {
    while (reader_.SkipTo('?')) {
        reader_.Advance();
        if (reader_.Peek() == '>') {
            reader_.Advance();
            return;
        }
    }
}

// At "<": moves past "</name", optional blanks and ">" when they follow.
bool THtmlParser::MatchEndTag(std::string_view name) {
    size_t start = reader_.Pos();
    reader_.Advance();
    if (reader_.Match("/") && reader_.Match(name, true)) {
        SkipBlanks();
        if (reader_.Peek() == '>') {
            reader_.Advance();
            return true;
        }
    }
    reader_.Seek(start);
    return false;
}

void THtmlParser::SkipQuoted(char32_t quote) {
    reader_.Advance();
    for (char32_t c = reader_.Peek(); c != kEnd; c = reader_.Peek()) {
        if (c == quote) {
            reader_.Advance();
            return;
        }
        // Script and style strings cannot run over a line end; stopping there
        // keeps one stray quote from hiding the rest of the page.
        if (c == '\n' || c == '\r')
            return;
        reader_.Advance();
        if (c == '\\' && reader_.Peek() != kEnd)
            reader_.Advance();
    }
}

// Script and style content: runs to its end tag, stepping over strings and
// comments so that an end tag inside them does not end the content.
void THtmlParser::ParseCode(std::string_view endName, bool lineComments) {
    for (char32_t c = reader_.Peek(); c != kEnd; c = reader_.Peek()) {
        switch (c) {
        case '<':
            if (MatchEndTag(endName))
                return;
            if (!reader_.Match("<!--"))
                reader_.Advance();
            break;
        case '"':
        case '\'':
            SkipQuoted(c);
            break;
        case '/':
            reader_.Advance();
            if (reader_.Peek() == '*') {
                reader_.Advance();
                while (reader_.SkipTo('*')) {
                    reader_.Advance();
                    if (reader_.Peek() == '/') {
                        reader_.Advance();
                        break;
                    }
                }
            } else if (lineComments && reader_.Peek() == '/') {
                // A line comment ends at the line end, and the end tag still
                // ends the script: "//--></script>" closes many older pages'
                // scripts.
                for (c = reader_.Peek(); c != kEnd && c != '\n' && c != '\r'; c = reader_.Peek()) {
                    if (c == '<' && MatchEndTag(endName))
                        return;
                    reader_.Advance();
                }
            }
            break;
        default:
            reader_.Advance();
        }
    }
}

void THtmlParser::ParseTitle() {
    if (!WantsContent(THtmlContentKind::Title)) {
        while (reader_.SkipTo('<') && !MatchEndTag("title"))
            reader_.Advance();
        return;
    }
    std::u16string text;
    bool inBlanks = false;
    for (char32_t c = reader_.Peek(); c != kEnd; c = reader_.Peek()) {
        if (c == '<' && MatchEndTag("title"))
            break;
        if (IsBlank(c)) {
            if (!inBlanks)
                text.push_back(u' ');
            inBlanks = true;
            reader_.Advance();
            continue;
        }
        inBlanks = false;
        if (c == '&') {
            ReadReference(text);
            continue;
        }
        AppendCodePoint(text, c);
        reader_.Advance();
    }
    for (size_t i = 0; i < plugins_.size(); ++i) {
        THtmlParserPlugin* p = plugins_[i];
        if (p->Enabled && p->WantsContent(THtmlContentKind::Title))
            p->Content(THtmlContentKind::Title, text);
    }
}

} // namespace tessaly::html
