#include "ui/toolkit/Combo.h"

#include <windowsx.h>

#include <algorithm>

#include "ui/toolkit/Attributes.h"
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
        int content = 2;
        for (int i = 0; i < combo_.GetCount(); ++i) content += combo_.ItemHeight(i);
        int height = std::min(content, combo_.DropDownHeight());
        height = std::max(height, 2 + (combo_.GetCount() ? combo_.ItemHeight(0) : 24));
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
        return true;
    }

    HWND Hwnd() const { return hwnd_; }

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
            OutputDebugStringW(L"toolkit: exception in the combo drop-down\n");
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    int ItemAt(int y) const {
        int top = 1 - scrollPos_;
        for (int i = 0; i < combo_.GetCount(); ++i) {
            int h = combo_.ItemHeight(i);
            if (y >= top && y < top + h) return i;
            top += h;
        }
        return -1;
    }

    int ItemTop(int index) const {
        int top = 1;
        for (int i = 0; i < index; ++i) top += combo_.ItemHeight(i);
        return top;
    }

    void EnsureVisible(int index) {
        if (index < 0 || !hwnd_) return;
        RECT client;
        GetClientRect(hwnd_, &client);
        int top = ItemTop(index) - scrollPos_, bottom = top + combo_.ItemHeight(index);
        if (top < 1) scrollPos_ -= 1 - top;
        else if (bottom > client.bottom - 1) scrollPos_ += bottom - (client.bottom - 1);
        scrollPos_ = std::clamp(scrollPos_, 0, scrollRange_);
    }

    void SetHot(int index) {
        if (index == hot_) return;
        hot_ = index;
        EnsureVisible(index);
        InvalidateRect(hwnd_, nullptr, FALSE);
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
        FillRect(canvas, client, style.bkColor | 0xFF000000, client);
        CPaintManagerUI* manager = combo_.GetManager();
        FontLookup fonts = [manager](int id, bool bold, bool underline, bool italic) {
            return manager->GetFont(id, bold, underline, italic);
        };
        int top = 1 - scrollPos_;
        for (int i = 0; i < combo_.GetCount(); ++i) {
            int h = combo_.ItemHeight(i);
            RECT item{1, top, client.right - 1, top + h};
            top += h;
            if (item.bottom < 0 || item.top > client.bottom) continue;
            DWORD bk = i == hot_ ? style.hotBkColor : (i == combo_.GetCurSel() ? style.selectedBkColor : 0);
            if (bk >> 24) FillRect(canvas, item, bk, client);
            RECT pad = combo_.Dpi().Scale(style.textPadding);
            RECT box{item.left + pad.left, item.top + pad.top, item.right - pad.right, item.bottom - pad.bottom};
            TextFormat format;
            format.align = DT_LEFT | DT_VCENTER;
            format.endEllipsis = true;
            format.color = style.textColor;
            format.font = style.font;
            DrawTextRuns(canvas, box, IntersectRects(item, client), PlainRuns(combo_.GetItemText(i)), format, fonts);
        }
        DrawBorder(canvas, client, RECT{1, 1, 1, 1}, SIZE{}, 0xFFC9D1DC, client);
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

CComboUI::CComboUI() {
    textStyle_.padding = RECT{10, 0, 28, 0};
    textStyle_.align = DT_LEFT | DT_VCENTER;
    bkColor_ = 0xFFFFFFFF;
    borderColor_ = 0xFFC9D1DC;
    borderSize_ = RECT{1, 1, 1, 1};
}

CComboUI::~CComboUI() { CloseDropDown(); }

int CComboUI::AddItem(std::wstring_view text, int tag, int height) {
    auto* item = new CListLabelElementUI;
    item->SetText(text);
    item->SetTag(static_cast<UINT_PTR>(tag));
    if (height > 0) item->SetFixedHeight(height);
    Add(item);
    return GetCount() - 1;
}

bool CComboUI::SelectItem(int index, bool notify) {
    if (index < -1 || index >= GetCount()) return false;
    if (index == current_) return true;
    int old = current_;
    current_ = index;
    Invalidate();
    if (notify && manager_) manager_->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(index), old);
    return true;
}

CDuiString CComboUI::GetItemText(int index) const {
    CControlUI* item = GetItemAt(index);
    return item ? item->GetText() : CDuiString();
}

int CComboUI::GetItemTag(int index) const {
    CControlUI* item = GetItemAt(index);
    return item ? static_cast<int>(item->GetTag()) : 0;
}

CDuiString CComboUI::GetText() const { return current_ >= 0 ? GetItemText(current_) : text_; }

int CComboUI::ItemHeight(int index) const {
    CControlUI* item = GetItemAt(index);
    int h = item ? item->GetFixedHeight() : 0;
    return Dpi().Scale(h > 0 ? h : itemStyle_.height);
}

int CComboUI::DropDownHeight() const { return Dpi().Scale(dropHeight_); }

bool CComboUI::IsDroppedDown() const { return dropDown_ != nullptr; }
HWND CComboUI::GetDropDownWindow() const { return dropDown_ ? dropDown_->Hwnd() : nullptr; }

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

