#include "ui/toolkit/Accessible.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "ui/toolkit/AccessibleWindow.h"
#include "ui/toolkit/Markup.h"
#include "ui/toolkit/UIlib.h"

using Microsoft::WRL::ComPtr;

namespace DuiLib {
namespace {

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

IDispatch* AsDispatch(ComPtr<Accessible>& object) { return static_cast<IAccessible*>(object.Detach()); }

HRESULT ToBstr(const std::wstring& text, BSTR* out) {
    if (text.empty()) return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool IsWithin(CControlUI* control, CControlUI* ancestor) {
    for (CControlUI* c = control; c; c = c->GetParent())
        if (c == ancestor) return true;
    return false;
}

bool IsListRow(CControlUI* control) {
    CControlUI* body = control->GetParent();
    auto* list = body ? dynamic_cast<CListUI*>(body->GetParent()) : nullptr;
    return list && list->GetList() == body;
}

CTabLayoutUI* TabOfPage(CControlUI* control) { return dynamic_cast<CTabLayoutUI*>(control->GetParent()); }

CComboUI* ComboOfItem(CControlUI* control) {
    return dynamic_cast<CListLabelElementUI*>(control) ? dynamic_cast<CComboUI*>(control->GetParent()) : nullptr;
}

// 0 for a plain layout: readers do not see it, its children take its place.
LONG RoleOf(CControlUI* c) {
    if (dynamic_cast<CTabLayoutUI*>(c)) return ROLE_SYSTEM_PAGETABLIST;
    if (dynamic_cast<CListUI*>(c)) return ROLE_SYSTEM_LIST;
    if (dynamic_cast<CComboUI*>(c)) return ROLE_SYSTEM_COMBOBOX;
    if (IsListRow(c) || dynamic_cast<CListLabelElementUI*>(c)) return ROLE_SYSTEM_LISTITEM;
    // An option without a group is a toggle of its own.
    if (auto* option = dynamic_cast<COptionUI*>(c))
        return option->GetGroup().empty() ? ROLE_SYSTEM_CHECKBUTTON : ROLE_SYSTEM_RADIOBUTTON;
    if (dynamic_cast<CButtonUI*>(c)) return ROLE_SYSTEM_PUSHBUTTON;
    if (dynamic_cast<CProgressUI*>(c)) return ROLE_SYSTEM_PROGRESSBAR;
    if (dynamic_cast<CRichEditUI*>(c)) return ROLE_SYSTEM_TEXT;
    if (dynamic_cast<CLabelUI*>(c)) return ROLE_SYSTEM_STATICTEXT;
    if (dynamic_cast<CGifAnimUI*>(c)) return ROLE_SYSTEM_ANIMATION;
    if (TabOfPage(c)) return ROLE_SYSTEM_PROPERTYPAGE;
    return 0;
}

std::wstring PlainText(CControlUI* c) {
    CDuiString text = c->GetText();
    if (!c->GetTextStyle().markup) return text;
    std::wstring plain;
    for (const MarkupRun& run : ParseMarkup(text)) {
        if (run.lineBreak && !plain.empty()) plain += L'\n';
        plain += run.text;
    }
    return plain;
}

bool IsExposed(CControlUI* c);

void AddExposedChildren(CControlUI* parent, std::vector<CControlUI*>& out) {
    auto* container = dynamic_cast<CContainerUI*>(parent);
    if (!container) return;
    for (int i = 0, count = container->GetCount(); i < count; ++i) {
        CControlUI* child = container->GetItemAt(i);
        if (!child) continue;
        if (IsExposed(child)) out.push_back(child);
        else AddExposedChildren(child, out);
    }
}

std::vector<CControlUI*> ExposedChildren(CControlUI* c) {
    std::vector<CControlUI*> children;
    AddExposedChildren(c, children);
    return children;
}

// Its text; an image-only button says what its tooltip says. A row of a
// list, having no text of its own, is named by the texts inside it.
std::wstring NameOf(CControlUI* c) {
    if (dynamic_cast<CComboUI*>(c) || dynamic_cast<CRichEditUI*>(c)) return c->GetToolTip();  // text is the value
    std::wstring name = PlainText(c);
    if (name.empty()) name = c->GetToolTip();
    if (name.empty() && IsListRow(c)) {
        for (CControlUI* child : ExposedChildren(c)) {
            if (RoleOf(child) != ROLE_SYSTEM_STATICTEXT) continue;
            if (!name.empty()) name += L' ';
            name += PlainText(child);
        }
    }
    return name;
}

bool IsExposed(CControlUI* c) {
    LONG role = RoleOf(c);
    return role != 0 && (role != ROLE_SYSTEM_STATICTEXT || !NameOf(c).empty());
}

// Null: the window's client area.
CControlUI* ExposedParent(CControlUI* c) {
    for (CControlUI* p = c->GetParent(); p; p = p->GetParent())
        if (IsExposed(p)) return p;
    return nullptr;
}

std::vector<CControlUI*> ChildrenOf(CPaintManagerUI& manager, CControlUI* control) {
    if (control) return ExposedChildren(control);
    CControlUI* root = manager.GetRoot();
    if (!root) return {};
    if (IsExposed(root)) return {root};
    return ExposedChildren(root);
}

bool HasValue(CControlUI* c, std::wstring& value) {
    if (auto* progress = dynamic_cast<CProgressUI*>(c)) {
        int range = progress->GetMaxValue() - progress->GetMinValue();
        int done = progress->GetValue() - progress->GetMinValue();
        int percent = range > 0 ? (done * 100 + range / 2) / range : 0;
        value = std::to_wstring(percent) + L"%";
        return true;
    }
    if (dynamic_cast<CComboUI*>(c) || dynamic_cast<CRichEditUI*>(c)) {
        value = c->GetText();
        return true;
    }
    return false;
}

bool WindowHasFocus(HWND hwnd) {
    HWND focus = ::GetFocus();
    return focus && (focus == hwnd || IsChild(hwnd, focus));
}

LONG StateOf(CPaintManagerUI& manager, CControlUI* c) {
    LONG state = 0;
    if (!c->IsVisibleInTree()) state |= STATE_SYSTEM_INVISIBLE;
    if (!c->IsEnabledInTree()) state |= STATE_SYSTEM_UNAVAILABLE;
    if (dynamic_cast<CButtonUI*>(c) || dynamic_cast<CComboUI*>(c) || dynamic_cast<CRichEditUI*>(c))
        state |= STATE_SYSTEM_FOCUSABLE;
    if (manager.GetFocus() == c && WindowHasFocus(manager.GetPaintWindow())) state |= STATE_SYSTEM_FOCUSED;
    if (auto* button = dynamic_cast<CButtonUI*>(c)) {
        if (button->GetButtonState() & UISTATE_HOT) state |= STATE_SYSTEM_HOTTRACKED;
        if (button->GetButtonState() & UISTATE_PUSHED) state |= STATE_SYSTEM_PRESSED;
    }
    if (auto* option = dynamic_cast<COptionUI*>(c)) {
        state |= STATE_SYSTEM_SELECTABLE;
        if (option->IsSelected()) state |= STATE_SYSTEM_CHECKED | STATE_SYSTEM_SELECTED;
    }
    if (CComboUI* combo = ComboOfItem(c)) {
        state |= STATE_SYSTEM_SELECTABLE;
        if (combo->GetItemIndex(c) == combo->GetCurSel()) state |= STATE_SYSTEM_SELECTED;
        if (!combo->IsDroppedDown()) state |= STATE_SYSTEM_INVISIBLE;  // its list is closed
    }
    if (auto* combo = dynamic_cast<CComboUI*>(c))
        state |= STATE_SYSTEM_HASPOPUP | (combo->IsDroppedDown() ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED);
    if (CTabLayoutUI* tab = TabOfPage(c)) {
        state |= STATE_SYSTEM_SELECTABLE;
        if (tab->GetItemIndex(c) == tab->GetCurSel()) state |= STATE_SYSTEM_SELECTED;
    }
    if (auto* edit = dynamic_cast<CRichEditUI*>(c); edit && edit->IsReadOnly()) state |= STATE_SYSTEM_READONLY;
    LONG role = RoleOf(c);
    if (role == ROLE_SYSTEM_STATICTEXT || role == ROLE_SYSTEM_PROGRESSBAR) state |= STATE_SYSTEM_READONLY;
    return state;
}

std::atomic<long> live{0};

}  // namespace

long Accessible::LiveCount() { return live; }

Accessible::Accessible(const std::shared_ptr<AccessibleWindow>& window, CControlUI* control)
    : window_(window), control_(control) {
    if (control) alive_ = control->Lifetime();
    ++live;
}

Accessible::~Accessible() { --live; }

ComPtr<Accessible> Accessible::Create(const std::shared_ptr<AccessibleWindow>& window, CControlUI* control) {
    // Takes the new object's one reference; MinGW's ComPtr::Attach would add a second.
    ComPtr<Accessible> object;
    *object.GetAddressOf() = new (std::nothrow) Accessible(window, control);
    return object;
}

ComPtr<Accessible> Accessible::ObjectOf(const std::shared_ptr<AccessibleWindow>& window, CControlUI* control) const {
    return Create(window, control);
}

std::shared_ptr<AccessibleWindow> Accessible::Connected() const {
    std::shared_ptr<AccessibleWindow> window = window_.lock();
    if (!window || !window->Manager().GetPaintWindow()) return nullptr;
    if (control_ ? alive_.expired() : !window->Manager().GetRoot()) return nullptr;
    return window;
}

HRESULT Accessible::Resolve(const VARIANT& child, ComPtr<Accessible>& target) {
    std::shared_ptr<AccessibleWindow> window = Connected();
    if (!window) return CO_E_OBJNOTCONNECTED;
    if (child.vt != VT_I4) return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF) {
        target = this;
        return S_OK;
    }
    CControlUI* control = window->ControlOf(child.lVal);
    if (!control || (control_ && !IsWithin(control, control_))) return E_INVALIDARG;
    target = ObjectOf(window, control);
    return target ? S_OK : E_OUTOFMEMORY;
}

IAccessible* Accessible::Standard() {
    std::shared_ptr<AccessibleWindow> window = Connected();
    if (!standard_ && window)
        CreateStdAccessibleObject(window->Manager().GetPaintWindow(), OBJID_CLIENT, __uuidof(IAccessible),
                                  reinterpret_cast<void**>(standard_.GetAddressOf()));
    return standard_.Get();
}

// ---- IUnknown

STDMETHODIMP Accessible::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    // __uuidof, not the IID_ symbols: see AccessibleWindow::HandleMessage.
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible))
        *out = static_cast<IAccessible*>(this);
    else if (iid == __uuidof(IEnumVARIANT)) *out = static_cast<IEnumVARIANT*>(this);
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
    return Guard([&]() -> HRESULT {
        std::shared_ptr<AccessibleWindow> window = Connected();
        if (!window) return CO_E_OBJNOTCONNECTED;
        if (!control_) return Standard() ? Standard()->get_accParent(parent) : S_FALSE;
        ComPtr<Accessible> object = ObjectOf(window, ExposedParent(control_));
        if (!object) return E_OUTOFMEMORY;
        *parent = AsDispatch(object);
        return S_OK;
    });
}

