#include "ColorNames.h"

#include <strings.h>

namespace tessaly {

namespace {
struct Named {
    TColor color;
    const char* name;
};
constexpr TColor sys(int index) {
    return TColor(0x80000000u | unsigned(index));
}
constexpr Named kNames[] = {
    {0x000000, "clBlack"},
    {0x000080, "clMaroon"},
    {0x008000, "clGreen"},
    {0x008080, "clOlive"},
    {0x800000, "clNavy"},
    {0x800080, "clPurple"},
    {0x808000, "clTeal"},
    {0x808080, "clGray"},
    {0xC0C0C0, "clSilver"},
    {0x0000FF, "clRed"},
    {0x00FF00, "clLime"},
    {0x00FFFF, "clYellow"},
    {0xFF0000, "clBlue"},
    {0xFF00FF, "clFuchsia"},
    {0xFFFF00, "clAqua"},
    {0xFFFFFF, "clWhite"},
    {12639424, "clMoneyGreen"},
    {0xF0CAA6, "clSkyBlue"},
    {0xF0FBFF, "clCream"},
    {0xA4A0A0, "clMedGray"},
    {0x1FFFFFFF, "clNone"},
    {0x20000000, "clDefault"},
    {sys(0), "clScrollBar"},
    {sys(1), "clBackground"},
    {sys(2), "clActiveCaption"},
    {sys(3), "clInactiveCaption"},
    {sys(4), "clMenu"},
    {sys(5), "clWindow"},
    {sys(6), "clWindowFrame"},
    {sys(7), "clMenuText"},
    {sys(8), "clWindowText"},
    {sys(9), "clCaptionText"},
    {sys(10), "clActiveBorder"},
    {sys(11), "clInactiveBorder"},
    {sys(12), "clAppWorkSpace"},
    {sys(13), "clHighlight"},
    {sys(14), "clHighlightText"},
    {sys(15), "clBtnFace"},
    {sys(16), "clBtnShadow"},
    {sys(17), "clGrayText"},
    {sys(18), "clBtnText"},
    {sys(19), "clInactiveCaptionText"},
    {sys(20), "clBtnHighlight"},
    {sys(21), "cl3DDkShadow"},
    {sys(22), "cl3DLight"},
    {sys(23), "clInfoText"},
    {sys(24), "clInfoBk"},
    {sys(26), "clHotLight"},
    {sys(27), "clGradientActiveCaption"},
    {sys(28), "clGradientInactiveCaption"},
    {sys(29), "clMenuHighlight"},
    {sys(30), "clMenuBar"},
};
} // namespace

std::optional<std::string> ColorToIdent(TColor c) {
    for (const auto& n : kNames)
        if (n.color == c)
            return std::string(n.name);
    return std::nullopt;
}

std::optional<TColor> IdentToColor(const std::string& ident) {
    for (const auto& n : kNames)
        if (strcasecmp(n.name, ident.c_str()) == 0)
            return n.color;
    return std::nullopt;
}

} // namespace tessaly
