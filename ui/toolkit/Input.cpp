// CPaintManagerUI's input dispatch: mouse and keyboard messages become
// events of the control under the mouse, the captured one or the focused one.
// Where each key goes:
//   Tab, the arrows between options and rows, Enter for the default button,
//     access keys (Alt+letter, or the letter): Focus.cpp;
//   Alt+Down and Alt+Up open the focused combo: here;
//   Space and Enter press the focused button, once per press: Button.cpp;
//   Up, Down, F4, Space and Enter on a closed combo: Combo.cpp; every key in
//     an open drop-down: ComboDropDown.cpp;
//   Escape closes the window as its close button does: WindowImplBase.cpp;
//   in a text entry the edit window takes the keys; Escape and Tab come back
//     through CPaintManagerUI::TranslateMessage (PaintManager.cpp).
#include "ui/toolkit/PaintManager.h"

#include <windowsx.h>

#include "ui/toolkit/Button.h"
#include "ui/toolkit/Combo.h"
#include "ui/toolkit/Focus.h"
#include "ui/toolkit/RichEdit.h"

namespace DuiLib {

void CPaintManagerUI::SetHot(CControlUI* control, POINT pt) {
    if (control && !control->IsEnabledInTree()) control = nullptr;
    if (control == hot_) return;
    CControlUI* old = hot_;
    hot_ = control;
    if (old) {
        TEventUI event = MakeEvent(UIEVENT_MOUSELEAVE, old, pt);
        old->DoEvent(event);
    }
    if (control && hot_ == control) {
        TEventUI event = MakeEvent(UIEVENT_MOUSEENTER, control, pt);
        control->DoEvent(event);
    }
    UpdateToolTip();
}

void CPaintManagerUI::DispatchMouse(int type, WPARAM wParam, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (type) {
        case UIEVENT_MOUSEMOVE: {
            if (!trackingMouse_) {
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
                trackingMouse_ = TrackMouseEvent(&track) != FALSE;
            }
            if (capture_) {
                TEventUI event = MakeEvent(UIEVENT_MOUSEMOVE, capture_, pt, wParam, lParam);
                capture_->DoEvent(event);
                return;
            }
            SetHot(FindControl(pt), pt);
            if (hot_) {
                TEventUI event = MakeEvent(UIEVENT_MOUSEMOVE, hot_, pt, wParam, lParam);
                hot_->DoEvent(event);
            }
            return;
        }
        case UIEVENT_BUTTONDOWN: {
            ShowFocusMark(false);
            CControlUI* control = FindControl(pt);
            if (!control || !control->IsEnabledInTree()) return;
            SetHot(control, pt);
            capture_ = control;
            ::SetCapture(hwnd_);
            if (Focus::IsFocusable(control)) {
                if (!dynamic_cast<CRichEditUI*>(control) && ::GetFocus() != hwnd_) ::SetFocus(hwnd_);
                SetFocus(control);
            }
            if (capture_ != control) return;  // focus handling removed it
            TEventUI event = MakeEvent(UIEVENT_BUTTONDOWN, control, pt, wParam, lParam);
            control->DoEvent(event);
            return;
        }
        case UIEVENT_BUTTONUP: {
            CControlUI* control = capture_;
            capture_ = nullptr;
            if (GetCapture() == hwnd_) ReleaseCapture();
            if (!control) return;
            TEventUI event = MakeEvent(UIEVENT_BUTTONUP, control, pt, wParam, lParam);
            control->DoEvent(event);  // may close the window or remove the control
            return;
        }
        default:
            return;
    }
}

bool CPaintManagerUI::HandleInput(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // Posted input comes before the first WM_PAINT, which would lay out: a
    // click or Enter on a window just shown must find its controls placed.
    // Only then: a full pass also moves the hosted edits, too much per mouse move.
    if (needUpdate_) UpdateLayout();
    switch (uMsg) {
        case WM_MOUSEMOVE:
            DispatchMouse(UIEVENT_MOUSEMOVE, wParam, lParam);
            return true;
        case WM_MOUSELEAVE:
            trackingMouse_ = false;
            if (!capture_) SetHot(nullptr, POINT{});
            return true;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            DispatchMouse(UIEVENT_BUTTONDOWN, wParam, lParam);
            return true;
        case WM_LBUTTONUP:
            DispatchMouse(UIEVENT_BUTTONUP, wParam, lParam);
            return true;
        case WM_CAPTURECHANGED:
            if (capture_ && reinterpret_cast<HWND>(lParam) != hwnd_) {
                // Capture taken away: the press ends outside every control.
                CControlUI* control = capture_;
                capture_ = nullptr;
                TEventUI event = MakeEvent(UIEVENT_BUTTONUP, control, POINT{-30000, -30000});
                control->DoEvent(event);
            }
            return false;
        case WM_MOUSEWHEEL: {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(hwnd_, &pt);
            CControlUI* control = FindControl(pt);
            if (!control) return false;
            TEventUI event = MakeEvent(UIEVENT_SCROLLWHEEL, control, pt, wParam, lParam);
            control->DoEvent(event);
            return true;
        }
        case WM_SETCURSOR: {
            if (LOWORD(lParam) != HTCLIENT) return false;
            bool hand = hot_ && hot_->IsEnabledInTree() &&
                        (dynamic_cast<CButtonUI*>(hot_) || dynamic_cast<CComboUI*>(hot_));
            SetCursor(LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
            result = TRUE;
            return true;
        }
        case WM_SYSKEYDOWN:
            // Alt+Down and Alt+Up open the focused combo's list, as F4 does;
            // the other Alt keys (Alt+F4) stay the system's.
            if ((wParam == VK_DOWN || wParam == VK_UP) && (lParam & (1 << 29)) && dynamic_cast<CComboUI*>(focus_)) {
                focus_->Activate();
                return true;
            }
            return false;
        case WM_SYSCHAR:
            return HandleAccessKey(static_cast<wchar_t>(wParam));
        case WM_KEYDOWN:
        case WM_CHAR: {
            if (uMsg == WM_KEYDOWN && HandleFocusKey(static_cast<UINT>(wParam))) return true;
            if (uMsg == WM_CHAR && HandleAccessKey(static_cast<wchar_t>(wParam))) return true;
            if (!focus_) return false;
            TEventUI event = MakeEvent(uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN : UIEVENT_CHAR, focus_, POINT{}, wParam,
                                       lParam);
            event.chKey = static_cast<wchar_t>(wParam);
            focus_->DoEvent(event);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace DuiLib
