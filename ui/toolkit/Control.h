// CControlUI: the base of every control. A control is a rectangle in its
// window's client area with a name, a text, colours, images and a state;
// containers place it, the paint manager paints it and feeds it input.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

#include "ui/toolkit/Canvas.h"
#include "ui/toolkit/Dpi.h"
#include "ui/toolkit/ImageDescription.h"
#include "ui/toolkit/Notify.h"
#include "ui/toolkit/SystemLook.h"
#include "ui/toolkit/UIString.h"

namespace DuiLib {

class CPaintManagerUI;

// Text properties shared by controls that draw a text.
struct TextStyle {
    int font = -1;                 // font id of the window; -1: its default
    DWORD color = 0;               // 0: the window's default (black)
    DWORD disabledColor = 0;       // 0: kDisabledTextColor
    UINT align = DT_LEFT | DT_VCENTER;
    RECT padding{};
    bool wordWrap = false;
    bool endEllipsis = false;
    bool markup = false;           // showhtml: "<c #..>", "<f n>" and friends
};

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CDuiString GetClass() const { return L"Control"; }

    CDuiString GetName() const { return name_; }
    void SetName(std::wstring_view name) { name_ = name; }
    virtual CDuiString GetText() const { return text_; }
    virtual void SetText(std::wstring_view text);
    CDuiString GetToolTip() const { return toolTip_; }
    void SetToolTip(std::wstring_view text) { toolTip_ = text; }
    UINT_PTR GetTag() const { return tag_; }
    void SetTag(UINT_PTR tag) { tag_ = tag; }

    // Named string values a window stores on a control (for example a row's URL).
    void AddCustomAttribute(std::wstring_view name, std::wstring_view value);
    CDuiString GetCustomAttribute(std::wstring_view name) const;  // empty when missing
    bool HasCustomAttribute(std::wstring_view name) const;
    void RemoveCustomAttribute(std::wstring_view name);

    bool IsVisible() const { return visible_; }
    virtual void SetVisible(bool visible = true);
    bool IsVisibleInTree() const;  // it and every ancestor
    bool IsEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled = true);
    bool IsEnabledInTree() const;
    bool IsMouseEnabled() const { return mouseEnabled_; }
    void SetMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
    bool IsFocused() const;
    void SetFocus();
    // Takes part in input (the focusable kinds, see Focus::IsFocusable);
    // elsewhere a press inside the caption area drags the window.
    virtual bool IsInteractive() const;

    DWORD GetBkColor() const { return bkColor_; }
    void SetBkColor(DWORD argb);
    CDuiString GetBkImage() const { return bkImage_; }
    virtual void SetBkImage(std::wstring_view description);
    DWORD GetBorderColor() const { return borderColor_; }
    void SetBorderColor(DWORD argb);
    RECT GetBorderSize() const { return borderSize_; }
    void SetBorderSize(int size) { SetBorderSize(RECT{size, size, size, size}); }
    void SetBorderSize(const RECT& sides);
    SIZE GetBorderRound() const { return borderRound_; }
    void SetBorderRound(SIZE round);

    // Text properties; used by the controls that draw a text.
    const TextStyle& GetTextStyle() const { return textStyle_; }
    DWORD GetTextColor() const { return textStyle_.color; }
    void SetTextColor(DWORD argb);
    int GetFont() const { return textStyle_.font; }
    void SetFont(int id);
    UINT GetTextAlign() const { return textStyle_.align; }
    void SetTextAlign(UINT align);
    void SetShowHtml(bool markup);

    // Geometry: the position is in pixels of the client area, set by the
    // parent; padding, fixed and float sizes are in layout units (96 DPI).
    const RECT& GetPos() const { return pos_; }
    virtual void SetPos(RECT rc);
    RECT GetPadding() const { return padding_; }
    void SetPadding(const RECT& padding);
    int GetFixedWidth() const { return fixedSize_.cx; }
    void SetFixedWidth(int cx);
    int GetFixedHeight() const { return fixedSize_.cy; }
    void SetFixedHeight(int cy);
    bool IsFloat() const { return float_; }
    // A float control sits at `pos` relative to its parent's top left.
    void SetFloatPos(const RECT& pos);
    RECT GetFloatPos() const { return floatPos_; }
    // The size in pixels a parent should give it; 0 on an axis means "stretch".
    virtual SIZE EstimateSize(SIZE available);

    CPaintManagerUI* GetManager() const { return manager_; }
    CControlUI* GetParent() const { return parent_; }
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
    // Visits it and its descendants in tree order; stops when visit returns true.
    virtual CControlUI* FindControl(const std::function<bool(CControlUI*)>& visit);
    // Deepest visible control at the point, or nullptr.
    virtual CControlUI* FindControlAt(POINT pt);

    void Invalidate();
    // Asks the window to lay out again before the next paint.
    void NeedUpdate();
    void NeedParentUpdate();

    virtual void DoPaint(const Canvas& canvas, const RECT& clip);
    virtual void DoEvent(TEventUI& event);
    // Runs the control's action (a button's click); false when disabled.
    virtual bool Activate();
    virtual void DoInit() {}

    virtual void SetAttribute(std::wstring_view name, std::wstring_view value);
    // "name='value' other='x'": applies each pair with SetAttribute.
    void ApplyAttributeList(std::wstring_view list);

    // Expires when the control is destroyed: an action that sent a
    // notification checks it before it touches the control again, since
    // the handler may have removed the control or its container.
    std::weak_ptr<const void> Lifetime() const { return lifetime_; }
    // The scale of the control's window (unscaled before it joins one).
    const DpiScale& Dpi() const;

