#include "ui/toolkit/PaintManager.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/StartupTrace.h"
#include "ui/toolkit/AccessibleWindow.h"
#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/RichEdit.h"
#include "ui/toolkit/Shadow.h"
#include "ui/toolkit/SystemLook.h"

namespace DuiLib {
namespace {

std::vector<CPaintManagerUI*>& Managers() {
    static std::vector<CPaintManagerUI*> managers;
    return managers;
}

SIZE SizeOf(const RECT& rc) { return SIZE{rc.right - rc.left, rc.bottom - rc.top}; }

bool IsDescendant(CControlUI* control, CControlUI* ancestor) {
    for (CControlUI* c = control; c; c = c->GetParent())
        if (c == ancestor) return true;
    return false;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() = default;

TEventUI CPaintManagerUI::MakeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam, LPARAM lParam) {
    TEventUI event;
    event.Type = type;
    event.pSender = sender;
    event.dwTimestamp = GetTickCount();
    event.ptMouse = pt;
    event.wParam = wParam;
    event.lParam = lParam;
    return event;
}

CPaintManagerUI::~CPaintManagerUI() {
    // Controls reap themselves from this manager while the tree goes.
    root_.reset();
    for (const TimerInfo& t : timers_)
        if (hwnd_ && IsWindow(hwnd_)) ::KillTimer(hwnd_, t.windowId);
    timers_.clear();
    shadowWindow_.reset();
    if (toolTip_ && IsWindow(toolTip_)) DestroyWindow(toolTip_);
    std::erase(Managers(), this);
}

// ---- process-wide resources

void CPaintManagerUI::SetInstance(HINSTANCE instance) { Resources::SetInstance(instance); }
HINSTANCE CPaintManagerUI::GetInstance() { return Resources::Instance(); }
CDuiString CPaintManagerUI::GetInstancePath() { return Resources::InstancePath(); }
void CPaintManagerUI::SetResourceDll(HINSTANCE module) { Resources::SetResourceDll(module); }
HINSTANCE CPaintManagerUI::GetResourceDll() { return Resources::ResourceDll(); }
void CPaintManagerUI::SetResourceType(int type) { Resources::SetType(type); }
int CPaintManagerUI::GetResourceType() { return Resources::Type(); }
void CPaintManagerUI::SetResourcePath(std::wstring_view path) { Resources::SetPath(path); }
CDuiString CPaintManagerUI::GetResourcePath() { return Resources::Path(); }
bool CPaintManagerUI::SetResourceZip(const void* data, unsigned int size) { return Resources::SetZip(data, size); }
void CPaintManagerUI::ReleaseResources() { Resources::Release(); }

void CPaintManagerUI::MessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

bool CPaintManagerUI::TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN || (msg->wParam != VK_ESCAPE && msg->wParam != VK_TAB)) return false;
    // Escape in a hosted child (an edit box) closes the toolkit window around
    // it; Tab moves on from it.
    HWND root = GetAncestor(msg->hwnd, GA_ROOT);
    if (!root || root == msg->hwnd) return false;
    for (CPaintManagerUI* manager : Managers()) {
        if (manager->hwnd_ == root) {
            SendMessageW(root, WM_KEYDOWN, msg->wParam, msg->lParam);
            return true;
        }
    }
    return false;
}

// ---- this window

void CPaintManagerUI::Init(HWND hwnd) {
    hwnd_ = hwnd;
    painted_ = false;
    displayDpi_ = WindowDpi(hwnd);
    dpi_ = DpiScale(LayoutDpi(displayDpi_, SystemLook::Current().TextScale(), initSize_, SIZE{}));
    if (std::find(Managers().begin(), Managers().end(), this) == Managers().end()) Managers().push_back(this);
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    if (!root) return false;
    hot_ = capture_ = focus_ = focusAnchor_ = nullptr;
    initialFocus_ = true;
    root_.reset(root);
    if (roundCorner_.cx > 0 && root->GetBorderRound().cx == 0) root->SetBorderRound(roundCorner_);
    root->SetManager(this, nullptr, true);
    NeedUpdate();
    return true;
}