bool CComboUI::Remove(CControlUI* control) {
    int index = GetItemIndex(control);
    if (!CContainerUI::Remove(control)) return false;
    if (index == current_) current_ = -1;
    else if (index < current_) --current_;
    return true;
}

bool CComboUI::RemoveAt(int index) { return Remove(GetItemAt(index)); }

void CComboUI::RemoveAll() {
    CloseDropDown();
    CContainerUI::RemoveAll();
    current_ = -1;
}

void CComboUI::SetPos(RECT rc) {
    // The items live in the drop-down, not inside the combo.
    CControlUI::SetPos(rc);
}

CControlUI* CComboUI::FindControlAt(POINT pt) { return CControlUI::FindControlAt(pt); }

bool CComboUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (dropDown_) CloseDropDown();
    else ShowDropDown();
    return true;
}

void CComboUI::DoEvent(TEventUI& event) {
    if (!IsEnabledInTree()) {
        state_ = 0;
        return;
    }
    switch (event.Type) {
        case UIEVENT_MOUSEENTER:
            state_ |= 0x01;
            Invalidate();
            return;
        case UIEVENT_MOUSELEAVE:
            state_ &= ~0x01u;
            Invalidate();
            return;
        case UIEVENT_BUTTONDOWN:
            Activate();
            return;
        case UIEVENT_KEYDOWN:
            switch (event.chKey) {
                case VK_UP: SelectItem(std::max(0, current_ - 1)); return;
                case VK_DOWN: SelectItem(std::min(GetCount() - 1, current_ + 1)); return;
                case VK_F4: case VK_SPACE: case VK_RETURN: Activate(); return;
                default: return;
            }
        case UIEVENT_SCROLLWHEEL:
            CControlUI::DoEvent(event);
            return;
        default:
            return;
    }
}

void CComboUI::PaintArrow(const Canvas& canvas, const RECT& clip) {
    // A small chevron of dots, a dot a layout unit wide at every scale.
    const DpiScale& dpi = Dpi();
    int cx = pos_.right - dpi.Scale(15), cy = (pos_.top + pos_.bottom) / 2 + dpi.Scale(1);
    DWORD color = IsEnabledInTree() ? 0xFF7A8594 : 0xFFC0C4CC;
    for (int i = -4; i <= 4; ++i) {
        int y = cy + dpi.Scale(4 - std::abs(i) - 3);
        RECT dot{cx + dpi.Scale(i), y, cx + dpi.Scale(i + 1), y + dpi.Scale(2)};
        FillRect(canvas, dot, color, clip);
    }
}

void CComboUI::DoPaint(const Canvas& canvas, const RECT& clip) {
    RECT area = IntersectRects(clip, pos_);
    if (IsEmptyRect(area)) return;
    PaintBkColor(canvas, area);
    PaintBkImage(canvas, area);
    const std::optional<ImageDescription>* image = &normalImage_;
    if (!IsEnabledInTree() && disabledImage_) image = &disabledImage_;
    else if (dropDown_ && pushedImage_) image = &pushedImage_;
    else if ((state_ & 0x01) && hotImage_) image = &hotImage_;
    bool drewImage = DrawImage(canvas, area, *image);
    DrawText(canvas, area, GetText(), pos_, EffectiveTextColor());
    if (!drewImage) {
        PaintArrow(canvas, area);
        DWORD saved = borderColor_;
        if ((state_ & 0x01) || dropDown_) borderColor_ = hotBorderColor_;
        PaintBorder(canvas, area);
        borderColor_ = saved;
    }
}

void CComboUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"normalimage") normalImage_ = ParseImageDescription(value);
    else if (name == L"hotimage") hotImage_ = ParseImageDescription(value);
    else if (name == L"pushedimage") pushedImage_ = ParseImageDescription(value);
    else if (name == L"disabledimage") disabledImage_ = ParseImageDescription(value);
    else if (name == L"dropboxsize") dropHeight_ = std::max<int>(24, ParseSize(value).cy);
    else if (name == L"itemheight") itemStyle_.height = std::max(8, ParseInt(value, 30));
    else if (name == L"itemfont") itemStyle_.font = ParseInt(value, -1);
    else if (name == L"itemtextcolor") itemStyle_.textColor = ParseColor(value).value_or(itemStyle_.textColor);
    else if (name == L"itemhotbkcolor") itemStyle_.hotBkColor = ParseColor(value).value_or(itemStyle_.hotBkColor);
    else if (name == L"itemselectedbkcolor")
        itemStyle_.selectedBkColor = ParseColor(value).value_or(itemStyle_.selectedBkColor);
    else if (name == L"itemtextpadding") itemStyle_.textPadding = ParseRect(value);
    else if (name == L"hotbordercolor") hotBorderColor_ = ParseColor(value).value_or(hotBorderColor_);
    else if (name == L"selectedid") current_ = ParseInt(value, -1);
    else CContainerUI::SetAttribute(name, value);
}

}  // namespace DuiLib
