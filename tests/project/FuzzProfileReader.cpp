// Feeds arbitrary bytes to the profile and settings readers: they must either
// read them or raise a stream error, never crash or read past the input.
#include "ProfileFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        tessaly::TMapProfile p;
        tessaly::ProfileFromBytes(bytes, p);
        // Whatever was read must write and read back the same. One cycle first:
        // a priority of 0 is not written and reads back as the default.
        tessaly::TMapProfile q;
        tessaly::ProfileFromBytes(tessaly::ProfileToBytes(p), q);
        std::string again = tessaly::ProfileToBytes(q);
        tessaly::TMapProfile r;
        tessaly::ProfileFromBytes(again, r);
        if (tessaly::ProfileToBytes(r) != again)
            __builtin_trap();
    } catch (const tessaly::EStreamError&) {
    }
    try {
        tessaly::TSiteMapSettings s;
        tessaly::SettingsFromBytes(bytes, s);
    } catch (const tessaly::EStreamError&) {
    }
    return 0;
}
