// Accessible: the COM server of what a screen reader sees (MSAA) of one
// control, of a window's client area with the controls inside it, or of an
// open combo drop-down's list; AccessibleModel decides what each says. The
// object holds its control weakly: once the control or its window is gone
// every call answers CO_E_OBJNOTCONNECTED, however long a reader keeps the
// object. It is also its own IEnumVARIANT over its children, which
// AccessibleChildren uses, and its own IAccIdentity (window, object, child id),
// by which UI Automation tells objects apart. A text entry is handed to
// readers as its edit window's own standard object, named by its label.
// Child ids come as VT_I4 or VT_EMPTY (the object itself); others are E_INVALIDARG.
#pragma once
#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>

namespace DuiLib {

class AccessibleWindow;
class CControlUI;

class Accessible final : public IAccessible, public IEnumVARIANT, public IAccIdentity {
public:
    // The window's client area when control is null.
    static Microsoft::WRL::ComPtr<Accessible> Create(const std::shared_ptr<AccessibleWindow>& window,
                                                     CControlUI* control);
    // The list in the combo's open drop-down window popup.
    static Microsoft::WRL::ComPtr<Accessible> CreateList(const std::shared_ptr<AccessibleWindow>& window,
                                                         CControlUI* combo, HWND popup);
    // Objects not yet released by every holder (for leak checks).
    static long LiveCount();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: no type information; readers call IAccessible directly.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** parent) override;
    STDMETHODIMP get_accChildCount(long* count) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override;
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override;
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override;
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override;
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override;
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    STDMETHODIMP get_accFocus(VARIANT* focus) override;
    STDMETHODIMP get_accSelection(VARIANT* selection) override;
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
    STDMETHODIMP accSelect(long flags, VARIANT child) override;
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override;
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override;
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override;

    // IEnumVARIANT
    STDMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumVARIANT** out) override;

    // IAccIdentity
    STDMETHODIMP GetIdentityString(DWORD child, BYTE** identity, DWORD* length) override;

private:
    Accessible(const std::shared_ptr<AccessibleWindow>& window, CControlUI* control, HWND list);
    ~Accessible();

    // The window while it (and this object's control) lives, else null.
    std::shared_ptr<AccessibleWindow> Connected() const;
    // This object for CHILDID_SELF, the object of a control inside it for a child id.
    HRESULT Resolve(const VARIANT& child, Microsoft::WRL::ComPtr<Accessible>& target);
    // Every call on (a child of) this object: guarded against throwing,
    // connected, the child resolved; body(target, window).
    template <class F>
    HRESULT OnChild(const VARIANT& child, F&& body);
    // The standard object of the client area; the window's own parts answer from it.
    IAccessible* Standard();
    bool IsClient() const { return !control_; }
    HRESULT Sibling(AccessibleWindow& window, int step, VARIANT* end);
    RECT ScreenRect(AccessibleWindow& window) const;

    std::atomic<ULONG> references_{1};
    std::weak_ptr<AccessibleWindow> window_;
    CControlUI* control_;
    HWND list_;  // the drop-down window when this is a combo's open list
    std::weak_ptr<const void> alive_;
    Microsoft::WRL::ComPtr<IAccessible> standard_;
    ULONG cursor_ = 0;  // of the enumeration
};

}  // namespace DuiLib
