#include "ui/Dialog.h"

UINT RunDialog(DuiLib::WindowImplBase* window, HWND owner, const wchar_t* title) {
    if (!window) return static_cast<UINT>(-1);
    if (!window->Create(owner, title, kDialogStyle, kDialogExStyle)) {
        // A failed Create never reaches OnFinalMessage (the toolkit holds it off).
        delete window;
        return static_cast<UINT>(-1);
    }
    window->CenterWindow();
    return window->ShowModal();  // the object is gone once this returns
}
