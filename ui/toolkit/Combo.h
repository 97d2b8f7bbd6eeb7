// A drop-down list. Its items are CListLabelElementUI children (a text and
// an integer tag). A click, Space, Enter, F4 or Alt+Down opens the drop-down,
// where the mouse or Up/Down/Home/End and Enter pick an item; Up/Down on the
// closed combo pick directly. A new selection sends "itemselect" (wParam the
// new index, lParam the old).
#pragma once
#include "ui/toolkit/Container.h"
#include "ui/toolkit/ListLabelElement.h"

namespace DuiLib {

class ComboDropDown;

class CComboUI : public CContainerUI {
public:
    CComboUI();
    ~CComboUI() override;
    CDuiString GetClass() const override { return L"Combo"; }

    // Appends an item; height 0 uses the combo's item height. Returns its index.
    int AddItem(std::wstring_view text, int tag = 0, int height = 0);
    int GetCurSel() const { return current_; }
    bool SelectItem(int index, bool notify = true);
    CDuiString GetItemText(int index) const;
    int GetItemTag(int index) const;  // 0 for a bad index
    CDuiString GetText() const override;

    bool ShowDropDown();
    void CloseDropDown();
    bool IsDroppedDown() const;
    HWND GetDropDownWindow() const;
    // The item highlighted in the open drop-down; -1 when it is closed.
    int GetDropDownHot() const;
    // Where the open drop-down shows the item, in screen coordinates; false
    // when it is closed (an empty rectangle) or the item is scrolled away.
    bool GetDropDownItemRect(int index, RECT& screen) const;
    // Item height and the drop-down's size limit, for the drop-down window.
    int ItemHeight(int index) const;
    int DropDownHeight() const;

    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    void SetPos(RECT rc) override;
    CControlUI* FindControlAt(POINT pt) override;
    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    void DoPaint(const Canvas& canvas, const RECT& clip) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    // Look of the drop-down's items.
    struct ItemStyle {
        int height = 30;
        int font = -1;
        DWORD textColor = 0xFF333333;
        DWORD hotBkColor = 0xFFE8F2FE;
        DWORD selectedBkColor = 0xFFD3E6FD;
        DWORD bkColor = 0xFFFFFFFF;
        RECT textPadding{10, 0, 10, 0};
    };
    const ItemStyle& GetItemStyle() const { return itemStyle_; }

private:
    friend class ComboDropDown;
    void PaintArrow(const Canvas& canvas, const RECT& clip);

    int current_ = -1;
    UINT state_ = 0;
    int dropHeight_ = 200;
    ItemStyle itemStyle_;
    std::optional<ImageDescription> normalImage_, hotImage_, pushedImage_, disabledImage_;
    DWORD hotBorderColor_ = 0xFF238EF9;
    ComboDropDown* dropDown_ = nullptr;
};

}  // namespace DuiLib
