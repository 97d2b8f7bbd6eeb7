// The programs' own modal message box: a blue title bar, a text and up to
// three buttons; the button that closes it gives the result.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "ui/toolkit/UIlib.h"

// Window class name and window text of every box, so that a running box can
// be found with FindWindowW(kMessageWndClass, kMessageWndClass).
inline constexpr wchar_t kMessageWndClass[] = L"msgwnd";

// The title of every notice and question the programs show.
inline constexpr wchar_t kNoticeTitle[] = L"提示";

// Button types.
inline constexpr int kMessageQuestion = 0;  // OK and Cancel
inline constexpr int kMessageInfo = 1;      // OK only
// Result codes; callers treat kMessageOk as "yes" and anything else as "no".
inline constexpr int kMessageOk = 1;        // okbtn
inline constexpr int kMessageCancel = 6;    // cancelbtn, closebtn
inline constexpr int kMessageRetry = 7;     // retrybtn

class MessageWnd : public DuiLib::WindowImplBase {
public:
    MessageWnd() = default;

    // Shows the buttons of a type (any type but kMessageQuestion is OK only);
    // call after Create, before ShowModal. The texts stay the layout's.
    void SetType(int type);

protected:
    LPCWSTR GetWindowClassName() const override { return kMessageWndClass; }
    DuiLib::CDuiString GetSkinFile() override { return L"Msgbox.xml"; }
    void InitWindow() override;
    void Notify(DuiLib::TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnFinalMessage(HWND hWnd) override;

private:
    friend int ShowMessage(HWND, const std::wstring&, const std::wstring&, int);

    DuiLib::CButtonUI* closeButton = nullptr;
    DuiLib::CButtonUI* retryButton = nullptr;
    DuiLib::CButtonUI* okButton = nullptr;
    DuiLib::CButtonUI* cancelButton = nullptr;
    DuiLib::CLabelUI* plainText = nullptr;

    std::shared_ptr<bool> gone_;  // set when the object deletes itself
};

// Shows text under title in a modal box owned by owner and returns the result
// code of the button that closed it; -1 when the box could not be shown or
// went away without a button. An empty title leaves the title bar blank.
// Without the layout (no archive) the system's message box stands in.
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& title, int type);
