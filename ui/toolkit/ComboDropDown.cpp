// The combo's drop-down window and the combo's calls that open and close it.
#include "ui/toolkit/Combo.h"

#include <windowsx.h>

#include <algorithm>
#include <exception>

#include "ui/toolkit/AccessibleWindow.h"
#include "ui/toolkit/PaintManager.h"
#include "ui/toolkit/TextLayout.h"

namespace DuiLib {

// The drop-down: a popup owned by the combo's window that paints the items
// and reports the pick back to the combo. It closes when it loses focus.
class ComboDropDown {
public:
    explicit ComboDropDown(CComboUI& combo) : combo_(combo) {}

    bool Create() {
        static const wchar_t* kClass = L"DuiComboDropDown";
        static bool registered = false;
        if (!registered) {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof(wc);
            wc.style = CS_DROPSHADOW;
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = kClass;
            registered = RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }
        HWND owner = combo_.GetManager()->GetPaintWindow();
        RECT rc = combo_.GetPos();
        POINT topLeft{rc.left, rc.bottom};
        ClientToScreen(owner, &topLeft);
        int width = rc.right - rc.left;
        int content = 2 * Border();
        for (int i = 0; i < combo_.GetCount(); ++i) content += combo_.ItemHeight(i);
        int height = std::min(content, combo_.DropDownHeight());
        height = std::max(height, 2 * Border() + (combo_.GetCount() ? combo_.ItemHeight(0) : combo_.Dpi().Scale(24)));
        // Above the combo when there is no room below it.
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
        int y = topLeft.y;
        if (y + height > monitor.rcWork.bottom) {
            POINT top{rc.left, rc.top};
            ClientToScreen(owner, &top);
            y = top.y - height;
        }
        scrollRange_ = std::max(0, content - height);
        hot_ = combo_.GetCurSel();
        hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClass, L"", WS_POPUP, topLeft.x, y, width, height,
                                owner, nullptr, GetModuleHandleW(nullptr), this);
        if (!hwnd_) return false;
        EnsureVisible(hot_);
        ShowWindow(hwnd_, SW_SHOW);
        SetFocus(hwnd_);
        NotifyDropDownHighlight(combo_, hwnd_, hot_);  // readers land on the highlighted item
        return true;
    }

    HWND Hwnd() const { return hwnd_; }
    int Hot() const { return hot_; }

