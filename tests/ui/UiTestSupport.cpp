#include "UiTestSupport.h"

namespace uitest {

bool TestWindow::Open(HWND owner, DWORD style) {
    if (!Create(owner, L"test", style, WS_EX_TOOLWINDOW)) return false;
    ::SetTimer(GetHWND(), 0x5EED, 8000, nullptr);  // the watchdog
    m_PaintManager.UpdateLayout();
    return true;
}

POINT TestWindow::CenterOf(const wchar_t* name) {
    m_PaintManager.UpdateLayout();
    DuiLib::CControlUI* control = Find(name);
    if (!control) return POINT{-1, -1};
    RECT rc = control->GetPos();
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void TestWindow::PostClick(POINT pt) {
    LPARAM at = MAKELPARAM(pt.x, pt.y);
    ::PostMessageW(GetHWND(), WM_MOUSEMOVE, 0, at);
    ::PostMessageW(GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(GetHWND(), WM_LBUTTONUP, 0, at);
}

size_t TestWindow::Count(const std::wstring& type, const std::wstring& sender) const {
    size_t n = 0;
    for (const Seen& s : seen)
        if (s.type == type && s.sender == sender) ++n;
    return n;
}

void TestWindow::Notify(DuiLib::TNotifyUI& msg) {
    seen.push_back(Seen{msg.sType, msg.pSender ? msg.pSender->GetName() : L"", msg.wParam, msg.lParam});
    if (onNotify) onNotify(msg);
    WindowImplBase::Notify(msg);
}

LRESULT TestWindow::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if (uMsg == WM_TIMER && wParam == 0x5EED) {
        Close(kWatchdogResult);
        bHandled = TRUE;
        return 0;
    }
    return WindowImplBase::HandleCustomMessage(uMsg, wParam, lParam, bHandled);
}

void TestWindow::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    if (deleted) *deleted = true;
    if (deleteOnFinal) delete this;
}

namespace {

void WriteSlot(void** slot, void* value) {
    DWORD old = 0;
    VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), old, &old);
}

}  // namespace

ImportHook::ImportHook(void** slot, void* replacement) : slot_(slot), original_(*slot) { WriteSlot(slot, replacement); }

ImportHook::~ImportHook() { WriteSlot(slot_, original_); }

extern "C" void* systemParametersSlot __asm__(IMPORT_SLOT(SystemParametersInfoW, 16));
extern "C" void* sysColorSlot __asm__(IMPORT_SLOT(GetSysColor, 4));

namespace {

constexpr wchar_t kAccessibilityKey[] = L"Software\\Microsoft\\Accessibility";
SimulatedHighContrast* simulated = nullptr;
BOOL(WINAPI* originalParameters)(UINT, UINT, void*, UINT) = nullptr;
DWORD(WINAPI* originalSysColor)(int) = nullptr;

}  // namespace

SimulatedHighContrast::SimulatedHighContrast()
    : parameters_(&systemParametersSlot, reinterpret_cast<void*>(&SystemParameters)),
      colors_(&sysColorSlot, reinterpret_cast<void*>(&SysColor)) {
    originalParameters = parameters_.Original<decltype(originalParameters)>();
    originalSysColor = colors_.Original<decltype(originalSysColor)>();
    simulated = this;
}

SimulatedHighContrast::~SimulatedHighContrast() {
    simulated = nullptr;  // the hooks answer as the system until they go
    DuiLib::SystemLook::Refresh();
}

BOOL WINAPI SimulatedHighContrast::SystemParameters(UINT action, UINT param, void* data, UINT winIni) {
    if (simulated && action == SPI_GETHIGHCONTRAST && data) {
        auto* contrast = static_cast<HIGHCONTRASTW*>(data);
        contrast->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
        contrast->lpszDefaultScheme = nullptr;
        return TRUE;
    }
    return originalParameters(action, param, data, winIni);
}

DWORD WINAPI SimulatedHighContrast::SysColor(int index) {
    if (!simulated) return originalSysColor(index);
    switch (index) {
        case COLOR_WINDOW: return kWindow;
        case COLOR_WINDOWTEXT: return kWindowText;
        case COLOR_BTNFACE: return kButtonFace;
        case COLOR_BTNTEXT: return kButtonText;
        case COLOR_HIGHLIGHT: return kHighlight;
        case COLOR_HIGHLIGHTTEXT: return kHighlightText;
        case COLOR_GRAYTEXT: return kGrayText;
        default: break;
    }
    return originalSysColor(index);
}

TextScaleSetting::TextScaleSetting(DWORD percent) {
    DWORD size = sizeof(old_);
    hadOld_ = RegGetValueW(HKEY_CURRENT_USER, kAccessibilityKey, L"TextScaleFactor", RRF_RT_REG_DWORD, nullptr, &old_,
                           &size) == ERROR_SUCCESS;
    RegSetKeyValueW(HKEY_CURRENT_USER, kAccessibilityKey, L"TextScaleFactor", REG_DWORD, &percent, sizeof(percent));
    DuiLib::SystemLook::Refresh();
}

TextScaleSetting::~TextScaleSetting() {
    if (hadOld_) RegSetKeyValueW(HKEY_CURRENT_USER, kAccessibilityKey, L"TextScaleFactor", REG_DWORD, &old_, sizeof(old_));
    else RegDeleteKeyValueW(HKEY_CURRENT_USER, kAccessibilityKey, L"TextScaleFactor");
    DuiLib::SystemLook::Refresh();
}

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!DuiLib::CPaintManagerUI::TranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

bool UseOwnArchive() {
    HMODULE module = GetModuleHandleW(nullptr);
    DuiLib::CPaintManagerUI::SetInstance(module);
    DuiLib::CPaintManagerUI::SetResourceType(DuiLib::UILIB_ZIPRESOURCE);
    HRSRC found = FindResourceW(module, L"IDR_ZIPRES", L"ZIPRES");
    if (!found) return false;
    HGLOBAL loaded = LoadResource(module, found);
    DWORD size = SizeofResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return bytes && DuiLib::CPaintManagerUI::SetResourceZip(bytes, size);
}

void UseFolder(const wchar_t* folder) {
    DuiLib::CPaintManagerUI::SetResourceType(DuiLib::UILIB_FILE);
    DuiLib::CPaintManagerUI::SetResourcePath(folder);
}

}  // namespace uitest
