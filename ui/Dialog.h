// The product's secondary windows are modal dialogs over their opener.
#pragma once
#include <windows.h>

#include "ui/toolkit/WindowImplBase.h"

// Popup, visible, clip siblings and children, caption, system menu; no taskbar button.
inline constexpr DWORD kDialogStyle = 0x96C80000;
inline constexpr DWORD kDialogExStyle = WS_EX_TOOLWINDOW;

// Creates window owned by owner with the dialog style and the given window
// text, centres it and runs it modally. window was made with new and deletes
// itself in OnFinalMessage; when it cannot be created it is deleted here.
// Returns the code it closed with, or (UINT)-1 when it could not be shown.
UINT RunDialog(DuiLib::WindowImplBase* window, HWND owner, const wchar_t* title);