STDMETHODIMP Accessible::get_accChildCount(long* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return Guard([&]() -> HRESULT {
        std::shared_ptr<AccessibleWindow> window = Connected();
        if (!window) return CO_E_OBJNOTCONNECTED;
        *count = static_cast<long>(ChildrenOf(window->Manager(), control_).size());
        return S_OK;
    });
}

STDMETHODIMP Accessible::get_accChild(VARIANT child, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        if (target.Get() == this) return E_INVALIDARG;
        *out = AsDispatch(target);
        return S_OK;
    });
}

STDMETHODIMP Accessible::get_accName(VARIANT child, BSTR* name) {
    if (!name) return E_POINTER;
    *name = nullptr;
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        if (!target->control_) return Standard() ? Standard()->get_accName(child, name) : S_FALSE;
        return ToBstr(NameOf(target->control_), name);
    });
}

STDMETHODIMP Accessible::get_accValue(VARIANT child, BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        std::wstring text;
        if (!target->control_ || !HasValue(target->control_, text)) return DISP_E_MEMBERNOTFOUND;
        return ToBstr(text, value);
    });
}

STDMETHODIMP Accessible::get_accDescription(VARIANT child, BSTR* description) {
    if (!description) return E_POINTER;
    *description = nullptr;
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        if (!target->control_) return Standard() ? Standard()->get_accDescription(child, description) : S_FALSE;
        // A tooltip that is not already the name.
        std::wstring tip = target->control_->GetToolTip();
        return tip != NameOf(target->control_) ? ToBstr(tip, description) : S_FALSE;
    });
}

