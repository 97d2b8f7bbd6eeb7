#include "ui/toolkit/Shadow.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ui/toolkit/Canvas.h"

namespace DuiLib {
namespace {

// Distance from the point to a rounded rectangle (0 inside).
double DistanceOutside(double px, double py, const RECT& rc, double radius) {
    double cx = std::clamp(px, rc.left + radius, rc.right - radius);
    double cy = std::clamp(py, rc.top + radius, rc.bottom - radius);
    double d = std::hypot(px - cx, py - cy) - radius;
    return std::max(0.0, d);
}

void DrawSoftShadow(std::vector<uint32_t>& pixels, int width, int height, int size, SIZE window, int radius,
                    DWORD color) {
    RECT shape{size, size + 1, size + window.cx, size + window.cy + 1};  // a touch lower, as if lit from above
    double maxAlpha = (color >> 24) / 255.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double d = DistanceOutside(x + 0.5, y + 0.5, shape, radius);
            if (d >= size) continue;
            double t = 1.0 - d / size;
            double a = maxAlpha * t * t;
            uint32_t alpha = static_cast<uint32_t>(a * 255 + 0.5);
            auto channel = [&](int shift) { return ((color >> shift) & 0xFF) * alpha / 255; };
            pixels[static_cast<size_t>(y) * width + x] = (alpha << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
        }
    }
}

// The rectangles of the window's shape (its region, else its whole rectangle),
// in window coordinates.
std::vector<RECT> WindowShapeRects(HWND window, SIZE size) {
    UniqueRegion shape(CreateRectRgn(0, 0, 0, 0));
    if (shape && GetWindowRgn(window, shape.Get()) == ERROR) shape.Reset(CreateRectRgn(0, 0, size.cx, size.cy));
    DWORD bytes = shape ? GetRegionData(shape.Get(), 0, nullptr) : 0;
    if (bytes < sizeof(RGNDATAHEADER)) return {};
    std::vector<char> data(bytes);
    auto* region = reinterpret_cast<RGNDATA*>(data.data());
    if (GetRegionData(shape.Get(), bytes, region) != bytes) return {};
    const auto* rects = reinterpret_cast<const RECT*>(region->Buffer);
    return std::vector<RECT>(rects, rects + region->rdh.nCount);
}

// Leaves the shadow transparent under its window: there it never shows, and
// should the shadow come above the window (restacked by a window manager, or
// by Wine following the X stacking), the window is not veiled, nor blacked
// out by a screen without compositing.
void ClearUnderWindow(std::vector<uint32_t>& pixels, SIZE total, HWND window, SIZE size, int offset) {
    for (RECT rc : WindowShapeRects(window, size)) {
        int left = std::clamp<int>(rc.left + offset, 0, total.cx), right = std::clamp<int>(rc.right + offset, 0, total.cx);
        int top = std::clamp<int>(rc.top + offset, 0, total.cy), bottom = std::clamp<int>(rc.bottom + offset, 0, total.cy);
        for (int y = top; y < bottom && left < right; ++y)
            std::fill(pixels.begin() + static_cast<size_t>(y) * total.cx + left,
                      pixels.begin() + static_cast<size_t>(y) * total.cx + right, 0u);
    }
}

}  // namespace

std::vector<uint32_t> RenderShadow(const CPaintManagerUI& manager, SIZE window) {
    const WindowShadow& shadow = manager.GetShadow();
    const DpiScale& dpi = manager.GetDpiScale();
    int size = std::max(0, dpi.Scale(shadow.size));
    int width = window.cx + 2 * size, height = window.cy + 2 * size;
    if (width <= 0 || height <= 0) return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
    std::shared_ptr<const Image> image = shadow.image.empty() ? nullptr : manager.GetImage(shadow.image);
    const ImageFrame* frame = image ? image->Frame(0) : nullptr;
    if (frame) {
        Canvas canvas{nullptr, pixels.data(), width, height};
        RECT corner = shadow.corner;  // in the image's pixels
        if (!corner.left && !corner.top && !corner.right && !corner.bottom) {
            int c = std::min({std::max(0, shadow.size) * 2, image->width / 2, image->height / 2});
            corner = RECT{c, c, c, c};
        }
        RECT destCorner = dpi.Scale(corner);
        RECT all{0, 0, width, height};
        DrawImage(canvas, *image, *frame, all, RECT{0, 0, image->width, image->height}, corner, 255, all,
                  &destCorner);
    } else {
        DrawSoftShadow(pixels, width, height, size, window, std::max<int>(0, dpi.Scale(manager.GetRoundCorner().cx)),
                       shadow.color);
    }
    return pixels;
}

ShadowWindow::~ShadowWindow() { Destroy(); }

void ShadowWindow::Destroy() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    renderedFor_ = SIZE{};
}

void ShadowWindow::Update() {
    HWND target = manager_.GetPaintWindow();
    int size = manager_.GetDpiScale().Scale(manager_.GetShadow().size);
    if (!target || !IsWindow(target) || !IsWindowVisible(target) || IsIconic(target) || IsZoomed(target) || size <= 0) {
        if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
        return;
    }
    if (!hwnd_) {
        static bool registered = false;
        if (!registered) {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof(wc);
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"DuiShadow";
            registered = RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }
        // Owned like the target, so it stays with it, and placed just behind it.
        hwnd_ = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"DuiShadow",
                                L"", WS_POPUP, 0, 0, 0, 0, GetWindow(target, GW_OWNER), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        if (!hwnd_) return;
    }
    RECT rc;
    GetWindowRect(target, &rc);
    SIZE window{rc.right - rc.left, rc.bottom - rc.top};
    POINT origin{rc.left - size, rc.top - size};
    SIZE total{window.cx + 2 * size, window.cy + 2 * size};
    if (window.cx != renderedFor_.cx || window.cy != renderedFor_.cy) {
        std::vector<uint32_t> pixels = RenderShadow(manager_, window);
        if (pixels.empty()) return;
        ClearUnderWindow(pixels, total, target, window, size);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = total.cx;
        info.bmiHeader.biHeight = -total.cy;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC screen = GetDC(nullptr);
        UniqueMemoryDC dc(CreateCompatibleDC(screen));
        UniqueBitmap bitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (bitmap && bits && dc.Get()) {
            memcpy(bits, pixels.data(), pixels.size() * 4);
            SelectObjectScope select(dc.Get(), bitmap.Get());
            POINT source{0, 0};
            BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            UpdateLayeredWindow(hwnd_, screen, &origin, &total, dc.Get(), &source, 0, &blend, ULW_ALPHA);
            renderedFor_ = window;
        }
        ReleaseDC(nullptr, screen);
    }
    SetWindowPos(hwnd_, target, origin.x, origin.y, total.cx, total.cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

}  // namespace DuiLib
