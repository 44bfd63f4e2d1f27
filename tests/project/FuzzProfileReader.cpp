// Feeds arbitrary bytes to the profile and settings readers: they must either
// read them or raise a stream error, never crash or read past the input.
// Whatever they read must write and read back: a text that the reader lets
// through but refuses when it comes back (a NUL inside it) is a fault.
#include "ProfileFile.h"

#include <cstddef>
#include <cstdint>

namespace {
template <class F> bool Reads(F&& read) {
    try {
        read();
        return true;
    } catch (const tessaly::EStreamError&) {
        return false;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    tessaly::TMapProfile p;
    if (Reads([&] { tessaly::ProfileFromBytes(bytes, p); })) {
        // One cycle first: a priority of 0 is not written and reads back as
        // the default.
        tessaly::TMapProfile q, r;
        std::string again;
        if (!Reads([&] {
                tessaly::ProfileFromBytes(tessaly::ProfileToBytes(p), q);
                again = tessaly::ProfileToBytes(q);
                tessaly::ProfileFromBytes(again, r);
            }))
            __builtin_trap();
        if (tessaly::ProfileToBytes(r) != again)
            __builtin_trap();
    }
    tessaly::TSiteMapSettings s;
    if (Reads([&] { tessaly::SettingsFromBytes(bytes, s); })) {
        tessaly::TSiteMapSettings t;
        if (!Reads([&] { tessaly::SettingsFromBytes(tessaly::SettingsToBytes(s), t); }))
            __builtin_trap();
    }
    return 0;
}
