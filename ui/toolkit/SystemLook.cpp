#include "ui/toolkit/SystemLook.h"

#include <algorithm>

namespace DuiLib {
namespace {

int SystemColorIndex(ColorRole role) {
    switch (role) {
        case ColorRole::Window: return COLOR_WINDOW;
        case ColorRole::WindowText: return COLOR_WINDOWTEXT;
        case ColorRole::ButtonFace: return COLOR_BTNFACE;
        case ColorRole::ButtonText: return COLOR_BTNTEXT;
        case ColorRole::Highlight: return COLOR_HIGHLIGHT;
        case ColorRole::HighlightText: return COLOR_HIGHLIGHTTEXT;
        case ColorRole::GrayText: return COLOR_GRAYTEXT;
    }
    return COLOR_WINDOWTEXT;
}

}  // namespace

SystemLook SystemLook::Read() {
    SystemLook look;
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    look.highContrast_ = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
                         (contrast.dwFlags & HCF_HIGHCONTRASTON);
    DWORD scale = 0, size = sizeof(scale);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Accessibility", L"TextScaleFactor",
                     RRF_RT_REG_DWORD, nullptr, &scale, &size) == ERROR_SUCCESS)
        look.textScale_ = static_cast<int>(std::clamp<DWORD>(scale, kMinTextScale, kMaxTextScale));
    return look;
}

SystemLook& SystemLook::Stored() {
    static SystemLook look = Read();
    return look;
}

const SystemLook& SystemLook::Current() { return Stored(); }

bool SystemLook::Refresh() {
    SystemLook now = Read();
    if (now == Stored()) return false;
    Stored() = now;
    return true;
}

DWORD SystemLook::Color(ColorRole role, DWORD layoutColor) const {
    if (!highContrast_ || !(layoutColor >> 24)) return layoutColor;
    COLORREF system = GetSysColor(SystemColorIndex(role));
    return 0xFF000000 | (GetRValue(system) << 16) | (GetGValue(system) << 8) | GetBValue(system);
}

}  // namespace DuiLib
