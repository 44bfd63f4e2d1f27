#pragma once

#include "CharSetTable.h"
#include "HtmlParserPlugin.h"
#include "HtmlStartTag.h"
#include "SourceReader.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessaly::html {

// A streaming HTML parser: it reads the source once from start to end and
// hands each piece to the attached plug-ins that asked for it. It works on the
// source bytes and decodes them as it goes, so that a change of character set
// takes effect at the point where it is made. Any byte sequence is accepted;
// unterminated pieces end at the end of the source.
class THtmlParser {
  public:
    THtmlParser() = default;
    ~THtmlParser();
    THtmlParser(const THtmlParser&) = delete;
    THtmlParser& operator=(const THtmlParser&) = delete;

    // The bytes are not copied: they must stay alive until ReleaseSource() or
    // the next SetSource().
    void SetSource(std::string_view bytes);
    void ReleaseSource();
    // Back to the start of the source with the Latin-1 decoder; every attached
    // plug-in is told that a new document starts.
    void Reset();
    // Reads the source to its end.
    void ParseAll();

    // The decoder for the rest of the source; nullptr selects Latin-1.
    TReadCharFunc ReadCharFunc() const { return reader_.Decoder(); }
    void SetReadCharFunc(TReadCharFunc decoder) { reader_.SetDecoder(decoder); }

    const std::vector<THtmlParserPlugin*>& Plugins() const { return plugins_; }

  private:
    friend class THtmlParserPlugin;
    void Attach(THtmlParserPlugin* plugin);
    void Detach(THtmlParserPlugin* plugin);

    bool WantsTag(THtmlTagId id) const;
    bool WantsContent(THtmlContentKind kind) const;

    void ParseMarkup();
    void ParseStartTag(size_t start);
    void ReadAttributes(THtmlStartTag* tag);
    void ReadValue(std::u16string* value);
    void ReadReference(std::u16string& out);
    size_t ReadName(char* buffer, size_t capacity);
    void SkipBlanks();
    void SkipPast(char c);
    void SkipToRunAndGreater(char c);
    void SkipXmlDeclaration();
    bool MatchEndTag(std::string_view name);
    void ParseCode(std::string_view endName, bool lineComments);
    void SkipQuoted(char32_t quote);
    void ParseTitle();

    TSourceReader reader_;
    std::vector<THtmlParserPlugin*> plugins_;
    THtmlStartTag tag_;
    // Attributes of earlier tags, whose texts are reused for the next ones.
    std::vector<THtmlAttribute> spareAttributes_;
    std::u16string value_;
};

} // namespace tessaly::html
