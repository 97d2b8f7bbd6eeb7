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

// Windows 8.1 and later (shcore); looked up for the same reason.
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

GetDpiForMonitorFn DpiForMonitorFunction() {
    static const GetDpiForMonitorFn function = [] {
        HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return shcore ? reinterpret_cast<GetDpiForMonitorFn>(
                            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
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

namespace {

BOOL CALLBACK AddMonitor(HMONITOR handle, HDC, LPRECT, LPARAM list) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(handle, &info)) return TRUE;
    MonitorArea area{info.rcMonitor, info.rcWork, ScreenDpi()};
    UINT x = 0, y = 0;
    if (GetDpiForMonitorFn function = DpiForMonitorFunction(); function && SUCCEEDED(function(handle, 0, &x, &y)) && x)
        area.dpi = static_cast<int>(x);
    auto& out = *reinterpret_cast<std::vector<MonitorArea>*>(list);
    if (info.dwFlags & MONITORINFOF_PRIMARY) out.insert(out.begin(), area);
    else out.push_back(area);
    return TRUE;
}

}  // namespace

std::vector<MonitorArea> Monitors() {
    std::vector<MonitorArea> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

namespace {

long long DistanceSquared(POINT p, const RECT& rc) {
    long long dx = p.x < rc.left ? rc.left - p.x : p.x >= rc.right ? p.x - rc.right + 1 : 0;
    long long dy = p.y < rc.top ? rc.top - p.y : p.y >= rc.bottom ? p.y - rc.bottom + 1 : 0;
    return dx * dx + dy * dy;
}

// Centred over `over`, then moved (and cut, when larger) into `work`.
RECT CentreWithin(SIZE size, const RECT& over, const RECT& work) {
    LONG cx = std::min(size.cx, work.right - work.left), cy = std::min(size.cy, work.bottom - work.top);
    LONG x = over.left + (over.right - over.left - cx) / 2, y = over.top + (over.bottom - over.top - cy) / 2;
    x = std::clamp(x, work.left, work.right - cx);
    y = std::clamp(y, work.top, work.bottom - cy);
    return RECT{x, y, x + cx, y + cy};
}

}  // namespace

DialogPlacement PlaceDialog(SIZE layout, int textScale, const RECT& owner, bool ownerShown,
                            const std::vector<MonitorArea>& monitors) {
    if (monitors.empty()) return {};
    POINT centre{owner.left + (owner.right - owner.left) / 2, owner.top + (owner.bottom - owner.top) / 2};
    const MonitorArea* on = &monitors.front();
    for (const MonitorArea& m : monitors)
        if (DistanceSquared(centre, m.monitor) < DistanceSquared(centre, on->monitor)) on = &m;
    SIZE work{on->work.right - on->work.left, on->work.bottom - on->work.top};
    DialogPlacement placed;
    placed.dpi = LayoutDpi(on->dpi, textScale, layout, work);
    placed.rect = CentreWithin(DpiScale(placed.dpi).Scale(layout), ownerShown ? owner : on->work, on->work);
    return placed;
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

ScaledImage PickImage(const DpiScale& scale, std::wstring_view file, const ImageLoader& load, int plainUpTo) {
    std::shared_ptr<const Image> plain = load(std::wstring(file));
    if (scale.Dpi() <= plainUpTo || !plain) return ScaledImage{plain, 1};
    std::shared_ptr<const Image> large = load(DoubleSizeName(file));
    // Only a true double of the plain image keeps the layout's coordinates
    // right. An animation plays the chosen file's own frames; counting the
    // plain one's would open its decoder for nothing.
    if (large && large->width == plain->width * 2 && large->height == plain->height * 2 &&
        large->Animated() == plain->Animated() && (large->Animated() || large->FrameCount() == plain->FrameCount()))
        return ScaledImage{large, 2};
    return ScaledImage{plain, 1};
}

}  // namespace DuiLib