STDMETHODIMP Accessible::get_accRole(VARIANT child, VARIANT* role) {
    if (!role) return E_POINTER;
    VariantInit(role);
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        if (!target->control_) {
            if (Standard()) return Standard()->get_accRole(child, role);
            role->vt = VT_I4;
            role->lVal = ROLE_SYSTEM_CLIENT;
            return S_OK;
        }
        LONG value = RoleOf(target->control_);
        role->vt = VT_I4;
        role->lVal = value ? value : ROLE_SYSTEM_GROUPING;
        return S_OK;
    });
}

STDMETHODIMP Accessible::get_accState(VARIANT child, VARIANT* state) {
    if (!state) return E_POINTER;
    VariantInit(state);
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        if (!target->control_) return Standard() ? Standard()->get_accState(child, state) : E_FAIL;
        state->vt = VT_I4;
        state->lVal = StateOf(Connected()->Manager(), target->control_);
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
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        if (!target->control_ && Standard()) return Standard()->get_accKeyboardShortcut(child, shortcut);
        return DISP_E_MEMBERNOTFOUND;
    });
}

STDMETHODIMP Accessible::get_accFocus(VARIANT* focus) {
    if (!focus) return E_POINTER;
    VariantInit(focus);
    return Guard([&]() -> HRESULT {
        std::shared_ptr<AccessibleWindow> window = Connected();
        if (!window) return CO_E_OBJNOTCONNECTED;
        CPaintManagerUI& manager = window->Manager();
        if (!WindowHasFocus(manager.GetPaintWindow())) return S_FALSE;
        CControlUI* focused = manager.GetFocus();
        if (focused == control_ || (!focused && !control_)) {
            focus->vt = VT_I4;
            focus->lVal = CHILDID_SELF;
            return S_OK;
        }
        if (!focused || (control_ && !IsWithin(focused, control_))) return S_FALSE;
        ComPtr<Accessible> object = ObjectOf(window, focused);
        if (!object) return E_OUTOFMEMORY;
        focus->vt = VT_DISPATCH;
        focus->pdispVal = AsDispatch(object);
        return S_OK;
    });
}