bool CPaintManagerUI::LoadResourceFile(std::wstring_view file, std::string& out) const {
    return Resources::Load(skinFolder_, file, out);
}

std::shared_ptr<const Image> CPaintManagerUI::GetImage(std::wstring_view file) const {
    return Resources::LoadImage(skinFolder_, file);
}

ScaledImage CPaintManagerUI::GetScaledImage(std::wstring_view file, int plainUpTo) const {
    return PickImage(dpi_, file, [this](const std::wstring& name) { return GetImage(name); }, plainUpTo);
}

void CPaintManagerUI::SetDpi(int dpi, const RECT* placement) {
    // The system proposes the window's size in proportion, which is right
    // only where both scales are the display's.
    bool wasDisplays = dpi_.Dpi() == displayDpi_;
    displayDpi_ = DpiScale(dpi).Dpi();
    ApplyScale(placement, wasDisplays);
}

void CPaintManagerUI::OnSystemLookChanged() {
    SystemLook::Refresh();
    ApplyScale(nullptr, false);
    UpdateShadow();
    Invalidate();
}

void CPaintManagerUI::ApplyScale(const RECT* placement, bool proportional) {
    DpiScale old = dpi_;
    bool topLevel = hwnd_ && !(GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD);
    SIZE work = topLevel ? SizeOf(WorkAreaOf(hwnd_, placement)) : SIZE{};
    dpi_ = DpiScale(LayoutDpi(displayDpi_, SystemLook::Current().TextScale(), initSize_, work));
    if (dpi_ == old || !hwnd_) return;
    shapeSize_ = SIZE{};  // the corners are cut anew at the new size
    shadowWindow_.reset();
    NeedUpdate();
    if (topLevel) {
        RECT rc;
        GetWindowRect(hwnd_, &rc);
        bool alike = proportional && dpi_.Dpi() == displayDpi_;
        if (placement && alike) {
            rc = *placement;
        } else {
            if (placement) OffsetRect(&rc, placement->left - rc.left, placement->top - rc.top);
            SIZE size = alike || initSize_.cx <= 0 ? SIZE{MulDiv(rc.right - rc.left, dpi_.Dpi(), old.Dpi()),
                                                          MulDiv(rc.bottom - rc.top, dpi_.Dpi(), old.Dpi())}
                                                    : dpi_.Scale(initSize_);
            rc = RECT{rc.left, rc.top, rc.left + size.cx, rc.top + size.cy};
        }
        FitToWorkArea(rc);
    }
    ApplyWindowShape();
    UpdateShadow();
}