    // The item's place on the screen; false when it is out of sight.
    bool ItemRect(int index, RECT& rc) const {
        if (index < 0 || index >= combo_.GetCount() || !hwnd_) return false;
        RECT client;
        GetClientRect(hwnd_, &client);
        int top = ItemTop(index) - scrollPos_;
        rc = RECT{1, top, client.right - 1, top + combo_.ItemHeight(index)};
        MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&rc), 2);
        return top + combo_.ItemHeight(index) > 0 && top < client.bottom;
    }

    void Close() {
        if (closing_ || !hwnd_) return;
        closing_ = true;
        DestroyWindow(hwnd_);
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_NCCREATE) {
            auto* self = static_cast<ComboDropDown*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<ComboDropDown*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
        try {
            if (msg == WM_NCDESTROY) {
                SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
                self->combo_.dropDown_ = nullptr;
                self->combo_.Invalidate();
                delete self;
                return DefWindowProcW(hwnd, msg, wParam, lParam);
            }
            LRESULT result = 0;
            if (self->Handle(msg, wParam, lParam, result)) return result;
        } catch (...) {
            std::terminate();  // as in every window procedure of the toolkit
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    // A layout unit wide at every scale.
    int Border() const { return combo_.Dpi().Scale(1); }

    int ItemAt(int y) const {
        int top = Border() - scrollPos_;
        for (int i = 0; i < combo_.GetCount(); ++i) {
            int h = combo_.ItemHeight(i);
            if (y >= top && y < top + h) return i;
            top += h;
        }
        return -1;
    }

    int ItemTop(int index) const {
        int top = Border();
        for (int i = 0; i < index; ++i) top += combo_.ItemHeight(i);
        return top;
    }

    void EnsureVisible(int index) {
        if (index < 0 || !hwnd_) return;
        RECT client;
        GetClientRect(hwnd_, &client);
        int top = ItemTop(index) - scrollPos_, bottom = top + combo_.ItemHeight(index);
        const int border = Border();
        if (top < border) scrollPos_ -= border - top;
        else if (bottom > client.bottom - border) scrollPos_ += bottom - (client.bottom - border);
        scrollPos_ = std::clamp(scrollPos_, 0, scrollRange_);
    }

    void SetHot(int index) {
        if (index == hot_) return;
        hot_ = index;
        EnsureVisible(index);
        InvalidateRect(hwnd_, nullptr, FALSE);
        NotifyDropDownHighlight(combo_, hwnd_, index);
    }

    void Pick(int index) {
        CComboUI& combo = combo_;
        Close();  // deletes this
        if (index >= 0) combo.SelectItem(index);
    }

    bool Handle(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        switch (msg) {
            case WM_PAINT: {
                PaintScope paint(hwnd_);
                Paint(paint.Get());
                return true;
            }
            case WM_ERASEBKGND:
                result = 1;
                return true;
            case WM_MOUSEMOVE:
                SetHot(ItemAt(GET_Y_LPARAM(lParam)));
                return true;
            case WM_LBUTTONDOWN:
                return true;
            case WM_LBUTTONUP:
                Pick(ItemAt(GET_Y_LPARAM(lParam)));
                return true;
            case WM_MOUSEWHEEL: {
                int delta = GET_WHEEL_DELTA_WPARAM(wParam);
                scrollPos_ = std::clamp(scrollPos_ - delta * combo_.Dpi().Scale(40) / WHEEL_DELTA, 0, scrollRange_);
                InvalidateRect(hwnd_, nullptr, FALSE);
                return true;
            }
            case WM_KEYDOWN:
                OnKey(static_cast<UINT>(wParam));
                return true;
            case WM_GETOBJECT:
                return combo_.GetManager() &&
                       combo_.GetManager()->GetAccessible().HandleDropDownObject(combo_, hwnd_, wParam, lParam, result);
            case WM_GETDLGCODE:
                result = DLGC_WANTALLKEYS;
                return true;
            case WM_KILLFOCUS:
            case WM_CANCELMODE:
                PostMessageW(hwnd_, WM_CLOSE, 0, 0);
                return true;
            case WM_CLOSE:
                Close();
                return true;
            case WM_MOUSEACTIVATE:
                result = MA_NOACTIVATE;
                return true;
            default:
                return false;
        }
    }

    void OnKey(UINT key) {
        int count = combo_.GetCount();
        switch (key) {
            case VK_UP: SetHot(std::max(0, hot_ - 1)); break;
            case VK_DOWN: SetHot(std::min(count - 1, hot_ + 1)); break;
            case VK_HOME: SetHot(count ? 0 : -1); break;
            case VK_END: SetHot(count - 1); break;
            case VK_RETURN: case VK_SPACE: Pick(hot_); break;
            case VK_ESCAPE: case VK_F4: Close(); break;
            default: break;
        }
    }

    void Paint(HDC dc) {
        RECT client;
        GetClientRect(hwnd_, &client);
        if (!buffer_.Resize(client.right, client.bottom)) return;
        Canvas canvas = buffer_.GetCanvas();
        const CComboUI::ItemStyle& style = combo_.GetItemStyle();
        const SystemLook& look = SystemLook::Current();
        FillRect(canvas, client, look.Color(ColorRole::Window, style.bkColor | 0xFF000000), client);
        CPaintManagerUI* manager = combo_.GetManager();
        FontLookup fonts = [manager](int id, bool bold, bool underline, bool italic) {
            return manager->GetFont(id, bold, underline, italic);
        };
        const int border = Border();
        int top = border - scrollPos_;
        for (int i = 0; i < combo_.GetCount(); ++i) {
            int h = combo_.ItemHeight(i);
            RECT item{border, top, client.right - border, top + h};
            top += h;
            if (item.bottom < 0 || item.top > client.bottom) continue;
            DWORD bk = i == hot_ ? style.hotBkColor : (i == combo_.GetCurSel() ? style.selectedBkColor : 0);
            if (bk >> 24) FillRect(canvas, item, look.Color(ColorRole::Highlight, bk), client);
            RECT pad = combo_.Dpi().Scale(style.textPadding);
            RECT box{item.left + pad.left, item.top + pad.top, item.right - pad.right, item.bottom - pad.bottom};
            TextFormat format;
            format.align = DT_LEFT | DT_VCENTER;
            format.endEllipsis = true;
            bool marked = (bk >> 24) != 0;
            format.color = look.Color(marked ? ColorRole::HighlightText : ColorRole::WindowText, style.textColor);
            format.font = style.font;
            DrawTextRuns(canvas, box, IntersectRects(item, client), PlainRuns(combo_.GetItemText(i)), format, fonts);
        }
        DrawBorder(canvas, client, RECT{border, border, border, border}, SIZE{},
                   look.Color(ColorRole::WindowText, 0xFFC9D1DC), client);
        BitBlt(dc, 0, 0, client.right, client.bottom, buffer_.GetDC(), 0, 0, SRCCOPY);
    }

    CComboUI& combo_;
    HWND hwnd_ = nullptr;
    BackBuffer buffer_;
    int hot_ = -1;
    int scrollPos_ = 0;
    int scrollRange_ = 0;
    bool closing_ = false;
};

bool CComboUI::IsDroppedDown() const { return dropDown_ != nullptr; }
HWND CComboUI::GetDropDownWindow() const { return dropDown_ ? dropDown_->Hwnd() : nullptr; }
int CComboUI::GetDropDownHot() const { return dropDown_ ? dropDown_->Hot() : -1; }

bool CComboUI::GetDropDownItemRect(int index, RECT& screen) const {
    screen = RECT{};
    return dropDown_ && dropDown_->ItemRect(index, screen);
}

bool CComboUI::ShowDropDown() {
    if (dropDown_ || !manager_ || !manager_->GetPaintWindow() || !IsEnabledInTree()) return false;
    dropDown_ = new ComboDropDown(*this);
    if (!dropDown_->Create()) {
        delete dropDown_;
        dropDown_ = nullptr;
        return false;
    }
    Invalidate();
    manager_->SendNotify(this, DUI_MSGTYPE_DROPDOWN);
    return true;
}

void CComboUI::CloseDropDown() {
    if (dropDown_) dropDown_->Close();
}

}  // namespace DuiLib
