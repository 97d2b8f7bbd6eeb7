#include "ui/toolkit/Accessible.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "ui/toolkit/AccessibleModel.h"
#include "ui/toolkit/AccessibleWindow.h"
#include "ui/toolkit/Focus.h"
#include "ui/toolkit/UIlib.h"

using Microsoft::WRL::ComPtr;

namespace DuiLib {

using namespace AccessibleModel;

namespace {

// Spelled out: MinGW gives these no __uuidof, and on x64 the IID_ symbols
// can resolve to oleacc's import stubs (see AccessibleWindow::HandleMessage).
constexpr GUID kIAccIdentity{0x7852b78d, 0x1cfd, 0x41c1, {0xa6, 0x15, 0x9c, 0x0c, 0x85, 0x96, 0x0b, 0x5f}};
constexpr GUID kIAccPropServices{0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kAccPropServices{0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kPropName{0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

// Nothing may be thrown back into a reader's call.
template <class F>
HRESULT Guard(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT ToBstr(const std::wstring& text, BSTR* out) {
    if (text.empty()) return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool WindowHasFocus(HWND hwnd) {
    HWND focus = ::GetFocus();
    return focus && (focus == hwnd || IsChild(hwnd, focus));
}

bool IsFocused(CPaintManagerUI& manager, CControlUI* c) {
    return manager.GetFocus() == c && WindowHasFocus(manager.GetPaintWindow());
}

HWND HostedEdit(CControlUI* control) {
    auto* edit = dynamic_cast<CRichEditUI*>(control);
    return edit && edit->GetHostWindow() && IsWindow(edit->GetHostWindow()) ? edit->GetHostWindow() : nullptr;
}

// The edit window's own object, which knows its caret and text, named by its
// label through the system's annotation (where the system keeps them).
ComPtr<IDispatch> EditObject(HWND edit, CControlUI* control) {
    ComPtr<IAccPropServices> annotations;
    if (SUCCEEDED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices,
                                   reinterpret_cast<void**>(annotations.GetAddressOf())))) {
        std::wstring name = NameOf(control);
        annotations->SetHwndPropStr(edit, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kPropName, name.c_str());
    }
    ComPtr<IDispatch> object;
    CreateStdAccessibleObject(edit, OBJID_CLIENT, __uuidof(IDispatch), reinterpret_cast<void**>(object.GetAddressOf()));
    return object;
}

// What a reader gets for a control: our object, or a text entry's own.
HRESULT Hand(const std::shared_ptr<AccessibleWindow>& window, CControlUI* control, VARIANT* out) {
    ComPtr<IDispatch> object;
    if (HWND edit = HostedEdit(control)) object = EditObject(edit, control);
    if (!object) {
        ComPtr<Accessible> ours = Accessible::Create(window, control);
        if (!ours) return E_OUTOFMEMORY;
        object = static_cast<IAccessible*>(ours.Get());
    }
    out->vt = VT_DISPATCH;
    out->pdispVal = object.Detach();
    return S_OK;
}

VARIANT SelfId() {
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

std::atomic<long> live{0};

}  // namespace

long Accessible::LiveCount() { return live; }

Accessible::Accessible(const std::shared_ptr<AccessibleWindow>& window, CControlUI* control, HWND list)
    : window_(window), control_(control), list_(list) {
    if (control) alive_ = control->Lifetime();
    ++live;
}

Accessible::~Accessible() { --live; }

ComPtr<Accessible> Accessible::Create(const std::shared_ptr<AccessibleWindow>& window, CControlUI* control) {
    // Takes the new object's one reference; MinGW's ComPtr::Attach would add a second.
    ComPtr<Accessible> object;
    *object.GetAddressOf() = new (std::nothrow) Accessible(window, control, nullptr);
    return object;
}

ComPtr<Accessible> Accessible::CreateList(const std::shared_ptr<AccessibleWindow>& window, CControlUI* combo,
                                          HWND popup) {
    ComPtr<Accessible> object;
    *object.GetAddressOf() = new (std::nothrow) Accessible(window, combo, popup);
    return object;
}

std::shared_ptr<AccessibleWindow> Accessible::Connected() const {
    std::shared_ptr<AccessibleWindow> window = window_.lock();
    if (!window || !window->Manager().GetPaintWindow()) return nullptr;
    if (control_ ? alive_.expired() : !window->Manager().GetRoot()) return nullptr;
    if (list_ && static_cast<CComboUI*>(control_)->GetDropDownWindow() != list_) return nullptr;  // closed since
    return window;
}

HRESULT Accessible::Resolve(const VARIANT& child, ComPtr<Accessible>& target) {
    std::shared_ptr<AccessibleWindow> window = Connected();
    if (!window) return CO_E_OBJNOTCONNECTED;
    if (child.vt == VT_EMPTY || (child.vt == VT_I4 && child.lVal == CHILDID_SELF)) {
        target = this;
        return S_OK;
    }
    if (child.vt != VT_I4) return E_INVALIDARG;
    CControlUI* control = window->ControlOf(child.lVal);
    if (!control || (control_ && !IsWithin(control, control_))) return E_INVALIDARG;
    target = Create(window, control);
    return target ? S_OK : E_OUTOFMEMORY;
}

template <class F>
HRESULT Accessible::OnChild(const VARIANT& child, F&& body) {
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        std::shared_ptr<AccessibleWindow> window = Connected();
        return body(*target.Get(), *window);
    });
}

IAccessible* Accessible::Standard() {
    std::shared_ptr<AccessibleWindow> window = Connected();
    if (!standard_ && window)
        CreateStdAccessibleObject(window->Manager().GetPaintWindow(), OBJID_CLIENT, __uuidof(IAccessible),
                                  reinterpret_cast<void**>(standard_.GetAddressOf()));
    return standard_.Get();
}

RECT Accessible::ScreenRect(AccessibleWindow& window) const {
    RECT rc{};
    if (list_) {
        GetWindowRect(list_, &rc);
        return rc;
    }
    if (CComboUI* combo = ComboOfItem(control_)) {
        // Drawn in the drop-down, not placed in the window: nowhere while it is closed.
        combo->GetDropDownItemRect(combo->GetItemIndex(control_), rc);
        return rc;
    }
    rc = control_->GetPos();
    MapWindowPoints(window.Manager().GetPaintWindow(), nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// ---- IUnknown

STDMETHODIMP Accessible::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    // __uuidof, not the IID_ symbols: see AccessibleWindow::HandleMessage.
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible))
        *out = static_cast<IAccessible*>(this);
    else if (iid == __uuidof(IEnumVARIANT)) *out = static_cast<IEnumVARIANT*>(this);
    else if (iid == kIAccIdentity) *out = static_cast<IAccIdentity*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Accessible::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) Accessible::Release() {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

// ---- IDispatch

STDMETHODIMP Accessible::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP Accessible::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP Accessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP Accessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

// ---- IAccessible

STDMETHODIMP Accessible::get_accParent(IDispatch** parent) {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    return OnChild(SelfId(), [&](Accessible&, AccessibleWindow& window) -> HRESULT {
        if (IsClient()) return Standard() ? Standard()->get_accParent(parent) : S_FALSE;
        VARIANT object;
        HRESULT hr = Hand(window.shared_from_this(), list_ ? control_ : ExposedParent(control_), &object);
        if (SUCCEEDED(hr)) *parent = object.pdispVal;
        return hr;
    });
}

STDMETHODIMP Accessible::get_accChildCount(long* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return OnChild(SelfId(), [&](Accessible&, AccessibleWindow& window) -> HRESULT {
        *count = static_cast<long>(ChildrenOf(window.Manager().GetRoot(), control_).size());
        return S_OK;
    });
}

STDMETHODIMP Accessible::get_accChild(VARIANT child, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return OnChild(child, [&](Accessible& target, AccessibleWindow& window) -> HRESULT {
        if (&target == this) return E_INVALIDARG;
        VARIANT object;
        HRESULT hr = Hand(window.shared_from_this(), target.control_, &object);
        if (SUCCEEDED(hr)) *out = object.pdispVal;
        return hr;
    });
}

STDMETHODIMP Accessible::get_accName(VARIANT child, BSTR* name) {
    if (!name) return E_POINTER;
    *name = nullptr;
    return OnChild(child, [&](Accessible& target, AccessibleWindow& window) -> HRESULT {
        if (target.IsClient() && window.IsDialog()) return ToBstr(window.DialogTitle(), name);
        if (target.IsClient()) return Standard() ? Standard()->get_accName(SelfId(), name) : S_FALSE;
        return ToBstr(NameOf(target.control_), name);
    });
}

STDMETHODIMP Accessible::get_accValue(VARIANT child, BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return OnChild(child, [&](Accessible& target, AccessibleWindow&) -> HRESULT {
        std::wstring text;
        if (target.IsClient() || target.list_ || !ValueOf(target.control_, text)) return DISP_E_MEMBERNOTFOUND;
        return ToBstr(text, value);
    });
}

STDMETHODIMP Accessible::get_accDescription(VARIANT child, BSTR* description) {
    if (!description) return E_POINTER;
    *description = nullptr;
    return OnChild(child, [&](Accessible& target, AccessibleWindow& window) -> HRESULT {
        if (target.IsClient() && window.IsDialog()) return ToBstr(window.DialogText(), description);
        if (target.IsClient()) return Standard() ? Standard()->get_accDescription(SelfId(), description) : S_FALSE;
        return ToBstr(DescriptionOf(target.control_), description);
    });
}

STDMETHODIMP Accessible::get_accRole(VARIANT child, VARIANT* role) {
    if (!role) return E_POINTER;
    VariantInit(role);
    return OnChild(child, [&](Accessible& target, AccessibleWindow& window) -> HRESULT {
        LONG value = ROLE_SYSTEM_CLIENT;
        if (target.list_) value = ROLE_SYSTEM_LIST;
        else if (target.IsClient() && window.IsDialog()) value = ROLE_SYSTEM_DIALOG;
        else if (target.IsClient() && Standard()) return Standard()->get_accRole(SelfId(), role);
        else if (!target.IsClient()) value = RoleOf(target.control_) ? RoleOf(target.control_) : ROLE_SYSTEM_GROUPING;
        role->vt = VT_I4;
        role->lVal = value;
        return S_OK;
    });
}

STDMETHODIMP Accessible::get_accState(VARIANT child, VARIANT* state) {
    if (!state) return E_POINTER;
    VariantInit(state);
    return OnChild(child, [&](Accessible& target, AccessibleWindow& window) -> HRESULT {
        if (target.IsClient()) return Standard() ? Standard()->get_accState(SelfId(), state) : E_FAIL;
        state->vt = VT_I4;
        state->lVal = target.list_ ? STATE_SYSTEM_FOCUSABLE
                                   : StateOf(target.control_, IsFocused(window.Manager(), target.control_));
        return S_OK;
    });
}

STDMETHODIMP Accessible::get_accHelp(VARIANT, BSTR* help) {
    if (!help) return E_POINTER;
    *help = nullptr;
    return Connected() ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP Accessible::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return Connected() ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP Accessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    if (!shortcut) return E_POINTER;
    *shortcut = nullptr;
    return OnChild(child, [&](Accessible& target, AccessibleWindow&) -> HRESULT {
        if (target.IsClient() && Standard()) return Standard()->get_accKeyboardShortcut(SelfId(), shortcut);
        return DISP_E_MEMBERNOTFOUND;
    });
}

STDMETHODIMP Accessible::get_accFocus(VARIANT* focus) {
    if (!focus) return E_POINTER;
    VariantInit(focus);
    return OnChild(SelfId(), [&](Accessible&, AccessibleWindow& window) -> HRESULT {
        CPaintManagerUI& manager = window.Manager();
        CControlUI* focused = nullptr;
        if (list_) {
            // The open list has the keyboard: the highlighted item is the focus.
            auto* combo = static_cast<CComboUI*>(control_);
            if (GetFocus() != list_ || !(focused = combo->GetItemAt(combo->GetDropDownHot()))) return S_FALSE;
        } else {
            if (!WindowHasFocus(manager.GetPaintWindow())) return S_FALSE;
            focused = manager.GetFocus();
            if (focused == control_ || (!focused && !control_)) {
                *focus = SelfId();
                return S_OK;
            }
            if (!focused || (control_ && !IsWithin(focused, control_))) return S_FALSE;
        }
        return Hand(window.shared_from_this(), focused, focus);
    });
}

STDMETHODIMP Accessible::get_accSelection(VARIANT* selection) {
    if (!selection) return E_POINTER;
    VariantInit(selection);
    return OnChild(SelfId(), [&](Accessible&, AccessibleWindow& window) -> HRESULT {
        CControlUI* selected = nullptr;
        if (auto* combo = dynamic_cast<CComboUI*>(control_)) selected = combo->GetItemAt(combo->GetCurSel());
        else if (auto* tab = dynamic_cast<CTabLayoutUI*>(control_)) selected = tab->GetItemAt(tab->GetCurSel());
        else return DISP_E_MEMBERNOTFOUND;
        if (!selected) return S_FALSE;
        return Hand(window.shared_from_this(), selected, selection);
    });
}

STDMETHODIMP Accessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (!action) return E_POINTER;
    *action = nullptr;
    return OnChild(child, [&](Accessible& target, AccessibleWindow&) -> HRESULT {
        if (target.IsClient()) return Standard() ? Standard()->get_accDefaultAction(SelfId(), action) : S_FALSE;
        const wchar_t* name = target.list_ ? L"" : DefaultActionOf(target.control_);
        return *name ? ToBstr(name, action) : DISP_E_MEMBERNOTFOUND;
    });
}

STDMETHODIMP Accessible::accSelect(long flags, VARIANT child) {
    return OnChild(child, [&](Accessible& target, AccessibleWindow& window) -> HRESULT {
        CControlUI* control = target.list_ ? nullptr : target.control_;
        if (!control) return DISP_E_MEMBERNOTFOUND;
        // An item of a combo is picked as a click would; the pick is posted.
        if (flags == SELFLAG_TAKESELECTION && ComboOfItem(control))
            return window.PostDefaultAction(control) ? S_OK : E_FAIL;
        if (flags != SELFLAG_TAKEFOCUS) return DISP_E_MEMBERNOTFOUND;
        if (!Focus::TakesFocus(control)) return E_FAIL;
        control->SetFocus();
        return S_OK;
    });
}

STDMETHODIMP Accessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    return OnChild(child, [&](Accessible& target, AccessibleWindow& window) -> HRESULT {
        if (target.IsClient()) return Standard() ? Standard()->accLocation(left, top, width, height, SelfId()) : E_FAIL;
        RECT rc = target.ScreenRect(window);
        *left = rc.left;
        *top = rc.top;
        *width = rc.right - rc.left;
        *height = rc.bottom - rc.top;
        return S_OK;
    });
}

HRESULT Accessible::Sibling(AccessibleWindow& window, int step, VARIANT* end) {
    std::vector<CControlUI*> siblings = ChildrenOf(window.Manager().GetRoot(), ExposedParent(control_));
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i] != control_) continue;
        size_t next = i + step;
        if (next >= siblings.size()) return S_FALSE;  // wraps below zero too
        return Hand(window.shared_from_this(), siblings[next], end);
    }
    return S_FALSE;
}