void CPaintManagerUI::FitToWorkArea(RECT rc) {
    RECT area = WorkAreaOf(hwnd_, &rc);
    if (!IsEmptyRect(area)) {
        LONG cx = std::min(rc.right - rc.left, area.right - area.left);
        LONG cy = std::min(rc.bottom - rc.top, area.bottom - area.top);
        LONG x = std::clamp(rc.left, area.left, area.right - cx), y = std::clamp(rc.top, area.top, area.bottom - cy);
        rc = RECT{x, y, x + cx, y + cy};
    }
    SetWindowPos(hwnd_, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

CControlUI* CPaintManagerUI::FindControl(std::wstring_view name) const {
    if (!root_ || name.empty()) return nullptr;
    return root_->FindControl([name](CControlUI* c) { return c->GetName() == name; });
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const { return root_ ? root_->FindControlAt(pt) : nullptr; }

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, std::wstring_view name) const {
    if (!parent) return nullptr;
    return parent->FindControl([name](CControlUI* c) { return c->GetName() == name; });
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (notifier && std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end())
        notifiers_.push_back(notifier);
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) { std::erase(notifiers_, notifier); }

void CPaintManagerUI::SendNotify(CControlUI* sender, std::wstring_view type, WPARAM wParam, LPARAM lParam) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = sender;
    msg.dwTimestamp = GetTickCount();
    DWORD pos = GetMessagePos();
    msg.ptMouse = POINT{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    if (hwnd_) ScreenToClient(hwnd_, &msg.ptMouse);
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg) {
    // A copy: a notifier may add or remove notifiers while it runs.
    std::vector<INotifyUI*> notifiers = notifiers_;
    for (INotifyUI* notifier : notifiers) notifier->Notify(msg);
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    initSize_ = SIZE{cx, cy};
    if (!hwnd_ || cx <= 0 || cy <= 0 || (GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD)) return;
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (owner && !IsWindowVisible(hwnd_)) {
        // A dialog opens over its owner, on its monitor, at that monitor's scale.
        bool shown = IsWindowVisible(owner) && !IsIconic(owner);
        RECT over{};
        if (shown) GetWindowRect(owner, &over);
        else over = WorkAreaOf(owner);
        DialogPlacement placed = PlaceDialog(initSize_, SystemLook::Current().TextScale(), over, shown, Monitors());
        if (!IsEmptyRect(placed.rect)) {
            dpi_ = DpiScale(placed.dpi);
            SetWindowPos(hwnd_, nullptr, placed.rect.left, placed.rect.top, placed.rect.right - placed.rect.left,
                         placed.rect.bottom - placed.rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
            return;
        }
    }
    // The scale's bound by the work area needs the size.
    dpi_ = DpiScale(LayoutDpi(displayDpi_, SystemLook::Current().TextScale(), initSize_, SizeOf(WorkAreaOf(hwnd_))));
    RECT rc;
    GetWindowRect(hwnd_, &rc);
    SIZE size = dpi_.Scale(initSize_);
    FitToWorkArea(RECT{rc.left, rc.top, rc.left + size.cx, rc.top + size.cy});
}

void CPaintManagerUI::SetRoundCorner(int cx, int cy) {
    roundCorner_ = SIZE{cx, cy};
    shapeSize_ = SIZE{};
    ApplyWindowShape();
}

void CPaintManagerUI::SetShadow(const WindowShadow& shadow) {
    shadow_ = shadow;
    if (!shadow_.enabled) shadowWindow_.reset();
    UpdateShadow();
}

void CPaintManagerUI::SetWindowAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"size") {
        SIZE s = ParseSize(value);
        SetInitSize(s.cx, s.cy);
    } else if (name == L"mininfo") {
        SIZE s = ParseSize(value);
        SetMinInfo(s.cx, s.cy);
    } else if (name == L"maxinfo") {
        SIZE s = ParseSize(value);
        SetMaxInfo(s.cx, s.cy);
    } else if (name == L"caption") {
        SetCaptionRect(ParseRect(value));
    } else if (name == L"roundcorner") {
        SIZE s = ParseSize(value);
        SetRoundCorner(s.cx, s.cy);
    } else if (name == L"sizebox") {
        SetSizeBox(ParseRect(value));
    } else if (name == L"shadowimage" || name == L"shadow") {
        WindowShadow s = shadow_;
        s.image = value;
        s.enabled = true;
        SetShadow(s);
    } else if (name == L"shadowsize") {
        WindowShadow s = shadow_;
        s.size = std::max(0, ParseInt(value));
        s.enabled = s.size > 0;
        SetShadow(s);
    } else if (name == L"shadowcorner") {
        WindowShadow s = shadow_;
        s.corner = ParseRect(value);
        SetShadow(s);
    } else if (name == L"shadowcolor") {
        WindowShadow s = shadow_;
        s.color = ParseColor(value).value_or(s.color);
        SetShadow(s);
    } else if (name == L"defaultbutton") {
        SetDefaultButton(value);
    } else if (name == L"showshadow") {
        WindowShadow s = shadow_;
        s.enabled = ParseBool(value);
        SetShadow(s);
    }
}

void CPaintManagerUI::AddFont(int id, const FontSpec& spec, bool isDefault) {
    auto it = std::find_if(fonts_.begin(), fonts_.end(), [id](const FontEntry& f) { return f.id == id; });
    if (it != fonts_.end()) it->spec = spec;
    else fonts_.push_back(FontEntry{id, spec});
    if (isDefault || defaultFont_ < 0) {
        auto found = std::find_if(fonts_.begin(), fonts_.end(), [id](const FontEntry& f) { return f.id == id; });
        defaultFont_ = static_cast<int>(found - fonts_.begin());
    }
}

std::shared_ptr<FontHandle> CPaintManagerUI::GetFont(int id, bool bold, bool underline, bool italic) const {
    FontSpec spec;  // 微软雅黑 12 when the layout has no fonts
    auto it = std::find_if(fonts_.begin(), fonts_.end(), [id](const FontEntry& f) { return f.id == id; });
    if (it != fonts_.end()) spec = it->spec;
    else if (defaultFont_ >= 0) spec = fonts_[defaultFont_].spec;
    spec.size = dpi_.Scale(spec.size);  // drawn at the target size, never stretched
    spec.bold = spec.bold || bold;
    spec.underline = spec.underline || underline;
    spec.italic = spec.italic || italic;
    return AcquireFont(spec);
}

HFONT CPaintManagerUI::GetFontHandle(int id) const { return GetFont(id)->font.Get(); }

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT id, UINT elapseMs) {
    if (!hwnd_ || !control) return false;
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const TimerInfo& t) { return t.control == control && t.id == id; });
    UINT_PTR windowId = it != timers_.end() ? it->windowId : nextTimerId_++;
    if (!::SetTimer(hwnd_, windowId, elapseMs, nullptr)) return false;
    if (it == timers_.end()) timers_.push_back(TimerInfo{control, id, windowId});
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT id) {
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const TimerInfo& t) { return t.control == control && t.id == id; });
    if (it == timers_.end()) return false;
    if (hwnd_) ::KillTimer(hwnd_, it->windowId);
    timers_.erase(it);
    return true;
}

