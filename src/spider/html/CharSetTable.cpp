#include "CharSetTable.h"

#include "UnicodeText.h"

#include <array>

namespace tessaly::html {
namespace {

using K = TCharDecoder::TKind;

constinit const TCharDecoder kAscii("US-ASCII", K::SingleByte);
constinit const TCharDecoder kIso1("ISO-8859-1", K::SingleByte);
constinit const TCharDecoder kIso2("ISO-8859-2", K::SingleByte);
constinit const TCharDecoder kIso3("ISO-8859-3", K::SingleByte);
constinit const TCharDecoder kIso4("ISO-8859-4", K::SingleByte);
constinit const TCharDecoder kIso6("ISO-8859-6", K::SingleByte);
constinit const TCharDecoder kIso7("ISO-8859-7", K::SingleByte);
constinit const TCharDecoder kIso8("ISO-8859-8", K::SingleByte);
constinit const TCharDecoder kIso9("ISO-8859-9", K::SingleByte);
constinit const TCharDecoder kIso10("ISO-8859-10", K::SingleByte);
constinit const TCharDecoder kIso13("ISO-8859-13", K::SingleByte);
constinit const TCharDecoder kIso14("ISO-8859-14", K::SingleByte);
constinit const TCharDecoder kIso15("ISO-8859-15", K::SingleByte);
constinit const TCharDecoder kIso16("ISO-8859-16", K::SingleByte);
constinit const TCharDecoder kGb18030("GB18030", K::MultiByte);
constinit const TCharDecoder kIbm424("IBM424", K::SingleByte);
constinit const TCharDecoder kIbm437("IBM437", K::SingleByte);
constinit const TCharDecoder kIbm850("IBM850", K::SingleByte);
constinit const TCharDecoder kIbm852("IBM852", K::SingleByte);
constinit const TCharDecoder kIbm855("IBM855", K::SingleByte);
constinit const TCharDecoder kIbm857("IBM857", K::SingleByte);
constinit const TCharDecoder kIbm860("IBM860", K::SingleByte);
constinit const TCharDecoder kIbm861("IBM861", K::SingleByte);
constinit const TCharDecoder kIbm862("IBM862", K::SingleByte);
constinit const TCharDecoder kIbm863("IBM863", K::SingleByte);
constinit const TCharDecoder kIbm864("IBM864", K::SingleByte);
constinit const TCharDecoder kIbm865("IBM865", K::SingleByte);
constinit const TCharDecoder kIbm866("IBM866", K::SingleByte);
constinit const TCharDecoder kIbm869("IBM869", K::SingleByte);
constinit const TCharDecoder kKoi8r("KOI8-R", K::SingleByte);
constinit const TCharDecoder kKoi8u("KOI8-U", K::SingleByte);
constinit const TCharDecoder kWin1250("WINDOWS-1250", K::SingleByte);
constinit const TCharDecoder kWin1251("WINDOWS-1251", K::SingleByte);
constinit const TCharDecoder kWin1252("WINDOWS-1252", K::SingleByte);
constinit const TCharDecoder kWin1253("WINDOWS-1253", K::SingleByte);
constinit const TCharDecoder kWin1254("WINDOWS-1254", K::SingleByte);
constinit const TCharDecoder kWin1255("WINDOWS-1255", K::SingleByte);
constinit const TCharDecoder kWin1256("WINDOWS-1256", K::SingleByte);
constinit const TCharDecoder kWin1257("WINDOWS-1257", K::SingleByte);
constinit const TCharDecoder kWin1258("WINDOWS-1258", K::SingleByte);
constinit const TCharDecoder kUtf16be("UTF-16BE", K::MultiByte, 2);
constinit const TCharDecoder kUtf16le("UTF-16LE", K::MultiByte, 2);
constinit const TCharDecoder kUtf8("UTF-8", K::Utf8);

#define TESSALY_IBM_CP(n)                                                                          \
    {"IBM" #n, &kIbm##n}, {"cp" #n, &kIbm##n}, {                                                   \
#n, &kIbm##n                                                                               \
    }

const TCharSetEntry kTable[] = {
    {"US-ASCII", &kAscii},
    {"ASCII", &kAscii},
    {"us", &kAscii},
    {"ISO-8859-1", &kIso1},
    {"ISO_8859-1", &kIso1},
    {"latin1", &kIso1},
    {"l1", &kIso1},
    {"ISO_8859-1:1987", &kIso1},
    {"ISO-8859-2", &kIso2},
    {"ISO_8859-2", &kIso2},
    {"latin2", &kIso2},
    {"l2", &kIso2},
    {"ISO_8859-2:1987", &kIso2},
    {"ISO-8859-3", &kIso3},
    {"ISO_8859-3", &kIso3},
    {"latin3", &kIso3},
    {"l3", &kIso3},
    {"ISO_8859-3:1988", &kIso3},
    {"ISO-8859-4", &kIso4},
    {"ISO_8859-4", &kIso4},
    {"latin4", &kIso4},
    {"l4", &kIso4},
    {"ISO_8859-4:1988", &kIso4},
    {"ISO-8859-6", &kIso6},
    {"ISO_8859-6", &kIso6},
    {"arabic", &kIso6},
    {"ISO_8859-6:1987", &kIso6},
    {"ISO-8859-7", &kIso7},
    {"ISO_8859-7", &kIso7},
    {"greek", &kIso7},
    {"greek8", &kIso7},
    {"ISO_8859-7:1987", &kIso7},
    {"ISO-8859-8", &kIso8},
    {"ISO_8859-8", &kIso8},
    {"hebrew", &kIso8},
    {"ISO-8859-9", &kIso9},
    {"ISO_8859-9", &kIso9},
    {"latin5", &kIso9},
    {"l5", &kIso9},
    {"ISO_8859-9:1989", &kIso9},
    {"ISO-8859-10", &kIso10},
    {"latin6", &kIso10},
    {"l6", &kIso10},
    {"ISO_8859-10:1992", &kIso10},
    {"ISO-8859-13", &kIso13},
    {"ISO-8859-14", &kIso14},
    {"ISO_8859-14", &kIso14},
    {"latin8", &kIso14},
    {"l8", &kIso14},
    {"iso-celtic", &kIso14},
    {"ISO_8859-14:1998", &kIso14},
    {"ISO-8859-15", &kIso15},
    {"ISO-8859-16", &kIso16},
    {"GB18030", &kGb18030},
    {"IBM424", &kIbm424},
    {"cp424", &kIbm424},
    TESSALY_IBM_CP(437),
    TESSALY_IBM_CP(850),
    TESSALY_IBM_CP(852),
    TESSALY_IBM_CP(855),
    TESSALY_IBM_CP(857),
    TESSALY_IBM_CP(860),
    TESSALY_IBM_CP(861),
    TESSALY_IBM_CP(862),
    TESSALY_IBM_CP(863),
    TESSALY_IBM_CP(864),
    TESSALY_IBM_CP(865),
    TESSALY_IBM_CP(866),
    TESSALY_IBM_CP(869),
    {"KOI8-R", &kKoi8r},
    {"KOI8-U", &kKoi8u},
    {"windows-1250", &kWin1250},
    {"windows-1251", &kWin1251},
    {"windows-1252", &kWin1252},
    {"windows-1253", &kWin1253},
    {"windows-1254", &kWin1254},
    {"windows-1255", &kWin1255},
    {"windows-1256", &kWin1256},
    {"windows-1257", &kWin1257},
    {"windows-1258", &kWin1258},
    {"Utf-16BE", &kUtf16be},
    {"Utf-16LE", &kUtf16le},
    {"Utf-8", &kUtf8},
};

#undef TESSALY_IBM_CP

} // namespace

std::span<const TCharSetEntry> CharSetTable() {
    return kTable;
}

TReadCharFunc FindCharSet(std::u16string_view name) {
    for (const TCharSetEntry& entry : kTable) {
        if (SameTextAscii(name, entry.Name))
            return entry.Decoder;
    }
    return nullptr;
}

TReadCharFunc Latin1Decoder() {
    return &kIso1;
}

} // namespace tessaly::html
