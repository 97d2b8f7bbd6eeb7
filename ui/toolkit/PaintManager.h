// CPaintManagerUI: the control tree of one window. It lays the tree out,
// paints it double-buffered, turns mouse and keyboard messages into control
// events, sends notifications to the window, and keeps the window's fonts,
// timers, caption area, corners and shadow. Its static part holds the
// process-wide resource settings and the message loop.
#pragma once
#include <windows.h>

#include <memory>
#include <string_view>
#include <vector>

#include "ui/toolkit/Canvas.h"
#include "ui/toolkit/Control.h"
#include "ui/toolkit/Dpi.h"
#include "ui/toolkit/Font.h"
#include "ui/toolkit/Image.h"
#include "ui/toolkit/Notify.h"
#include "ui/toolkit/Resources.h"
#include "ui/toolkit/UIString.h"

namespace DuiLib {

class AccessibleWindow;
class ShadowWindow;
class CRichEditUI;

struct WindowShadow {
    bool enabled = false;
    CDuiString image;   // nine-slice image; empty: a drawn soft shadow
    int size = 0;       // how far the shadow reaches past each edge
    RECT corner{};      // unscaled borders of the image
    DWORD color = 0x40000000;  // of the drawn shadow
};

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // ---- process-wide resources
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE GetInstance();
    static CDuiString GetInstancePath();
    static void SetResourceDll(HINSTANCE module);
    static HINSTANCE GetResourceDll();
    static void SetResourceType(int type);
    static int GetResourceType();
    static void SetResourcePath(std::wstring_view path);
    static CDuiString GetResourcePath();
    // The layout archive in memory (copied). False when the bytes are not a zip;
    // the windows then cannot load their layouts.
    static bool SetResourceZip(const void* data, unsigned int size);
    // Releases the shared image, font and zip caches (at exit, after the loop).
    static void ReleaseResources();

    // Runs until WM_QUIT (whose code it posts again if it came inside a modal loop).
    static void MessageLoop();
    // The toolkit's look at a message before dispatch; true when it took it.
    static bool TranslateMessage(const MSG* msg);

    // ---- this window
    void Init(HWND hwnd);
    HWND GetPaintWindow() const { return hwnd_; }
    // Takes ownership of the tree and lays it out.
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return root_.get(); }
    // The folder in the resources that this window's files live in.
    void SetSkinFolder(std::wstring_view folder) { skinFolder_ = folder; }
    const CDuiString& GetSkinFolder() const { return skinFolder_; }
    bool LoadResourceFile(std::wstring_view file, std::string& out) const;
    std::shared_ptr<const Image> GetImage(std::wstring_view file) const;
    // The image to draw at this window's scale (a double-size file where there is one).
    ScaledImage GetScaledImage(std::wstring_view file, int plainUpTo = DpiScale::kBaseDpi) const;

    // The window's scale: every layout value is multiplied by it. The
    // display's, grown by the system's text scale and bounded by the work
    // area (LayoutDpi).
    const DpiScale& GetDpiScale() const { return dpi_; }
    int GetDisplayDpi() const { return displayDpi_; }
    // Lays the window out for another display DPI and resizes it in
    // proportion, or places it at `placement` (the system's choice on a move
    // to another monitor) at the size its scale gives.
    void SetDpi(int dpi, const RECT* placement = nullptr);
    // The system's look changed (text scale, high contrast, its colours):
    // read it again, lay out and paint anew.
    void OnSystemLookChanged();

    // First control with this name in tree order.
    CControlUI* FindControl(std::wstring_view name) const;
    CControlUI* FindControl(POINT pt) const;
    template <class T>
    T* Find(std::wstring_view name) const {
        return dynamic_cast<T*>(FindControl(name));
    }
    CControlUI* FindSubControlByName(CControlUI* parent, std::wstring_view name) const;

    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* sender, std::wstring_view type, WPARAM wParam = 0, LPARAM lParam = 0);
    void SendNotify(TNotifyUI& msg);

    // Window properties from the layout's Window element, in layout units.
    SIZE GetInitSize() const { return initSize_; }
    // Sizes the window; an owned window not yet shown (a dialog) is also
    // placed over its owner, on the owner's monitor (PlaceDialog).
    void SetInitSize(int cx, int cy);
    SIZE GetMinInfo() const { return minInfo_; }
    void SetMinInfo(int cx, int cy) { minInfo_ = {cx, cy}; }
    SIZE GetMaxInfo() const { return maxInfo_; }
    void SetMaxInfo(int cx, int cy) { maxInfo_ = {cx, cy}; }
    // Drag area; a negative bottom means "to the window's bottom".
    RECT GetCaptionRect() const { return caption_; }
    void SetCaptionRect(const RECT& rc) { caption_ = rc; }
    SIZE GetRoundCorner() const { return roundCorner_; }
    void SetRoundCorner(int cx, int cy);
    RECT GetSizeBox() const { return sizeBox_; }
    void SetSizeBox(const RECT& rc) { sizeBox_ = rc; }
    const WindowShadow& GetShadow() const { return shadow_; }
    void SetShadow(const WindowShadow& shadow);
    void SetWindowAttribute(std::wstring_view name, std::wstring_view value);

    // Fonts by id; the default serves id -1 and unknown ids.
    void AddFont(int id, const FontSpec& spec, bool isDefault);
    std::shared_ptr<FontHandle> GetFont(int id, bool bold = false, bool underline = false, bool italic = false) const;
    HFONT GetFontHandle(int id) const;
    int GetFontCount() const { return static_cast<int>(fonts_.size()); }

    // Timers of controls; UIEVENT_TIMER carries the control's own id.
    bool SetTimer(CControlUI* control, UINT id, UINT elapseMs);
    bool KillTimer(CControlUI* control, UINT id);
    void KillTimers(CControlUI* control);

    // Focus (Focus.cpp). Tab and the arrows move it from the keyboard; the
    // mark around the focused control shows once the keyboard moved it and
    // hides again at the next mouse press. Every change is told to screen
    // readers (EVENT_OBJECT_FOCUS).
    CControlUI* GetFocus() const { return focus_; }
    void SetFocus(CControlUI* control);
    bool IsFocusMarkShown() const { return focusMark_; }
    // Enter presses this button unless the focused control takes Enter itself
    // (the layout's "defaultbutton").
    void SetDefaultButton(std::wstring_view name) { defaultButton_ = name; }
    // The control is being hidden, disabled or removed (anchor: where it
    // stood in layout order, still in the tree). Focus inside it moves on to
    // the next tab stop after anchor at the next layout, when the stops have
    // their places. A window's first focus is placed at the first layout that
    // finds a stop: the default button, or else the first tab stop other than
    // the caption's window buttons.
    void FocusMayLeave(CControlUI* control, CControlUI* anchor);
    CControlUI* GetHot() const { return hot_; }

    void Invalidate();
    void Invalidate(const RECT& rc);
    void NeedUpdate();
    // Lays the tree out now if it is marked for it.
    void UpdateLayout();
    // Paints the area of the tree into dc (double-buffered).
    void Render(HDC dc, const RECT& area);
    // Paints the whole client area into premultiplied pixels (for snapshots).
    bool RenderToPixels(std::vector<uint32_t>& pixels, int& width, int& height);

    // The manager's part of the window procedure; true when it handled uMsg.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // A control is going away: forget every reference to it.
    void ReapObjects(CControlUI* control);
    void RegisterHostedEdit(CRichEditUI* edit);
    void UnregisterHostedEdit(CRichEditUI* edit);
    void UpdateToolTip();  // ToolTip.cpp
    // What screen readers see of this window; made on first use.
    AccessibleWindow& GetAccessible();