protected:
    virtual void PaintBkColor(const Canvas& canvas, const RECT& clip);
    virtual void PaintBkImage(const Canvas& canvas, const RECT& clip);
    virtual void PaintStatusImage(const Canvas&, const RECT&) {}
    virtual void PaintText(const Canvas&, const RECT&) {}
    virtual void PaintBorder(const Canvas& canvas, const RECT& clip);

    // Draws an image description inside `area` (the control's rectangle by default).
    bool DrawImage(const Canvas& canvas, const RECT& clip, const std::optional<ImageDescription>& image,
                   const RECT* area = nullptr, size_t frame = 0);
    // The same from a file already chosen for the scale (PickImage).
    bool DrawImage(const Canvas& canvas, const RECT& clip, const ImageDescription& image, const ScaledImage& chosen,
                   const RECT* area, size_t frame);
    // Draws `text` with the control's text style inside rc minus the text padding.
    void DrawText(const Canvas& canvas, const RECT& clip, std::wstring_view text, const RECT& rc, DWORD color);
    DWORD EffectiveTextColor() const;

    // Colours and images as the system's look asks (SystemLook): every
    // layout colour a control draws goes through these.
    // Something to press or pick; else a surface.
    ColorRole BackgroundRole() const { return IsInteractive() ? ColorRole::ButtonFace : ColorRole::Window; }
    // A text colour of the layout's for the control's state.
    DWORD TextColor(DWORD layoutColor) const;
    // Fills the control's shape; in high contrast a button with a text gets
    // its face even where the layout drew it with an image alone.
    void FillBackground(const Canvas& canvas, DWORD layoutColor, const RECT& clip);
    // False in high contrast for images that only decorate.
    bool ShowsImages() const;
    // An image behind the control's text or children, not its content.
    virtual bool ImagesOnlyDecorate() const { return !GetText().empty(); }

    CPaintManagerUI* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    CDuiString name_;
    CDuiString text_;
    CDuiString toolTip_;
    UINT_PTR tag_ = 0;
    std::map<std::wstring, std::wstring, std::less<>> customAttributes_;

    RECT pos_{};
    RECT padding_{};
    SIZE fixedSize_{};
    bool float_ = false;
    RECT floatPos_{};

    bool visible_ = true;
    bool enabled_ = true;
    bool mouseEnabled_ = true;

    DWORD bkColor_ = 0;
    CDuiString bkImage_;
    std::optional<ImageDescription> bkImageDesc_;
    DWORD borderColor_ = 0;
    RECT borderSize_{};
    SIZE borderRound_{};
    TextStyle textStyle_;

private:
    std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
};

}  // namespace DuiLib