STDMETHODIMP Accessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    if (!end) return E_POINTER;
    VariantInit(end);
    return OnChild(start, [&](Accessible& target, AccessibleWindow& window) -> HRESULT {
        switch (direction) {
            case NAVDIR_FIRSTCHILD:
            case NAVDIR_LASTCHILD: {
                std::vector<CControlUI*> children = ChildrenOf(window.Manager().GetRoot(), target.control_);
                if (children.empty()) return S_FALSE;
                return Hand(window.shared_from_this(),
                            direction == NAVDIR_FIRSTCHILD ? children.front() : children.back(), end);
            }
            case NAVDIR_NEXT:
            case NAVDIR_PREVIOUS:
                if (target.list_) return S_FALSE;
                if (target.IsClient()) return Standard() ? Standard()->accNavigate(direction, SelfId(), end) : S_FALSE;
                return target.Sibling(window, direction == NAVDIR_NEXT ? 1 : -1, end);
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    });
}

STDMETHODIMP Accessible::accHitTest(long x, long y, VARIANT* child) {
    if (!child) return E_POINTER;
    VariantInit(child);
    return OnChild(SelfId(), [&](Accessible&, AccessibleWindow& window) -> HRESULT {
        POINT screen{x, y};
        CControlUI* hit = nullptr;
        if (list_) {
            RECT area = ScreenRect(window);
            if (!PtInRect(&area, screen)) return S_FALSE;
            for (CControlUI* item : ChildrenOf(nullptr, control_)) {
                RECT rc{};
                if (static_cast<CComboUI*>(control_)->GetDropDownItemRect(
                        static_cast<CComboUI*>(control_)->GetItemIndex(item), rc) &&
                    PtInRect(&rc, screen))
                    hit = item;
            }
        } else {
            CPaintManagerUI& manager = window.Manager();
            POINT pt = screen;
            ScreenToClient(manager.GetPaintWindow(), &pt);
            RECT area{};
            if (control_) area = control_->GetPos();
            else GetClientRect(manager.GetPaintWindow(), &area);
            if (!PtInRect(&area, pt)) return S_FALSE;
            hit = manager.FindControl(pt);
            while (hit && !IsExposed(hit)) hit = hit->GetParent();
        }
        if (!hit || hit == control_ || (control_ && !IsWithin(hit, control_))) {
            *child = SelfId();
            return S_OK;
        }
        return Hand(window.shared_from_this(), hit, child);
    });
}

