// CContainerUI: a control that owns child controls. The plain container
// gives every child its whole inner area; the layouts stack them. A
// container with a vertical scroll bar ("vscrollbar") scrolls its children
// with the wheel and a draggable bar when they do not fit.
#pragma once
#include <vector>

#include "ui/toolkit/Control.h"

namespace DuiLib {

class CContainerUI : public CControlUI {
public:
    CContainerUI() = default;
    ~CContainerUI() override;

    CDuiString GetClass() const override { return L"Container"; }
    // Its image lies behind its children.
    bool ImagesOnlyDecorate() const override { return true; }

    // The container owns what it holds and deletes it on removal.
    virtual bool Add(CControlUI* control);
    virtual bool AddAt(CControlUI* control, int index);
    virtual bool Remove(CControlUI* control);
    virtual bool RemoveAt(int index);
    virtual void RemoveAll();
    virtual int GetCount() const { return static_cast<int>(items_.size()); }
    virtual CControlUI* GetItemAt(int index) const;
    virtual int GetItemIndex(CControlUI* control) const;

    // First descendant with this name, in tree order.
    CControlUI* FindSubControl(std::wstring_view name);

    RECT GetInset() const { return inset_; }
    void SetInset(const RECT& inset);
    int GetChildPadding() const { return childPadding_; }
    void SetChildPadding(int padding);
    // Where children go when they leave room on an axis (DT_LEFT/CENTER/RIGHT,
    // DT_TOP/VCENTER/BOTTOM).
    UINT GetChildAlign() const { return childAlign_; }
    void SetChildAlign(UINT align);

    void EnableScrollBar(bool vertical = true);
    bool HasScrollBar() const { return scrollEnabled_; }
    bool IsScrollBarShown() const { return scrollRange_ > 0; }
    int GetScrollPos() const { return scrollPos_; }
    int GetScrollRange() const { return scrollRange_; }
    void SetScrollPos(int pos);
    void LineUp() { SetScrollPos(scrollPos_ - Dpi().Scale(scrollLine_)); }
    void LineDown() { SetScrollPos(scrollPos_ + Dpi().Scale(scrollLine_)); }
    void PageUp();
    void PageDown();
    // Scrolls so that the child is wholly visible.
    void EnsureVisible(CControlUI* child);

    void SetPos(RECT rc) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    CControlUI* FindControl(const std::function<bool(CControlUI*)>& visit) override;
    CControlUI* FindControlAt(POINT pt) override;
    void DoPaint(const Canvas& canvas, const RECT& clip) override;
    void DoEvent(TEventUI& event) override;
    bool IsInteractive() const override { return IsScrollBarShown() || CControlUI::IsInteractive(); }
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    // Inner area: the position minus inset, and minus the scroll bar when shown.
    RECT InnerRect() const;
    // The position minus the inset, in pixels.
    RECT InsetArea() const;
    // Where a float child goes: its layout position from this one's top left.
    RECT FloatRect(const CControlUI* child) const;
    // Called by layouts with the height their children need.
    void UpdateScroll(int contentHeight, int viewHeight);
    RECT ScrollBarRect() const;
    RECT ThumbRect() const;
    // A page of scrolling: the view less a line, at least a line.
    int PageStep() const;

    std::vector<CControlUI*> items_;
    RECT inset_{};
    int childPadding_ = 0;
    UINT childAlign_ = DT_LEFT | DT_TOP;

    bool scrollEnabled_ = false;
    int scrollPos_ = 0;
    int scrollRange_ = 0;
    int scrollLine_ = 40;      // layout units, as the other sizes
    int scrollBarWidth_ = 8;
    DWORD scrollThumbColor_ = 0xFFC1C7D0;
    DWORD scrollThumbHotColor_ = 0xFF9AA3AF;
    bool thumbHot_ = false;
    bool dragging_ = false;
    int dragStartY_ = 0;
    int dragStartPos_ = 0;
};

}  // namespace DuiLib
