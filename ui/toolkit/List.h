// A list with a header of columns and rows below it. Rows are containers
// (often built from a template with CDialogBuilder); a row's children take
// the header's columns in order, fixed-size children centred in their cell.
// Rows that do not fit scroll with the wheel and a scroll bar. header="hidden"
// keeps the columns but neither shows the header nor gives it room.
#pragma once
#include "ui/toolkit/HorizontalLayout.h"
#include "ui/toolkit/Label.h"
#include "ui/toolkit/VerticalLayout.h"

namespace DuiLib {

class CListHeaderItemUI : public CLabelUI {
public:
    CListHeaderItemUI();
    CDuiString GetClass() const override { return L"ListHeaderItem"; }
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    void PaintBorder(const Canvas& canvas, const RECT& clip) override;

private:
    DWORD sepColor_ = 0;
};

class CListHeaderUI : public CHorizontalLayoutUI {
public:
    CListHeaderUI();
    CDuiString GetClass() const override { return L"ListHeader"; }
};

class CListContainerElementUI : public CHorizontalLayoutUI {
public:
    CDuiString GetClass() const override { return L"ListContainerElement"; }
    void SetPos(RECT rc) override;
};

class CListUI : public CVerticalLayoutUI {
public:
    CListUI();
    CDuiString GetClass() const override { return L"List"; }

    CListHeaderUI* GetHeader() const { return header_; }
    CVerticalLayoutUI* GetList() const { return body_; }

    // Header items go to the header, everything else becomes a row.
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;

    int GetScrollPos() const;
    int GetScrollRange() const;
    void SetScrollPos(int pos);
    void SetPos(RECT rc) override;

    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

private:
    CListHeaderUI* header_ = nullptr;
    CVerticalLayoutUI* body_ = nullptr;
    bool headerHidden_ = false;  // header="hidden": no room, but still the columns
};

}  // namespace DuiLib
