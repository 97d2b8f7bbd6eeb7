// CWindowWnd: a top-level window with its own registered window class and a
// virtual message handler. ShowModal runs a nested message loop with the
// owner disabled and returns the code passed to Close.
#pragma once
#include <windows.h>

namespace DuiLib {

class CWindowWnd {
public:
    CWindowWnd() = default;
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    HWND Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                HMENU hMenu = nullptr);
    HWND Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU hMenu = nullptr);
    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    // (UINT)-1 when the window does not exist or goes away without Close.
    UINT ShowModal();
    // Closes the window with this code (the first code given wins).
    void Close(UINT nRet = IDOK);
    // Over the owner when it is visible, else on its monitor's work area.
    void CenterWindow();
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    bool KillTimer(UINT_PTR id);
    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    bool IsClosing() const { return closing_; }

protected:
    virtual LPCWSTR GetWindowClassName() const = 0;
    virtual UINT GetClassStyle() const { return 0; }
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // The window is gone and no message of it is being handled any more:
    // windows made with new may delete themselves here.
    virtual void OnFinalMessage(HWND hWnd);
    // WM_CLOSE that did not come from Close (Alt+F4, the system menu, another
    // program); the default closes with IDCANCEL.
    virtual void OnCloseRequest();
    // False when the window has nothing to show; ShowModal then destroys it
    // and returns (UINT)-1 at once.
    virtual bool CanShowModal() const { return true; }

    HWND m_hWnd = nullptr;

private:
    bool RegisterWindowClass();
    LRESULT OnCloseMessage();
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    bool closing_ = false;
    UINT closeCode_ = static_cast<UINT>(-1);
    UINT* modalResult_ = nullptr;
    HWND modalOwner_ = nullptr;
    int depth_ = 0;
    bool destroyed_ = false;
};

}  // namespace DuiLib