STDMETHODIMP Accessible::get_accSelection(VARIANT* selection) {
    if (!selection) return E_POINTER;
    VariantInit(selection);
    return Guard([&]() -> HRESULT {
        std::shared_ptr<AccessibleWindow> window = Connected();
        if (!window) return CO_E_OBJNOTCONNECTED;
        CControlUI* selected = nullptr;
        if (auto* combo = dynamic_cast<CComboUI*>(control_)) selected = combo->GetItemAt(combo->GetCurSel());
        else if (auto* tab = dynamic_cast<CTabLayoutUI*>(control_)) selected = tab->GetItemAt(tab->GetCurSel());
        else return DISP_E_MEMBERNOTFOUND;
        if (!selected) return S_FALSE;
        ComPtr<Accessible> object = ObjectOf(window, selected);
        if (!object) return E_OUTOFMEMORY;
        selection->vt = VT_DISPATCH;
        selection->pdispVal = AsDispatch(object);
        return S_OK;
    });
}

STDMETHODIMP Accessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (!action) return E_POINTER;
    *action = nullptr;
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        if (!target->control_) return Standard() ? Standard()->get_accDefaultAction(child, action) : S_FALSE;
        const wchar_t* name = DefaultActionOf(target->control_);
        return *name ? ToBstr(name, action) : DISP_E_MEMBERNOTFOUND;
    });
}

STDMETHODIMP Accessible::accSelect(long flags, VARIANT child) {
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        CControlUI* control = target->control_;
        if (flags != SELFLAG_TAKEFOCUS || !control) return DISP_E_MEMBERNOTFOUND;
        if (!(StateOf(Connected()->Manager(), control) & STATE_SYSTEM_FOCUSABLE)) return E_FAIL;
        control->SetFocus();
        return S_OK;
    });
}

STDMETHODIMP Accessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        if (!target->control_) return Standard() ? Standard()->accLocation(left, top, width, height, child) : E_FAIL;
        if (ComboOfItem(target->control_)) return S_OK;  // drawn in the drop-down, not placed in the window
        RECT rc = target->control_->GetPos();
        MapWindowPoints(Connected()->Manager().GetPaintWindow(), nullptr, reinterpret_cast<POINT*>(&rc), 2);
        *left = rc.left;
        *top = rc.top;
        *width = rc.right - rc.left;
        *height = rc.bottom - rc.top;
        return S_OK;
    });
}

HRESULT Accessible::Sibling(const std::shared_ptr<AccessibleWindow>& window, int step, VARIANT* end) {
    std::vector<CControlUI*> siblings = ChildrenOf(window->Manager(), ExposedParent(control_));
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i] != control_) continue;
        size_t next = i + step;
        if (next >= siblings.size()) return S_FALSE;  // wraps below zero too
        ComPtr<Accessible> object = ObjectOf(window, siblings[next]);
        if (!object) return E_OUTOFMEMORY;
        end->vt = VT_DISPATCH;
        end->pdispVal = AsDispatch(object);
        return S_OK;
    }
    return S_FALSE;
}

