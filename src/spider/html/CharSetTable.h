#pragma once

#include "CharDecoder.h"

#include <span>
#include <string_view>

namespace tessaly::html {

// A decoding function as the parser and the charset plug-in pass it around;
// nullptr stands for "no decoder", which means Latin-1.
using TReadCharFunc = const TCharDecoder*;

struct TCharSetEntry {
    std::string_view Name;
    TReadCharFunc Decoder;
};

// The character-set names the charset plug-in knows, each with its decoder.
std::span<const TCharSetEntry> CharSetTable();
// Looks a name up without regard to ASCII letter case; nullptr when unknown.
TReadCharFunc FindCharSet(std::u16string_view name);
// The decoder every document starts with.
TReadCharFunc Latin1Decoder();

} // namespace tessaly::html
