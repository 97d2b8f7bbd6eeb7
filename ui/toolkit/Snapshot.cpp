#include "ui/toolkit/Snapshot.h"

#include <algorithm>
#include <cmath>

#include "ui/toolkit/Canvas.h"
#include "ui/toolkit/Shadow.h"

namespace DuiLib {
namespace {

BOOL CALLBACK PrintChild(HWND child, LPARAM dcParam) {
    HDC dc = reinterpret_cast<HDC>(dcParam);
    if (!IsWindowVisible(child) || GetAncestor(child, GA_PARENT) != GetAncestor(child, GA_ROOT)) return TRUE;
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, GetAncestor(child, GA_PARENT), reinterpret_cast<POINT*>(&rc), 2);
    POINT old;
    SetViewportOrgEx(dc, rc.left, rc.top, &old);
    SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
    SetViewportOrgEx(dc, old.x, old.y, nullptr);
    return TRUE;
}

double CornerCoverage(int x, int y, int width, int height, double r) {
    if (r <= 0) return 1.0;
    double px = x + 0.5, py = y + 0.5;
    double cx = std::clamp(px, r, width - r), cy = std::clamp(py, r, height - r);
    double d = std::hypot(px - cx, py - cy);
    return std::clamp(r - d + 0.5, 0.0, 1.0);
}

}  // namespace

bool CaptureClient(HWND hwnd, Snapshot& out) {
    RECT client;
    if (!IsWindow(hwnd) || !GetClientRect(hwnd, &client) || IsEmptyRect(client)) return false;
    BackBuffer buffer;
    if (!buffer.Resize(client.right, client.bottom)) return false;
    Canvas canvas = buffer.GetCanvas();
    if (!PrintWindow(hwnd, canvas.dc, PW_CLIENTONLY)) return false;
    EnumChildWindows(hwnd, PrintChild, reinterpret_cast<LPARAM>(canvas.dc));
    GdiFlush();
    MakeOpaque(canvas, client);
    out.width = canvas.width;
    out.height = canvas.height;
    out.pixels.assign(canvas.bits, canvas.bits + static_cast<size_t>(canvas.width) * canvas.height);
    return true;
}

bool ComposeWindowPicture(const CPaintManagerUI& manager, const Snapshot& client, DWORD background, Snapshot& out) {
    if (client.width <= 0 || client.height <= 0) return false;
    const WindowShadow& shadow = manager.GetShadow();
    const DpiScale& dpi = manager.GetDpiScale();
    int size = shadow.enabled ? std::max(0, dpi.Scale(shadow.size)) : 0;
    int margin = size + 16;
    out.width = client.width + 2 * margin;
    out.height = client.height + 2 * margin;
    out.pixels.assign(static_cast<size_t>(out.width) * out.height, background | 0xFF000000);
    Canvas canvas{nullptr, out.pixels.data(), out.width, out.height};
    RECT all{0, 0, out.width, out.height};
    if (size > 0) {
        std::vector<uint32_t> shadowPixels = RenderShadow(manager, SIZE{client.width, client.height});
        std::vector<ImageFrame> frames{ImageFrame{std::move(shadowPixels), 0}};
        Image image(client.width + 2 * size, client.height + 2 * size, std::move(frames));
        RECT dest{margin - size, margin - size, margin - size + image.width, margin - size + image.height};
        DrawImage(canvas, image, *image.Frame(0), dest, RECT{0, 0, image.width, image.height}, RECT{}, 255, all);
    }
    // The window, cut to its rounded corners with soft edges.
    double radius = std::max(0, dpi.Scale(manager.GetRoundCorner().cx));
    for (int y = 0; y < client.height; ++y) {
        for (int x = 0; x < client.width; ++x) {
            double coverage = CornerCoverage(x, y, client.width, client.height, radius);
            if (coverage <= 0) continue;
            uint32_t src = client.At(x, y) | 0xFF000000;
            uint32_t& dst = out.pixels[static_cast<size_t>(y + margin) * out.width + x + margin];
            uint32_t a = static_cast<uint32_t>(coverage * 255 + 0.5);
            auto mix = [&](int shift) {
                return (((src >> shift) & 0xFF) * a + ((dst >> shift) & 0xFF) * (255 - a)) / 255;
            };
            dst = 0xFF000000 | (mix(16) << 16) | (mix(8) << 8) | mix(0);
        }
    }
    return true;
}

bool SaveSnapshotPng(const Snapshot& snapshot, const std::wstring& path) {
    return SavePng(path, snapshot.pixels.data(), snapshot.width, snapshot.height);
}

}  // namespace DuiLib