STDMETHODIMP Accessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    if (!end) return E_POINTER;
    VariantInit(end);
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(start, target);
        if (FAILED(hr)) return hr;
        std::shared_ptr<AccessibleWindow> window = Connected();
        switch (direction) {
            case NAVDIR_FIRSTCHILD:
            case NAVDIR_LASTCHILD: {
                std::vector<CControlUI*> children = ChildrenOf(window->Manager(), target->control_);
                if (children.empty()) return S_FALSE;
                ComPtr<Accessible> object =
                    ObjectOf(window, direction == NAVDIR_FIRSTCHILD ? children.front() : children.back());
                if (!object) return E_OUTOFMEMORY;
                end->vt = VT_DISPATCH;
                end->pdispVal = AsDispatch(object);
                return S_OK;
            }
            case NAVDIR_NEXT:
            case NAVDIR_PREVIOUS:
                if (!target->control_) return Standard() ? Standard()->accNavigate(direction, start, end) : S_FALSE;
                return target->Sibling(window, direction == NAVDIR_NEXT ? 1 : -1, end);
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    });
}

STDMETHODIMP Accessible::accHitTest(long x, long y, VARIANT* child) {
    if (!child) return E_POINTER;
    VariantInit(child);
    return Guard([&]() -> HRESULT {
        std::shared_ptr<AccessibleWindow> window = Connected();
        if (!window) return CO_E_OBJNOTCONNECTED;
        CPaintManagerUI& manager = window->Manager();
        POINT pt{x, y};
        ScreenToClient(manager.GetPaintWindow(), &pt);
        RECT area{};
        if (control_) area = control_->GetPos();
        else GetClientRect(manager.GetPaintWindow(), &area);
        if (!PtInRect(&area, pt)) return S_FALSE;
        CControlUI* hit = manager.FindControl(pt);
        while (hit && !IsExposed(hit)) hit = hit->GetParent();
        if (!hit || hit == control_ || (control_ && !IsWithin(hit, control_))) {
            child->vt = VT_I4;
            child->lVal = CHILDID_SELF;
            return S_OK;
        }
        ComPtr<Accessible> object = ObjectOf(window, hit);
        if (!object) return E_OUTOFMEMORY;
        child->vt = VT_DISPATCH;
        child->pdispVal = AsDispatch(object);
        return S_OK;
    });
}

STDMETHODIMP Accessible::accDoDefaultAction(VARIANT child) {
    return Guard([&]() -> HRESULT {
        ComPtr<Accessible> target;
        HRESULT hr = Resolve(child, target);
        if (FAILED(hr)) return hr;
        if (!target->control_) return Standard() ? Standard()->accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
        if (!*DefaultActionOf(target->control_)) return DISP_E_MEMBERNOTFOUND;
        return Connected()->PostDefaultAction(target->control_) ? S_OK : E_FAIL;
    });
}

STDMETHODIMP Accessible::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }
STDMETHODIMP Accessible::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

// ---- IEnumVARIANT over the children

STDMETHODIMP Accessible::Next(ULONG count, VARIANT* items, ULONG* fetched) {
    if (fetched) *fetched = 0;
    if (!items) return E_POINTER;
    return Guard([&]() -> HRESULT {
        std::shared_ptr<AccessibleWindow> window = Connected();
        if (!window) return CO_E_OBJNOTCONNECTED;
        std::vector<CControlUI*> children = ChildrenOf(window->Manager(), control_);
        ULONG done = 0;
        for (; done < count && cursor_ < children.size(); ++done, ++cursor_) {
            ComPtr<Accessible> object = ObjectOf(window, children[cursor_]);
            if (!object) break;
            VariantInit(&items[done]);
            items[done].vt = VT_DISPATCH;
            items[done].pdispVal = AsDispatch(object);
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    });
}

STDMETHODIMP Accessible::Skip(ULONG count) {
    return Guard([&]() -> HRESULT {
        std::shared_ptr<AccessibleWindow> window = Connected();
        if (!window) return CO_E_OBJNOTCONNECTED;
        ULONG size = static_cast<ULONG>(ChildrenOf(window->Manager(), control_).size());
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
    ComPtr<Accessible> copy = ObjectOf(window, control_);
    if (!copy) return E_OUTOFMEMORY;
    copy->cursor_ = cursor_;
    *out = static_cast<IEnumVARIANT*>(copy.Detach());
    return S_OK;
}

}  // namespace DuiLib