STDMETHODIMP Accessible::accDoDefaultAction(VARIANT child) {
    return OnChild(child, [&](Accessible& target, AccessibleWindow& window) -> HRESULT {
        if (target.IsClient()) return Standard() ? Standard()->accDoDefaultAction(SelfId()) : DISP_E_MEMBERNOTFOUND;
        if (target.list_ || !*DefaultActionOf(target.control_)) return DISP_E_MEMBERNOTFOUND;
        return window.PostDefaultAction(target.control_) ? S_OK : E_FAIL;
    });
}

STDMETHODIMP Accessible::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }
STDMETHODIMP Accessible::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

// ---- IEnumVARIANT over the children

STDMETHODIMP Accessible::Next(ULONG count, VARIANT* items, ULONG* fetched) {
    if (fetched) *fetched = 0;
    if (!items) return E_POINTER;
    return OnChild(SelfId(), [&](Accessible&, AccessibleWindow& window) -> HRESULT {
        std::vector<CControlUI*> children = ChildrenOf(window.Manager().GetRoot(), control_);
        ULONG done = 0;
        for (; done < count && cursor_ < children.size(); ++done, ++cursor_) {
            VariantInit(&items[done]);
            if (FAILED(Hand(window.shared_from_this(), children[cursor_], &items[done]))) break;
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    });
}

STDMETHODIMP Accessible::Skip(ULONG count) {
    return OnChild(SelfId(), [&](Accessible&, AccessibleWindow& window) -> HRESULT {
        ULONG size = static_cast<ULONG>(ChildrenOf(window.Manager().GetRoot(), control_).size());
        bool all = size - std::min(cursor_, size) >= count;
        cursor_ = all ? cursor_ + count : size;
        return all ? S_OK : S_FALSE;
    });
}

STDMETHODIMP Accessible::Reset() {
    cursor_ = 0;
    return S_OK;
}

STDMETHODIMP Accessible::Clone(IEnumVARIANT** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::shared_ptr<AccessibleWindow> window = Connected();
    if (!window) return CO_E_OBJNOTCONNECTED;
    ComPtr<Accessible> copy;
    *copy.GetAddressOf() = new (std::nothrow) Accessible(window, control_, list_);
    if (!copy) return E_OUTOFMEMORY;
    copy->cursor_ = cursor_;
    *out = static_cast<IEnumVARIANT*>(copy.Detach());
    return S_OK;
}

// ---- IAccIdentity: the window, the object and the control's child id, as
// the system's own objects put it; the same for every object of one control.

STDMETHODIMP Accessible::GetIdentityString(DWORD child, BYTE** identity, DWORD* length) {
    if (!identity || !length) return E_POINTER;
    *identity = nullptr;
    *length = 0;
    VARIANT id;
    id.vt = VT_I4;
    id.lVal = static_cast<LONG>(child);
    return OnChild(id, [&](Accessible& target, AccessibleWindow& window) -> HRESULT {
        HWND hwnd = target.list_ ? target.list_ : window.Manager().GetPaintWindow();
        DWORD parts[3] = {static_cast<DWORD>(reinterpret_cast<UINT_PTR>(hwnd)), static_cast<DWORD>(OBJID_CLIENT),
                          target.IsClient() || target.list_ ? static_cast<DWORD>(CHILDID_SELF)
                                                            : static_cast<DWORD>(window.ChildId(target.control_))};
        *identity = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(parts)));
        if (!*identity) return E_OUTOFMEMORY;
        memcpy(*identity, parts, sizeof(parts));
        *length = sizeof(parts);
        return S_OK;
    });
}

}  // namespace DuiLib
