#include "ui/MessageWnd.h"

#include <new>

#include "ui/Dialog.h"

using namespace DuiLib;

void MessageWnd::InitWindow() {
    closeButton = m_PaintManager.Find<CButtonUI>(L"closebtn");
    retryButton = m_PaintManager.Find<CButtonUI>(L"retrybtn");
    okButton = m_PaintManager.Find<CButtonUI>(L"okbtn");
    cancelButton = m_PaintManager.Find<CButtonUI>(L"cancelbtn");
    plainText = m_PaintManager.Find<CLabelUI>(L"contentlbl");
    // Not resizable.
    LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    SetWindowLongW(m_hWnd, GWL_STYLE, style & ~WS_THICKFRAME);
}

void MessageWnd::SetType(int type) {
    bool question = type == kMessageQuestion;
    if (retryButton) retryButton->SetVisible(false);
    if (okButton) okButton->SetVisible(true);
    if (cancelButton) cancelButton->SetVisible(question);
    if (closeButton) closeButton->SetVisible(false);
}

void MessageWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender) {
        CControlUI* sender = msg.pSender;
        if (sender == okButton) return Close(kMessageOk);
        if (sender == cancelButton || sender == closeButton) return Close(kMessageCancel);
        if (sender == retryButton) return Close(kMessageRetry);
    }
    WindowImplBase::Notify(msg);
}

// Escape and Alt+F4 answer like the close button, which neither type shows.
LRESULT MessageWnd::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM, BOOL& handled) {
    if (message == WM_SHOWWINDOW && wParam) m_PaintManager.GetAccessible().AnnounceDialog();
    bool escape = message == WM_KEYDOWN && wParam == VK_ESCAPE;
    bool systemClose = message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE;
    if (!escape && !systemClose) return 0;
    handled = TRUE;
    Close(kMessageCancel);
    return 0;
}

void MessageWnd::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    if (gone_) *gone_ = true;
    delete this;
}

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& title, int type) {
    auto* box = new (std::nothrow) MessageWnd;
    if (!box) return -1;
    auto gone = std::make_shared<bool>(false);
    box->gone_ = gone;
    if (!box->Create(owner, kMessageWndClass, kDialogStyle, kDialogExStyle)) {
        // A window that got as far as WM_NCDESTROY has freed its object already.
        if (!*gone) delete box;
        return -1;
    }
    if (!box->IsLayoutLoaded()) {
        // Without its layout the box would be an empty window with no way to
        // answer it; the system's box still tells the user.
        DestroyWindow(box->GetHWND());  // the object deletes itself
        int answer = MessageBoxW(owner, text.c_str(), title.c_str(),
                                 (type == kMessageQuestion ? MB_OKCANCEL : MB_OK) | MB_ICONINFORMATION);
        return answer == IDOK ? kMessageOk : kMessageCancel;
    }
    box->SetType(type);
    box->CenterWindow();
    if (auto* titleLabel = box->m_PaintManager.FindControl(L"apptitlelbl")) titleLabel->SetText(title);
    box->m_PaintManager.GetAccessible().SetDialog(title, text);
    if (auto* tab = box->m_PaintManager.Find<CTabLayoutUI>(L"msgtab")) tab->SelectItem(0);
    if (box->plainText) box->plainText->SetText(text);
    UINT result = box->ShowModal();  // the object is gone once this returns
    return static_cast<int>(result);
}
