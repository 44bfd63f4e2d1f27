#pragma once
// Routines on 8-bit text (UTF-8 bytes here). Positions count from 1; lower and
// upper case mean the ASCII letters only.
#include <string>
#include <string_view>

namespace tessaly {

// Non-overlapping occurrences, compared with case; 0 for an empty pattern.
int CountOccurrences(const std::string& text, const std::string& pattern);
// Position of pattern (1-based) in text from start on, counted from start;
// 0 when absent. A start below 2 searches the whole text.
int PosFrom(const std::string& text, const std::string& pattern, int start);
// count bytes from position from; empty when the request does not fit. A from
// beyond the end restarts at 1.
std::string SafeCopy(const std::string& text, int from, int count);
// The text between the first start marker and the first end marker.
std::string TextBetween(const std::string& text, const std::string& startMarker,
                        const std::string& endMarker, bool ignoreCase);
// At most maxLength bytes, cut at the first NUL.
std::string CopyMax(const std::string& text, std::size_t maxLength);
// Percent-encodes an address and escapes it for XML.
std::string EncodeURLForXML(const std::string& address);
// The same, appended to out.
void AppendURLForXML(std::string& out, std::string_view address);
// True when the name holds \ / : * ? " < > or |.
bool HasInvalidFileNameChars(const std::string& name);
// True when the file's extension is in a mask list such as "*.htm;*.html;".
bool MatchesFileTypes(std::string_view fileName, std::string_view maskList);
// ASCII lower case; other bytes unchanged.
std::string AsciiLower(std::string text);

// The bytes are well-formed UTF-8 (no overlong forms, surrogates or code
// points past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// windows-1252 bytes as UTF-8; the five bytes it leaves undefined become
// U+FFFD.
std::string Windows1252ToUtf8(std::string_view bytes);
// Text of a page whose encoding was not declared, as browsers read it: as
// UTF-8 when it is valid UTF-8, else as windows-1252.
std::string UndeclaredToUtf8(std::string_view bytes);
// HTML source text as people read it: numeric character references and the
// named ones of HTML 4 for Latin-1, markup and common punctuation decoded;
// a reference not known, or not closed by ";", stands as written.
std::string DecodeCharacterReferences(std::string_view text);

} // namespace tessaly
