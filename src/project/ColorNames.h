#pragma once
#include "MapProfile.h"

#include <optional>
#include <string>

namespace tessaly {

// The identifier a colour is written as ("clWhite", "clBtnFace"), if it has one.
std::optional<std::string> ColorToIdent(TColor c);
// The colour an identifier names, compared without regard to case.
std::optional<TColor> IdentToColor(const std::string& ident);

} // namespace tessaly
