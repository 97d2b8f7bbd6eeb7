#include "ui/toolkit/WindowWnd.h"

#include <algorithm>
#include <exception>
#include <map>
#include <utility>

#include "ui/toolkit/PaintManager.h"
#include "ui/toolkit/Resources.h"

namespace DuiLib {
namespace {

// Modal windows open over each owner. Two may share one (a notice over the
// main window while the check window runs): the owner is enabled again only
// when the last of them goes, and only if the first found it enabled.
struct OwnerHold {
    int count = 0;
    bool disabled = false;
};

std::map<HWND, OwnerHold>& OwnerHolds() {
    static std::map<HWND, OwnerHold> holds;
    return holds;
}

void HoldOwner(HWND owner) {
    OwnerHold& hold = OwnerHolds()[owner];
    if (hold.count++ == 0 && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        hold.disabled = true;
    }
}

void ReleaseOwner(HWND owner) {
    auto it = OwnerHolds().find(owner);
    if (!owner || it == OwnerHolds().end()) return;
    if (--it->second.count > 0) return;
    bool enable = it->second.disabled;
    OwnerHolds().erase(it);
    if (enable && IsWindow(owner)) EnableWindow(owner, TRUE);
}

// Where a window over `owner` goes: the owner's centre, or its monitor's
// when the owner is hidden or minimised.
POINT OwnerCentre(HWND owner) {
    RECT rc{};
    if (IsIconic(owner) || !IsWindowVisible(owner) || !GetWindowRect(owner, &rc)) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor);
        rc = monitor.rcWork;
    }
    return POINT{rc.left + (rc.right - rc.left) / 2, rc.top + (rc.bottom - rc.top) / 2};
}

}  // namespace

CWindowWnd::~CWindowWnd() {
    // The object goes before its window: detach, so no message reaches a dead object.
    if (m_hWnd && IsWindow(m_hWnd)) {
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hWnd);
    }
    ReleaseOwner(std::exchange(modalOwner_, nullptr));  // a detached window sent us no WM_NCDESTROY
}

bool CWindowWnd::RegisterWindowClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = GetClassStyle();
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = Resources::Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = GetWindowClassName();
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                        HMENU hMenu) {
    return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                  hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent, LPCWSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y, int cx,
                        int cy, HMENU hMenu) {
    if (m_hWnd || !RegisterWindowClass()) return nullptr;
    closing_ = false;
    closeCode_ = static_cast<UINT>(-1);
    destroyed_ = false;
    // A popup given no place opens over its owner, not in the primary
    // monitor's corner: the system makes it at the owner's monitor's scale.
    if (hwndParent && (dwStyle & WS_POPUP) && !(dwStyle & WS_CHILD) && x == CW_USEDEFAULT) {
        POINT at = OwnerCentre(hwndParent);
        x = at.x;
        y = at.y;
        cx = cy = 0;  // the layout sizes it
    }
    // Held across creation: a window that fails to be created must not
    // delete this object under the caller.
    ++depth_;
    HWND hwnd = CreateWindowExW(dwExStyle, GetWindowClassName(), pstrName ? pstrName : L"", dwStyle, x, y, cx, cy,
                                hwndParent, hMenu, Resources::Instance(), this);
    --depth_;
    if (!hwnd) {
        destroyed_ = false;
        m_hWnd = nullptr;
    }
    return hwnd;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
    if (!IsWindow(m_hWnd)) return;
    ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
    HWND hwnd = m_hWnd;
    if (!IsWindow(hwnd)) return static_cast<UINT>(-1);
    if (!CanShowModal()) {
        // Nothing to show (no layout): a hidden modal loop would never end.
        DestroyWindow(hwnd);
        return static_cast<UINT>(-1);
    }
    UINT result = closing_ ? closeCode_ : static_cast<UINT>(-1);
    modalResult_ = &result;
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (owner && !modalOwner_) {
        HoldOwner(owner);
        modalOwner_ = owner;
    }
    ::ShowWindow(hwnd, SW_SHOWNORMAL);

    MSG msg{};
    bool quit = false;
    while (IsWindow(hwnd)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            break;
        }
        if (got == -1) break;
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The object may be gone with its window (which then released the owner);
    // touch it only while the window lives.
    if (IsWindow(hwnd)) {
        modalResult_ = nullptr;
        ReleaseOwner(std::exchange(modalOwner_, nullptr));
    }
    if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
    return result;
}

void CWindowWnd::Close(UINT nRet) {
    if (!IsWindow(m_hWnd)) return;
    if (!closing_) {
        closing_ = true;
        closeCode_ = nRet;
        if (modalResult_) *modalResult_ = nRet;
    }
    ::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(nRet), 0);
}

void CWindowWnd::CenterWindow() {
    if (!IsWindow(m_hWnd)) return;
    RECT rc;
    GetWindowRect(m_hWnd, &rc);
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    bool overOwner = owner && IsWindowVisible(owner) && !IsIconic(owner);
    MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(overOwner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT area = monitor.rcWork;
    RECT center = area;
    if (overOwner) GetWindowRect(owner, &center);
    int x = center.left + ((center.right - center.left) - width) / 2;
    int y = center.top + ((center.bottom - center.top) - height) / 2;
    x = std::max<int>(area.left, std::min<int>(x, area.right - width));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - height));
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT_PTR CWindowWnd::SetTimer(UINT_PTR id, UINT elapseMs) { return ::SetTimer(m_hWnd, id, elapseMs, nullptr); }

bool CWindowWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id) != FALSE; }

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::OnCloseMessage() {
    // The owner first, or Windows activates some other program's window.
    ReleaseOwner(std::exchange(modalOwner_, nullptr));
    DestroyWindow(m_hWnd);
    return 0;
}

void CWindowWnd::OnCloseRequest() { Close(IDCANCEL); }

void CWindowWnd::OnFinalMessage(HWND) {}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_CLOSE) {
        if (closing_) return OnCloseMessage();
        OnCloseRequest();
        return 0;
    }
    return DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* self = nullptr;
    if (uMsg == WM_NCCREATE) {
        self = static_cast<CWindowWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self) {
            self->m_hWnd = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, uMsg, wParam, lParam);

    ++self->depth_;
    LRESULT result = 0;
    try {
        result = self->HandleMessage(uMsg, wParam, lParam);
    } catch (...) {
        // Nothing may cross the window procedure, and a handler that threw
        // left its window half-done: a crash, reported as terminate.
        std::terminate();
    }
    if (uMsg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        self->modalResult_ = nullptr;
        ReleaseOwner(std::exchange(self->modalOwner_, nullptr));
        self->destroyed_ = true;
    }
    // OnFinalMessage waits until no handler of this window is on the stack
    // (a click handler that ran a nested modal loop, for example).
    if (--self->depth_ == 0 && self->destroyed_) {
        self->destroyed_ = false;
        try {
            self->OnFinalMessage(hwnd);
        } catch (...) {
            std::terminate();
        }
    }
    return result;
}

}  // namespace DuiLib
