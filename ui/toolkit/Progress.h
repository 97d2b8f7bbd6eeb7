// A horizontal progress bar: the back image (or bkcolor) across the whole
// control and the fore image (or forecolor) over the part that is done.
// A fore image with a "corner" stretches to the done part, keeping its
// rounded ends; without one it is cut off at the value.
#pragma once
#include "ui/toolkit/Label.h"

namespace DuiLib {

class CProgressUI : public CLabelUI {
public:
    CDuiString GetClass() const override { return L"Progress"; }

    int GetMinValue() const { return min_; }
    void SetMinValue(int value);
    int GetMaxValue() const { return max_; }
    void SetMaxValue(int value);
    int GetValue() const { return value_; }
    // Clamped to [min, max].
    void SetValue(int value);
    void SetForeImage(std::wstring_view description);
    void SetForeColor(DWORD argb);

    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    // High contrast draws the bar in the selection colour instead.
    bool ImagesOnlyDecorate() const override { return true; }
    void PaintStatusImage(const Canvas& canvas, const RECT& clip) override;

private:
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    std::optional<ImageDescription> foreImage_;
    DWORD foreColor_ = 0;
};

}  // namespace DuiLib
