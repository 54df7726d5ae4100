#include "MarkupColors.h"

#include "MarkupText.h"

#include <string>

namespace quorvel {

namespace {

struct TNamedColor {
    std::string_view Name;
    TColor Color;
};

constexpr TNamedColor kFixedColors[] = {
    {"clred", 0x0000FF},  {"clblack", 0x000000},  {"clblue", 0xFF0000},    {"clgreen", 0x008000},
    {"claqua", 0xFFFF00}, {"clyellow", 0x00FFFF}, {"clfuchsia", 0xFF00FF}, {"clwhite", 0xFFFFFF},
    {"cllime", 0x00FF00}, {"clsilver", 0xC0C0C0}, {"clgray", 0x808080},    {"clolive", 0x008080},
    {"clnavy", 0x800000}, {"clpurple", 0x800080}, {"clteal", 0x808000},    {"clmaroon", 0x000080},
};

// System colours 1 to 24 in index order.
constexpr std::string_view kSystemColorNames[] = {
    "clbackground",
    "clactivecaption",
    "clinactivecaption",
    "clmenu",
    "clwindow",
    "clwindowframe",
    "clmenutext",
    "clwindowtext",
    "clcaptiontext",
    "clactiveborder",
    "clinactiveborder",
    "clappworkspace",
    "clhighlight",
    "clhighlighttext",
    "clbtnface",
    "clbtnshadow",
    "clgraytext",
    "clbtntext",
    "clinactivecaptiontext",
    "clbtnhighlight",
    "cl3ddkshadow",
    "cl3dlight",
    "clinfotext",
    "clinfobk",
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

// The pair of characters at 0-based index at; 0 when fewer than two remain.
int HexPair(std::string_view text, size_t at) {
    if (text.size() < at + 2)
        return 0;
    return HexDigit(text[at]) * 16 + HexDigit(text[at + 1]);
}

} // namespace

TColor ColorFromName(std::string_view name) {
    for (const TNamedColor& c : kFixedColors)
        if (c.Name == name)
            return c.Color;
    for (size_t i = 0; i < std::size(kSystemColorNames); ++i)
        if (kSystemColorNames[i] == name)
            return SystemColor(static_cast<std::uint32_t>(i + 1));
    return clBlack;
}

TColor ColorFromHex(std::string_view text) {
    return RGBColor(HexPair(text, 1), HexPair(text, 3), HexPair(text, 5));
}

TColor ColorFromValue(std::string_view value) {
    if (!value.empty() && value.front() == '#')
        return ColorFromHex(value);
    return ColorFromName(MarkupText::LowerCase(value));
}

} // namespace quorvel
