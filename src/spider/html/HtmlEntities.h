#pragma once

#include <string_view>

namespace tessaly::html {

// The character of a named character reference: the HTML 4 names and "apos",
// matched with letter case. Returns 0 for any other name.
char16_t FindNamedEntity(std::string_view name);

} // namespace tessaly::html
