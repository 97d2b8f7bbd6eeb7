// Display scaling. Layouts, fonts and images are written for 96 DPI; each
// window's paint manager holds the DPI of the monitor the window is on, and
// every layout value becomes pixels through that DpiScale where it is used
// (laying out, painting, hit-testing, sizing the window). Stored values
// stay in layout units, so a move to a monitor of another scale only lays
// the window out again.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/toolkit/Image.h"

namespace DuiLib {

class DpiScale {
public:
    static constexpr int kBaseDpi = 96;

    constexpr DpiScale() = default;
    explicit constexpr DpiScale(int dpi) : dpi_(dpi > 0 ? dpi : kBaseDpi) {}

    int Dpi() const { return dpi_; }

    // Layout units to pixels, rounded to the nearest pixel.
    int Scale(int value) const { return dpi_ == kBaseDpi ? value : MulDiv(value, dpi_, kBaseDpi); }
    SIZE Scale(SIZE size) const { return SIZE{Scale(size.cx), Scale(size.cy)}; }
    // Each edge on its own, so that touching rectangles still touch.
    RECT Scale(const RECT& rc) const { return RECT{Scale(rc.left), Scale(rc.top), Scale(rc.right), Scale(rc.bottom)}; }

    friend bool operator==(const DpiScale&, const DpiScale&) = default;

private:
    int dpi_ = kBaseDpi;
};

// The DPI a window is drawn at: its monitor's where the system scales per
// monitor (Windows 10 1607 and later), else the screen's (LOGPIXELSX).
int WindowDpi(HWND hwnd);

// The DPI a window is laid out at. The display's, grown by the text scale
// (percent, "Make text bigger") so that larger text gets room in
// proportion; but no larger than lets the layout (layout units) fit the
// work area (pixels), so that every control stays on the screen, down to
// 96 DPI (or the display's, below that). An empty layout or work area sets
// no bound.
int LayoutDpi(int displayDpi, int textScale, SIZE layout, SIZE workArea);
// The work area of the monitor the window (or the rectangle) is on.
RECT WorkAreaOf(HWND hwnd, const RECT* at = nullptr);

// A monitor as a dialog's placement sees it.
struct MonitorArea {
    RECT monitor{};
    RECT work{};
    int dpi = DpiScale::kBaseDpi;
};
// Every monitor, the primary first.
std::vector<MonitorArea> Monitors();
struct DialogPlacement {
    RECT rect{};
    int dpi = DpiScale::kBaseDpi;  // the scale it is laid out at
};
// Where a dialog of `layout` units opens: on the monitor that holds the
// centre of `owner` (the nearest when none does), laid out at that
// monitor's scale (LayoutDpi), centred over the owner when it is shown,
// else over the work area, and kept inside the work area.
DialogPlacement PlaceDialog(SIZE layout, int textScale, const RECT& owner, bool ownerShown,
                            const std::vector<MonitorArea>& monitors);

// An image file chosen for a scale: a drawn-at-double-size variant
// ("img/logo@2x.png" beside "img/logo.png") where the scale is above
// plainUpTo (100 % for still images) and the archive has one, else the file
// itself. Layout coordinates of the image (source, corner) are multiplied by
// density to address its pixels. Only the chosen file is decoded.
struct ScaledImage {
    std::shared_ptr<const Image> image;
    int density = 1;
};
// Animations keep the plain file up to 125 %: there a twin's frames cost
// four times the memory for little sharpness.
constexpr int kAnimationPlainUpToDpi = 120;
// "img/logo.png" -> "img/logo@2x.png".
std::wstring DoubleSizeName(std::wstring_view file);
using ImageLoader = std::function<std::shared_ptr<const Image>(const std::wstring&)>;
ScaledImage PickImage(const DpiScale& scale, std::wstring_view file, const ImageLoader& load,
                      int plainUpTo = DpiScale::kBaseDpi);

}  // namespace DuiLib
