// A label that can be clicked: a press and release inside it (or Space or
// Enter while focused) sends "click". Its look follows its state: normal,
// hot (under the mouse), pushed, disabled; from images or colours.
// "stateimage" takes one file with the states side by side
// (normal, hot, pushed, disabled; "statecount" columns, 4 by default).
#pragma once
#include "ui/toolkit/Label.h"

namespace DuiLib {

enum UISTATE : UINT {
    UISTATE_HOT = 0x01,
    UISTATE_PUSHED = 0x02,
    UISTATE_CAPTURED = 0x04,
    UISTATE_SELECTED = 0x08,
};

class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    CDuiString GetClass() const override { return L"Button"; }

    void SetNormalImage(std::wstring_view description);
    void SetHotImage(std::wstring_view description);
    void SetPushedImage(std::wstring_view description);
    void SetDisabledImage(std::wstring_view description);
    void SetHotBkColor(DWORD argb) { hotBkColor_ = argb; }
    void SetPushedBkColor(DWORD argb) { pushedBkColor_ = argb; }
    void SetHotTextColor(DWORD argb) { hotTextColor_ = argb; }
    UINT GetButtonState() const { return state_; }

    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    void SetEnabled(bool enabled = true) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    void PaintBkColor(const Canvas& canvas, const RECT& clip) override;
    void PaintStatusImage(const Canvas& canvas, const RECT& clip) override;
    void PaintText(const Canvas& canvas, const RECT& clip) override;
    // Column `index` of the state image, or nullopt.
    std::optional<ImageDescription> StateImage(int index) const;
    virtual const std::optional<ImageDescription>& ImageForState() const;

    UINT state_ = 0;
    std::optional<ImageDescription> normalImage_, hotImage_, pushedImage_, disabledImage_;
    std::optional<ImageDescription> stateImage_;
    int stateCount_ = 4;
    DWORD hotBkColor_ = 0, pushedBkColor_ = 0, disabledBkColor_ = 0;
    DWORD hotTextColor_ = 0, pushedTextColor_ = 0;

private:
    mutable std::optional<ImageDescription> scratch_;
};

}  // namespace DuiLib
