#include "ui/toolkit/Progress.h"

#include <algorithm>

#include "ui/toolkit/AccessibleWindow.h"
#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/PaintManager.h"

namespace DuiLib {

void CProgressUI::SetMinValue(int value) {
    min_ = value;
    if (max_ < min_) max_ = min_;
    SetValue(value_);
    Invalidate();
}

void CProgressUI::SetMaxValue(int value) {
    max_ = std::max(value, min_);
    SetValue(value_);
    Invalidate();
}

void CProgressUI::SetValue(int value) {
    value = std::clamp(value, min_, max_);
    if (value == value_) return;
    value_ = value;
    Invalidate();
    NotifyReaders(this, EVENT_OBJECT_VALUECHANGE);
}

void CProgressUI::SetForeImage(std::wstring_view description) {
    foreImage_ = ParseImageDescription(description);
    Invalidate();
}

void CProgressUI::SetForeColor(DWORD argb) {
    foreColor_ = argb;
    Invalidate();
}

void CProgressUI::PaintStatusImage(const Canvas& canvas, const RECT& clip) {
    if (max_ <= min_ || value_ <= min_) return;
    int width = pos_.right - pos_.left;
    int done = static_cast<int>(static_cast<long long>(width) * (value_ - min_) / (max_ - min_));
    RECT bar{pos_.left, pos_.top, pos_.left + done, pos_.bottom};
    if (done <= 0) return;
    const SystemLook& look = SystemLook::Current();
    DWORD fore = look.HighContrast() ? look.Color(ColorRole::Highlight, 0xFF000000) : foreColor_;
    if (fore >> 24) FillRoundRect(canvas, bar, Dpi().Scale(borderRound_), fore, IntersectRects(clip, bar));
    if (!foreImage_ || !ShowsImages()) return;
    RECT corner = Dpi().Scale(foreImage_->corner);
    bool stretches = corner.left || corner.right || corner.top || corner.bottom;
    if (stretches) {
        // Keep the rounded ends: never narrower than the two corners.
        bar.right = std::max<LONG>(bar.right, std::min<LONG>(pos_.right, pos_.left + corner.left + corner.right));
        DrawImage(canvas, IntersectRects(clip, bar), foreImage_, &bar);
    } else {
        DrawImage(canvas, IntersectRects(clip, bar), foreImage_);
    }
}

void CProgressUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"foreimage") SetForeImage(value);
    else if (name == L"forecolor") SetForeColor(ParseColor(value).value_or(0));
    else if (name == L"min") SetMinValue(ParseInt(value));
    else if (name == L"max") SetMaxValue(ParseInt(value));
    else if (name == L"value") SetValue(ParseInt(value));
    else CLabelUI::SetAttribute(name, value);
}

}  // namespace DuiLib
