// WindowImplBase: the base of every window of the product. A window names
// its class, its layout file and resource folder; the base builds the
// layout on WM_CREATE, calls InitWindow (not when the layout failed to
// load), and routes messages:
//   HandleCustomMessage (the window's own, with a handled flag)
//   -> the base's window handling (frame, caption, size limits, close)
//   -> the paint manager (painting, controls, input) -> DefWindowProc.
// Notify's default handles "click" on closebtn (Close(IDCANCEL)), minbtn,
// maxbtn and restorebtn. Escape, Alt+F4 and WM_CLOSE from outside act like
// a click on a visible, enabled closebtn (else Close(IDCANCEL)).
#pragma once
#include "ui/toolkit/DialogBuilder.h"
#include "ui/toolkit/PaintManager.h"
#include "ui/toolkit/WindowWnd.h"

namespace DuiLib {

class WindowImplBase : public CWindowWnd, public INotifyUI, public IDialogBuilderCallback {
public:
    WindowImplBase() = default;
    ~WindowImplBase() override;

    virtual void InitWindow() {}
    void Notify(TNotifyUI& msg) override;
    CControlUI* CreateControl(std::wstring_view className) override;
    CPaintManagerUI& GetPaintManager() { return m_PaintManager; }
    // False when the layout could not be loaded (the window then stays empty).
    bool IsLayoutLoaded() const { return layoutLoaded_; }

protected:
    LPCWSTR GetWindowClassName() const override = 0;
    // The layout: a file name in the resources, or XML text.
    virtual CDuiString GetSkinFile() = 0;
    virtual CDuiString GetSkinFolder() { return L""; }

    virtual void OnClick(TNotifyUI& msg);
    virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnCloseRequest() override;
    bool CanShowModal() const override { return layoutLoaded_; }
    // Clicks closebtn if it can be clicked, else closes with IDCANCEL.
    void CloseLikeCloseButton();

    CPaintManagerUI m_PaintManager;

private:
    LRESULT OnNcHitTest(LPARAM lParam);
    LRESULT OnGetMinMaxInfo(LPARAM lParam);
    bool layoutLoaded_ = false;
};

}  // namespace DuiLib
