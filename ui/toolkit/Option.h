// A button that stays selected. Options with the same "group" in a window
// exclude each other: selecting one clears the others. A click sends
// "click", then "selectchanged" from the option that became selected (and,
// without a group, also when it was cleared). "stateimage" columns for
// options: normal, hot, selected (and disabled when "statecount" is 4).
#pragma once
#include "ui/toolkit/Button.h"

namespace DuiLib {

class COptionUI : public CButtonUI {
public:
    COptionUI();
    ~COptionUI() override;
    CDuiString GetClass() const override { return L"Option"; }

    bool IsSelected() const { return selected_; }
    // Sends "selectchanged" when the state changes and notify is set.
    void Selected(bool selected, bool notify = true);
    CDuiString GetGroup() const { return group_; }
    void SetGroup(std::wstring_view group);
    void SetSelectedImage(std::wstring_view description);
    void SetSelectedBkColor(DWORD argb) { selectedBkColor_ = argb; }
    void SetSelectedTextColor(DWORD argb) { selectedTextColor_ = argb; }

    bool Activate() override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    void PaintBkColor(const Canvas& canvas, const RECT& clip) override;
    void PaintText(const Canvas& canvas, const RECT& clip) override;
    const std::optional<ImageDescription>& ImageForState() const override;

private:
    bool ShowsSelection() const;

    bool selected_ = false;
    CDuiString group_;
    std::optional<ImageDescription> selectedImage_, selectedHotImage_;
    DWORD selectedBkColor_ = 0, selectedTextColor_ = 0;
    mutable std::optional<ImageDescription> scratch_;
};

}  // namespace DuiLib
