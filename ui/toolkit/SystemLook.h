// What the user asked of every program's look in the system's settings:
// high contrast (draw in the system's colours, not the layouts') and the
// text size ("Make text bigger", a percentage on top of the display scale).
// Read once and kept until Refresh, which each window calls when the system
// announces a change (WM_SETTINGCHANGE, WM_SYSCOLORCHANGE).
#pragma once
#include <windows.h>

namespace DuiLib {

// What a colour is for; in high contrast each role takes its system colour.
enum class ColorRole {
    Window,         // backgrounds
    WindowText,     // text and lines on them
    ButtonFace,     // the face of something to press or pick
    ButtonText,
    Highlight,      // the selected or hot item, a progress bar
    HighlightText,
    GrayText,       // disabled text
};

class SystemLook {
public:
    static constexpr int kMinTextScale = 100;
    static constexpr int kMaxTextScale = 225;

    static const SystemLook& Current();
    // Reads the settings again; true when they changed.
    static bool Refresh();

    bool HighContrast() const { return highContrast_; }
    // Percent, kMinTextScale..kMaxTextScale.
    int TextScale() const { return textScale_; }
    // The colour to draw a layout's colour of this role in: the system's
    // (opaque) in high contrast where the layout draws at all, else the
    // layout's own.
    DWORD Color(ColorRole role, DWORD layoutColor) const;
    // Images behind text or children only decorate; high contrast drops them.
    bool ShowsDecoration() const { return !highContrast_; }

    friend bool operator==(const SystemLook&, const SystemLook&) = default;

private:
    static SystemLook Read();
    static SystemLook& Stored();

    bool highContrast_ = false;
    int textScale_ = kMinTextScale;
};

// Disabled text where a layout names no colour: 4.5:1 on white.
inline constexpr DWORD kDisabledTextColor = 0xFF767676;

}  // namespace DuiLib
