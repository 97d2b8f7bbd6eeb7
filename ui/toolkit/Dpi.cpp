#include "ui/toolkit/Dpi.h"

#include <algorithm>

namespace DuiLib {
namespace {

// Windows 10 1607 and later; looked up so that the programs still start on 7.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

GetDpiForWindowFn DpiForWindowFunction() {
    static const GetDpiForWindowFn function = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        return user32 ? reinterpret_cast<GetDpiForWindowFn>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                      : nullptr;
    }();
    return function;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : DpiScale::kBaseDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : DpiScale::kBaseDpi;
}

}  // namespace

int WindowDpi(HWND hwnd) {
    if (GetDpiForWindowFn function = DpiForWindowFunction(); function && hwnd) {
        if (UINT dpi = function(hwnd)) return static_cast<int>(dpi);
    }
    return ScreenDpi();
}

int LayoutDpi(int displayDpi, int textScale, SIZE layout, SIZE workArea) {
    displayDpi = displayDpi > 0 ? displayDpi : DpiScale::kBaseDpi;
    int dpi = MulDiv(displayDpi, std::max(textScale, 100), 100);
    if (layout.cx > 0 && layout.cy > 0 && workArea.cx > 0 && workArea.cy > 0) {
        int fits = std::min(workArea.cx * DpiScale::kBaseDpi / layout.cx, workArea.cy * DpiScale::kBaseDpi / layout.cy);
        dpi = std::min(dpi, std::max(fits, std::min(displayDpi, DpiScale::kBaseDpi)));
    }
    return dpi;
}

RECT WorkAreaOf(HWND hwnd, const RECT* at) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    HMONITOR handle = at ? MonitorFromRect(at, MONITOR_DEFAULTTONEAREST) : MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
    if (!GetMonitorInfoW(handle, &monitor)) return RECT{};
    return monitor.rcWork;
}

std::wstring DoubleSizeName(std::wstring_view file) {
    size_t slash = file.find_last_of(L"/\\");
    size_t dot = file.rfind(L'.');
    if (dot == std::wstring_view::npos || (slash != std::wstring_view::npos && dot < slash)) dot = file.size();
    std::wstring name(file.substr(0, dot));
    name += L"@2x";
    name += file.substr(dot);
    return name;
}

ScaledImage PickImage(const DpiScale& scale, std::wstring_view file, const ImageLoader& load) {
    std::shared_ptr<const Image> plain = load(std::wstring(file));
    if (scale.Dpi() <= DpiScale::kBaseDpi || !plain) return ScaledImage{plain, 1};
    std::shared_ptr<const Image> large = load(DoubleSizeName(file));
    // Only a true double of the plain image keeps the layout's coordinates right.
    if (large && large->width == plain->width * 2 && large->height == plain->height * 2 &&
        large->FrameCount() == plain->FrameCount())
        return ScaledImage{large, 2};
    return ScaledImage{plain, 1};
}

}  // namespace DuiLib
