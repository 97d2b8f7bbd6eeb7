// A window for toolkit tests: its layout is XML text or a file name, it
// records every notification, and a watchdog ends a modal loop that a
// broken test would otherwise leave running.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/toolkit/UIlib.h"

namespace uitest {

constexpr UINT kWatchdogResult = 0xDEAD;
constexpr DWORD kProductDialogStyle = 0x96C80000;

struct Seen {
    std::wstring type;
    std::wstring sender;
    WPARAM wParam;
    LPARAM lParam;
};

class TestWindow : public DuiLib::WindowImplBase {
public:
    explicit TestWindow(std::wstring layout, std::wstring folder = L"") : layout_(std::move(layout)), folder_(std::move(folder)) {}

    // Creates the window and lays it out. The product's dialog style is
    // 0x96C80000; without caption and system menu Wine does not hand the window
    // to a window manager, and Xvfb has none to answer (each hide waits 2 s).
    bool Open(HWND owner = nullptr, DWORD style = kProductDialogStyle & ~(WS_CAPTION | WS_SYSMENU));
    DuiLib::CControlUI* Find(const wchar_t* name) { return m_PaintManager.FindControl(name); }
    template <class T>
    T* Find(const wchar_t* name) {
        return m_PaintManager.Find<T>(name);
    }
    // Centre of a control in client coordinates.
    POINT CenterOf(const wchar_t* name);
    // Posts a real press and release at the point (hit-testing decides the control).
    void PostClick(POINT pt);
    void PostClick(const wchar_t* name) { PostClick(CenterOf(name)); }
    size_t Count(const std::wstring& type, const std::wstring& sender) const;

    std::vector<Seen> seen;
    std::function<void(DuiLib::TNotifyUI&)> onNotify;
    bool* deleted = nullptr;  // set when the window deletes itself
    bool deleteOnFinal = false;

protected:
    LPCWSTR GetWindowClassName() const override { return L"UiTestWindow"; }
    DuiLib::CDuiString GetSkinFile() override { return layout_; }
    DuiLib::CDuiString GetSkinFolder() override { return folder_; }
    void Notify(DuiLib::TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void OnFinalMessage(HWND hWnd) override;

private:
    std::wstring layout_;
    std::wstring folder_;
};

// Points one import slot of this program elsewhere for a scope. The toolkit
// is linked in statically, so its calls to that function come here too.
// Declare the slot by its linker name, which x86 decorates and x64 does not:
//   extern "C" void* deleteObjectSlot __asm__(IMPORT_SLOT(DeleteObject, 4));
#ifdef _WIN64
#define IMPORT_SLOT(name, argumentBytes) "__imp_" #name
#else
#define IMPORT_SLOT(name, argumentBytes) "__imp__" #name "@" #argumentBytes
#endif
class ImportHook {
public:
    ImportHook(void** slot, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    template <class F>
    F Original() const {
        return reinterpret_cast<F>(original_);
    }

private:
    void** slot_;
    void* original_;
};

// The system in high contrast, as the toolkit reads it, for a scope: Wine
// neither turns the mode on nor reports it, so SystemParametersInfoW and
// GetSysColor of this program answer as Windows would with a black scheme.
// The toolkit sees it when it reads the look again (a window does at
// WM_SETTINGCHANGE); the scope's end reads the look again.
class SimulatedHighContrast {
public:
    // The scheme's colours (COLORREF) of the roles the toolkit uses.
    static constexpr COLORREF kWindow = RGB(0, 0, 0), kWindowText = RGB(255, 255, 255),
                              kButtonFace = RGB(0, 0, 0), kButtonText = RGB(255, 255, 0),
                              kHighlight = RGB(26, 235, 255), kHighlightText = RGB(0, 0, 0),
                              kGrayText = RGB(63, 242, 63);
    SimulatedHighContrast();
    ~SimulatedHighContrast();
    SimulatedHighContrast(const SimulatedHighContrast&) = delete;
    SimulatedHighContrast& operator=(const SimulatedHighContrast&) = delete;

private:
    static BOOL WINAPI SystemParameters(UINT action, UINT param, void* data, UINT winIni);
    static DWORD WINAPI SysColor(int index);
    ImportHook parameters_;
    ImportHook colors_;
};

// The system's text scale ("Make text bigger", percent) for a scope: written
// where Windows keeps it, the old value put back at the end.
class TextScaleSetting {
public:
    explicit TextScaleSetting(DWORD percent);
    ~TextScaleSetting();
    TextScaleSetting(const TextScaleSetting&) = delete;
    TextScaleSetting& operator=(const TextScaleSetting&) = delete;

private:
    DWORD old_ = 0;
    bool hadOld_ = false;
};

// Handles this thread's messages for a while.
void Pump(DWORD ms);
// Registers the test executable's own archive (its IDR_ZIPRES resource).
bool UseOwnArchive();
// A plain folder of layouts on disk.
void UseFolder(const wchar_t* folder);

}  // namespace uitest
