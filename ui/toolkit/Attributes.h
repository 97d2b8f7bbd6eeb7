// Parsers for the layout's attribute values. Pure functions: a malformed
// value gives the fallback, never an exception.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace DuiLib {

// "#AARRGGBB", "#RRGGBB" (opaque), "0xAARRGGBB"; colours are 0xAARRGGBB.
std::optional<DWORD> ParseColor(std::wstring_view text);
// "l,t,r,b"; a single number applies to all four sides.
RECT ParseRect(std::wstring_view text);
// "cx,cy"; a single number applies to both.
SIZE ParseSize(std::wstring_view text);
int ParseInt(std::wstring_view text, int fallback = 0);
bool ParseBool(std::wstring_view text);
// "name='value' other='x'": image descriptions and custom attribute lists.
std::vector<std::pair<std::wstring, std::wstring>> ParseAttributeList(std::wstring_view text);

// Text alignment as DT_LEFT/DT_CENTER/DT_RIGHT | DT_TOP/DT_VCENTER/DT_BOTTOM.
// Words: left center right top vcenter bottom, separated by spaces, commas or '|'.
// Words of one axis replace that axis of `current` only.
UINT ParseAlign(std::wstring_view text, UINT current);

constexpr BYTE ColorAlpha(DWORD argb) { return static_cast<BYTE>(argb >> 24); }
constexpr COLORREF ToColorRef(DWORD argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

}  // namespace DuiLib