private:
    struct TimerInfo {
        CControlUI* control;
        UINT id;
        UINT_PTR windowId;
    };
    struct FontEntry {
        int id;
        FontSpec spec;
    };

    static TEventUI MakeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PaintBuffer(const RECT& area, RECT& painted);
    // Mouse and keyboard messages (Input.cpp).
    bool HandleInput(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void DispatchMouse(int type, WPARAM wParam, LPARAM lParam);
    void SetHot(CControlUI* control, POINT pt);
    // Focus.cpp
    bool HandleFocusKey(UINT key);
    bool HandleAccessKey(wchar_t key);
    void FocusByKeyboard(CControlUI* control);
    void FocusChanged();
    void SettleFocus();  // after a layout
    void PlaceFocus(CControlUI* control);
    void ShowFocusMark(bool shown);
    void PaintFocusMark(const Canvas& canvas, const RECT& clip);
    void SyncHostedEdits();
    // Lays out at the scale LayoutDpi gives; a top-level window takes the
    // size it gives, at `placement` (taken whole when `proportional`).
    void ApplyScale(const RECT* placement, bool proportional);
    // Keeps a top-level window inside its monitor's work area.
    void FitToWorkArea(RECT rc);
    void ApplyWindowShape();
    void UpdateShadow();

    HWND hwnd_ = nullptr;
    DpiScale dpi_;
    int displayDpi_ = DpiScale::kBaseDpi;
    std::unique_ptr<CControlUI> root_;
    CDuiString skinFolder_;
    std::vector<INotifyUI*> notifiers_;
    BackBuffer backBuffer_;
    bool needUpdate_ = true;
    bool firstLayout_ = true;

    SIZE initSize_{};
    SIZE minInfo_{};
    SIZE maxInfo_{};
    RECT caption_{};
    SIZE roundCorner_{};
    RECT sizeBox_{};
    WindowShadow shadow_;
    std::unique_ptr<ShadowWindow> shadowWindow_;
    bool painted_ = false;  // the shadow comes after the first paint

    std::vector<FontEntry> fonts_;
    int defaultFont_ = -1;  // index into fonts_

    std::vector<TimerInfo> timers_;
    UINT_PTR nextTimerId_ = 0x7F00;

    CControlUI* hot_ = nullptr;
    CControlUI* capture_ = nullptr;
    CControlUI* focus_ = nullptr;
    bool focusMark_ = false;
    CControlUI* focusAnchor_ = nullptr;  // set while focus waits to move on
    bool initialFocus_ = true;
    CDuiString defaultButton_;
    bool trackingMouse_ = false;

    HWND toolTip_ = nullptr;
    CControlUI* toolTipFor_ = nullptr;
    std::wstring toolTipText_;
    std::vector<CRichEditUI*> edits_;
    SIZE shapeSize_{};
    std::shared_ptr<AccessibleWindow> accessible_;  // readers' objects hold it weakly
};

}  // namespace DuiLib
