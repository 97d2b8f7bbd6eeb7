#include "ui/toolkit/RichEdit.h"

#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/PaintManager.h"

namespace DuiLib {

CRichEditUI::CRichEditUI() {
    textStyle_.align = DT_LEFT | DT_TOP;
    textStyle_.padding = RECT{6, 4, 6, 4};
    bkColor_ = 0xFFFFFFFF;
}

CRichEditUI::~CRichEditUI() {
    if (manager_) manager_->UnregisterHostedEdit(this);
    if (edit_ && IsWindow(edit_)) DestroyWindow(edit_);
}

RECT CRichEditUI::HostRect() const {
    RECT p = Dpi().Scale(textStyle_.padding), b = Dpi().Scale(borderSize_);
    return RECT{pos_.left + p.left + b.left, pos_.top + p.top + b.top, pos_.right - p.right - b.right,
                pos_.bottom - p.bottom - b.bottom};
}

void CRichEditUI::CreateHost() {
    if (edit_ || !manager_ || !manager_->GetPaintWindow()) return;
    DWORD style = WS_CHILD | ES_AUTOHSCROLL;
    if (multiLine_) style = WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
    if (readOnly_) style |= ES_READONLY;
    edit_ = CreateWindowExW(0, L"EDIT", text_.c_str(), style, 0, 0, 0, 0, manager_->GetPaintWindow(), nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!edit_) return;
    if (limit_ > 0) SendMessageW(edit_, EM_LIMITTEXT, static_cast<WPARAM>(limit_), 0);
    manager_->RegisterHostedEdit(this);
}

void CRichEditUI::DoInit() {
    CreateHost();
    SyncHostWindow();
}

void CRichEditUI::SyncHostWindow() {
    if (!edit_) return;
    // The font follows the window's scale (the cache keeps the handle alive).
    HFONT font = manager_ ? manager_->GetFontHandle(textStyle_.font) : nullptr;
    if (font && font != hostFont_) {
        SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        hostFont_ = font;
    }
    RECT rc = HostRect();
    bool show = IsVisibleInTree() && !IsEmptyRect(rc);
    if (show) {
        SetWindowPos(edit_, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    } else if (IsWindowVisible(edit_)) {
        ShowWindow(edit_, SW_HIDE);
    }
    EnableWindow(edit_, IsEnabledInTree());
}

CDuiString CRichEditUI::GetText() const {
    if (!edit_) return text_;
    int length = GetWindowTextLengthW(edit_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(edit_, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

void CRichEditUI::SetText(std::wstring_view text) {
    text_ = text;
    if (edit_) {
        settingText_ = true;
        SetWindowTextW(edit_, text_.c_str());
        settingText_ = false;
    }
    Invalidate();
}

void CRichEditUI::SetMultiLine(bool multiLine) {
    // Decided when the EDIT window is made; later changes do not apply.
    if (!edit_) multiLine_ = multiLine;
}

void CRichEditUI::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (edit_) SendMessageW(edit_, EM_SETREADONLY, readOnly, 0);
}

void CRichEditUI::SetLimitText(int limit) {
    limit_ = limit;
    if (edit_) SendMessageW(edit_, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
}

HBRUSH CRichEditUI::OnCtlColor(HDC dc) {
    DWORD color = SystemLook::Current().Color(ColorRole::Window, (bkColor_ >> 24) ? bkColor_ : 0xFFFFFFFF);
    if (!brush_ || brushColor_ != color) {
        brush_.Reset(CreateSolidBrush(ToColorRef(color)));
        brushColor_ = color;
    }
    ::SetBkColor(dc, ToColorRef(color));
    ::SetTextColor(dc, ToColorRef(EffectiveTextColor()));
    return brush_.Get();
}

void CRichEditUI::OnHostChanged() {
    if (settingText_ || !manager_) return;
    manager_->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
}

void CRichEditUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_BUTTONDOWN) {
        if (edit_ && IsWindowVisible(edit_)) ::SetFocus(edit_);
        return;
    }
    CLabelUI::DoEvent(event);
}

void CRichEditUI::PaintText(const Canvas&, const RECT&) {
    // The EDIT window draws the text.
}

void CRichEditUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"multiline") SetMultiLine(ParseBool(value));
    else if (name == L"readonly") SetReadOnly(ParseBool(value));
    else if (name == L"maxchar") SetLimitText(ParseInt(value));
    else CLabelUI::SetAttribute(name, value);
}

}  // namespace DuiLib
