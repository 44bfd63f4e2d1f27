#pragma once
// Hashing and comparing texts without regard to letter case, for sets and
// maps keyed by addresses. ASCII texts are compared byte by byte with the
// letters folded; texts with other UTF-8 characters are case-folded as a
// whole, so "É" and "é" match as well.
#include <cstddef>
#include <string_view>

namespace tessaly {

struct TCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const;
};

struct TCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

} // namespace tessaly
