#include "ui/toolkit/WindowImplBase.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/StartupTrace.h"

namespace DuiLib {

WindowImplBase::~WindowImplBase() {
    // Detach before the paint manager goes, so no message reaches it half-destroyed.
    if (m_hWnd && IsWindow(m_hWnd)) {
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK) OnClick(msg);
}

void WindowImplBase::OnClick(TNotifyUI& msg) {
    CDuiString name = msg.pSender ? msg.pSender->GetName() : CDuiString();
    if (name == L"closebtn") Close(IDCANCEL);
    else if (name == L"minbtn") SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"maxbtn") SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name == L"restorebtn") SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

CControlUI* WindowImplBase::CreateControl(std::wstring_view) { return nullptr; }

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    m_PaintManager.Init(m_hWnd);
    m_PaintManager.SetSkinFolder(GetSkinFolder());
    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetSkinFile(), &m_PaintManager, this);
    CDuiString skin = GetSkinFile();
    TraceStartup("layout built " + std::string(skin.begin(), skin.end()));
    layoutLoaded_ = root != nullptr && m_PaintManager.AttachDialog(root);
    if (!layoutLoaded_) OutputDebugStringW((L"toolkit: " + builder.GetLastError() + L"\n").c_str());
    m_PaintManager.AddNotifier(this);
    // Without a layout every FindControl is null; the window shows nothing anyway.
    if (layoutLoaded_) InitWindow();
    if (CControlUI* rootControl = m_PaintManager.GetRoot())
        m_PaintManager.SendNotify(rootControl, DUI_MSGTYPE_WINDOWINIT);
    TraceStartup("window initialised");
    bHandled = TRUE;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam == VK_ESCAPE) {
        CloseLikeCloseButton();
        bHandled = TRUE;
        return 0;
    }
    bHandled = FALSE;
    return 0;
}

void WindowImplBase::OnCloseRequest() { CloseLikeCloseButton(); }

void WindowImplBase::CloseLikeCloseButton() {
    CControlUI* close = m_PaintManager.FindControl(L"closebtn");
    if (close && close->IsVisibleInTree() && close->IsEnabledInTree()) {
        m_PaintManager.SendNotify(close, DUI_MSGTYPE_CLICK);
        return;
    }
    Close(IDCANCEL);
}

LRESULT WindowImplBase::OnNcHitTest(LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(m_hWnd, &pt);
    RECT client;
    GetClientRect(m_hWnd, &client);
    LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    const DpiScale& dpi = m_PaintManager.GetDpiScale();
    RECT box = dpi.Scale(m_PaintManager.GetSizeBox());
    SIZE minSize = m_PaintManager.GetMinInfo(), maxSize = m_PaintManager.GetMaxInfo();
    bool fixed = minSize.cx > 0 && minSize.cx == maxSize.cx && minSize.cy == maxSize.cy;
    if ((style & WS_THICKFRAME) && !IsZoomed(m_hWnd) && !fixed) {
        bool left = pt.x < client.left + box.left, right = pt.x >= client.right - box.right;
        bool top = pt.y < client.top + box.top, bottom = pt.y >= client.bottom - box.bottom;
        if (top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
        if (bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
    }
    RECT caption = dpi.Scale(m_PaintManager.GetCaptionRect());
    RECT area{client.left + caption.left, client.top + caption.top, client.right - caption.right,
              caption.bottom < 0 ? client.bottom : client.top + caption.bottom};
    if (PtInRect(&area, pt)) {
        CControlUI* control = m_PaintManager.FindControl(pt);
        if (!control || !control->IsInteractive()) return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(LPARAM lParam) {
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    // Maximised, the frameless window covers the work area, not the taskbar.
    info->ptMaxPosition = POINT{monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top};
    info->ptMaxSize = POINT{monitor.rcWork.right - monitor.rcWork.left, monitor.rcWork.bottom - monitor.rcWork.top};
    const DpiScale& dpi = m_PaintManager.GetDpiScale();
    SIZE minSize = dpi.Scale(m_PaintManager.GetMinInfo()), maxSize = dpi.Scale(m_PaintManager.GetMaxInfo());
    // Never larger than the work area: the layout's scale shrinks to fit it.
    if (minSize.cx > 0) info->ptMinTrackSize.x = std::min<LONG>(minSize.cx, info->ptMaxSize.x);
    if (minSize.cy > 0) info->ptMinTrackSize.y = std::min<LONG>(minSize.cy, info->ptMaxSize.y);
    if (maxSize.cx > 0) info->ptMaxTrackSize.x = info->ptMaxSize.x = std::min<LONG>(info->ptMaxSize.x, maxSize.cx);
    if (maxSize.cy > 0) info->ptMaxTrackSize.y = info->ptMaxSize.y = std::min<LONG>(info->ptMaxSize.y, maxSize.cy);
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    BOOL handled = FALSE;
    LRESULT result = HandleCustomMessage(uMsg, wParam, lParam, handled);
    if (handled) return result;

    handled = TRUE;
    switch (uMsg) {
        case WM_CREATE: result = OnCreate(uMsg, wParam, lParam, handled); break;
        case WM_DESTROY: result = OnDestroy(uMsg, wParam, lParam, handled); break;
        case WM_SIZE: result = OnSize(uMsg, wParam, lParam, handled); break;
        case WM_KEYDOWN: result = OnKeyDown(uMsg, wParam, lParam, handled); break;
        case WM_NCCALCSIZE:
            // The client area is the whole window: the layout draws its own frame.
            if (wParam && IsZoomed(m_hWnd)) {
                auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
                MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
                GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
                params->rgrc[0] = monitor.rcWork;
            }
            result = 0;
            break;
        case WM_NCPAINT: result = 0; break;
        case WM_NCACTIVATE:
            if (IsIconic(m_hWnd)) handled = FALSE;
            else result = DefWindowProcW(m_hWnd, WM_NCACTIVATE, wParam, -1);  // -1: do not paint a frame
            break;
        case WM_NCHITTEST: result = OnNcHitTest(lParam); break;
        case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(lParam); break;
        default: handled = FALSE; break;
    }
    if (handled) return result;
    if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

}  // namespace DuiLib