void CPaintManagerUI::KillTimers(CControlUI* control) {
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->control == control) {
            if (hwnd_) ::KillTimer(hwnd_, it->windowId);
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

void CPaintManagerUI::Invalidate() {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
    if (hwnd_ && !IsEmptyRect(rc)) InvalidateRect(hwnd_, &rc, FALSE);
}

void CPaintManagerUI::NeedUpdate() {
    needUpdate_ = true;
    Invalidate();
}

void CPaintManagerUI::UpdateLayout() {
    if (!root_) return;
    for (int pass = 0; pass < 3 && needUpdate_; ++pass) {
        needUpdate_ = false;
        RECT client{};
        if (hwnd_) GetClientRect(hwnd_, &client);
        if (IsEmptyRect(client) && initSize_.cx > 0) {
            SIZE size = dpi_.Scale(initSize_);
            client = RECT{0, 0, size.cx, size.cy};
        }
        root_->SetPos(client);
    }
    needUpdate_ = false;
    SyncHostedEdits();
    SettleFocus();
}

bool CPaintManagerUI::PaintBuffer(const RECT& area, RECT& painted) {
    UpdateLayout();
    RECT client{};
    if (hwnd_) GetClientRect(hwnd_, &client);
    if (IsEmptyRect(client) && root_) client = root_->GetPos();
    if (IsEmptyRect(client) || !backBuffer_.Resize(client.right, client.bottom)) return false;
    Canvas canvas = backBuffer_.GetCanvas();
    painted = IntersectRects(area, client);
    DWORD base = root_ && (root_->GetBkColor() >> 24) == 0xFF ? root_->GetBkColor() : 0xFFFFFFFF;
    base = SystemLook::Current().Color(ColorRole::Window, base);
    FillRect(canvas, painted, base, painted);
    if (root_) root_->DoPaint(canvas, painted);
    PaintFocusMark(canvas, painted);
    GdiFlush();
    return true;
}

void CPaintManagerUI::Render(HDC dc, const RECT& area) {
    RECT paint{};
    if (!dc || !PaintBuffer(area, paint)) return;
    BitBlt(dc, paint.left, paint.top, paint.right - paint.left, paint.bottom - paint.top, backBuffer_.GetDC(),
           paint.left, paint.top, SRCCOPY);
}

bool CPaintManagerUI::RenderToPixels(std::vector<uint32_t>& pixels, int& width, int& height) {
    RECT client{0, 0, 0x7FFF, 0x7FFF}, painted{};
    if (!PaintBuffer(client, painted)) return false;
    Canvas canvas = backBuffer_.GetCanvas();
    MakeOpaque(canvas, painted);
    width = painted.right;
    height = painted.bottom;
    pixels.assign(canvas.bits, canvas.bits + static_cast<size_t>(canvas.width) * canvas.height);
    if (canvas.width != width || canvas.height != height) return false;
    return true;
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
    if (hot_ && IsDescendant(hot_, control)) hot_ = nullptr;
    if (capture_ && IsDescendant(capture_, control)) capture_ = nullptr;
    // Where focus moves on from: the nearest place still in the tree.
    if (focusAnchor_ && IsDescendant(focusAnchor_, control)) focusAnchor_ = control->GetParent();
    if (focus_ && IsDescendant(focus_, control)) {
        if (!focusAnchor_) focusAnchor_ = control->GetParent();
        needUpdate_ = true;
        focus_ = nullptr;
        FocusChanged();
    }
    if (toolTipFor_ && IsDescendant(toolTipFor_, control)) toolTipFor_ = nullptr;
    KillTimers(control);
}

void CPaintManagerUI::FocusMayLeave(CControlUI* control, CControlUI* anchor) {
    if (!focus_ || !IsDescendant(focus_, control)) return;
    focusAnchor_ = anchor;
    NeedUpdate();
}

void CPaintManagerUI::RegisterHostedEdit(CRichEditUI* edit) {
    if (std::find(edits_.begin(), edits_.end(), edit) == edits_.end()) edits_.push_back(edit);
}

void CPaintManagerUI::UnregisterHostedEdit(CRichEditUI* edit) { std::erase(edits_, edit); }

void CPaintManagerUI::SyncHostedEdits() {
    for (CRichEditUI* edit : edits_) edit->SyncHostWindow();
}

void CPaintManagerUI::ApplyWindowShape() {
    if (!hwnd_ || (GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD)) return;
    RECT rc;
    GetWindowRect(hwnd_, &rc);
    SIZE size{rc.right - rc.left, rc.bottom - rc.top};
    if (size.cx == shapeSize_.cx && size.cy == shapeSize_.cy) return;
    shapeSize_ = size;
    if (roundCorner_.cx <= 0 || IsZoomed(hwnd_)) {
        SetWindowRgn(hwnd_, nullptr, TRUE);
        return;
    }
    // The system owns the region once it is set.
    SIZE round = dpi_.Scale(roundCorner_);
    HRGN region = CreateRoundRectRgn(0, 0, size.cx + 1, size.cy + 1, round.cx * 2, round.cy * 2);
    if (region && !SetWindowRgn(hwnd_, region, TRUE)) DeleteObject(region);
}

void CPaintManagerUI::UpdateShadow() {
    // High contrast draws no decoration, and a shadow is one.
    if (!hwnd_ || !shadow_.enabled || shadow_.size <= 0 || !SystemLook::Current().ShowsDecoration()) {
        shadowWindow_.reset();
        return;
    }
    if (!painted_) return;
    if (!shadowWindow_) shadowWindow_ = std::make_unique<ShadowWindow>(*this);
    shadowWindow_->Update();
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    if (!hwnd_) return false;
    if (AccessibleWindow::Handles(uMsg)) return GetAccessible().HandleMessage(uMsg, wParam, lParam, result);
    switch (uMsg) {
        case WM_PAINT: {
            UpdateLayout();  // before BeginPaint, so what layout invalidates is painted now
            static bool painted = false;
            if (!painted) TraceStartup("first paint laid out");
            {
                PaintScope paint(hwnd_);
                if (!IsEmptyRect(paint.Area())) Render(paint.Get(), paint.Area());
            }
            if (!std::exchange(painted, true)) TraceStartup("first paint done");
            // The shadow costs a layered window; it waits until the window itself is on screen.
            if (!std::exchange(painted_, true)) UpdateShadow();
            return true;
        }
        case WM_PRINTCLIENT: {
            RECT client;
            GetClientRect(hwnd_, &client);
            Render(reinterpret_cast<HDC>(wParam), client);
            return true;
        }
        case WM_ERASEBKGND:
            result = 1;
            return true;
        case WM_SIZE:
            if (root_) NeedUpdate();
            ApplyWindowShape();
            UpdateShadow();
            return false;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            OnSystemLookChanged();
            return false;
        case WM_DPICHANGED:
            // The window moved to a monitor of another scale.
            SetDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return true;
        case WM_MOVE:
        case WM_SHOWWINDOW:
        case WM_WINDOWPOSCHANGED:
        case WM_ACTIVATE:
            if (shadowWindow_) {
                if (uMsg == WM_SHOWWINDOW && !wParam) shadowWindow_->Destroy();
                else shadowWindow_->Update();
            } else if (uMsg == WM_SHOWWINDOW && wParam) {
                UpdateShadow();
            }
            return false;
        case WM_SETFOCUS:
            // Back in this window (activated again, a drop-down closed): readers hear where the focus is.
            if (focus_) NotifyFocusChanged(*this, focus_);
            return false;
        case WM_MOUSEMOVE:
        case WM_MOUSELEAVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
        case WM_MOUSEWHEEL:
        case WM_SETCURSOR:
        case WM_KEYDOWN:
        case WM_CHAR:
        case WM_SYSKEYDOWN:
        case WM_SYSCHAR:
            return HandleInput(uMsg, wParam, lParam, result);
        case WM_TIMER: {
            auto it = std::find_if(timers_.begin(), timers_.end(),
                                   [wParam](const TimerInfo& t) { return t.windowId == wParam; });
            if (it == timers_.end()) return false;
            CControlUI* control = it->control;
            TEventUI event = MakeEvent(UIEVENT_TIMER, control, POINT{}, it->id, lParam);
            control->DoEvent(event);
            return true;
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == EN_SETFOCUS) {
                for (CRichEditUI* edit : edits_)
                    if (edit->GetHostWindow() == reinterpret_cast<HWND>(lParam)) {
                        // Clicked into directly: the toolkit's focus follows.
                        if (HIWORD(wParam) == EN_SETFOCUS) SetFocus(edit);
                        else edit->OnHostChanged();
                        return true;
                    }
            }
            return false;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            for (CRichEditUI* edit : edits_)
                if (edit->GetHostWindow() == reinterpret_cast<HWND>(lParam)) {
                    result = reinterpret_cast<LRESULT>(edit->OnCtlColor(reinterpret_cast<HDC>(wParam)));
                    return true;
                }
            return false;
        case WM_NCDESTROY:
            std::erase(Managers(), this);
            hwnd_ = nullptr;
            return false;
        case WM_DESTROY:
            for (const TimerInfo& t : timers_) ::KillTimer(hwnd_, t.windowId);
            timers_.clear();
            shadowWindow_.reset();
            if (toolTip_) {
                DestroyWindow(toolTip_);
                toolTip_ = nullptr;
            }
            return false;
        default:
            return false;
    }
}

}  // namespace DuiLib
