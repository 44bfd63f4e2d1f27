// Feeds arbitrary bytes to the store reader: it must read them or refuse them
// with a reason, never crash; what it read must write and read back the same.
#include "StoreData.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    tessaly::StoreData store;
    std::string error;
    if (!store.FromText(bytes, error)) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    std::string text = store.ToText();
    tessaly::StoreData again;
    if (!again.FromText(text, error) || !(again == store) || again.ToText() != text)
        __builtin_trap();
    return 0;
}
