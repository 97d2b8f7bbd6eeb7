#include "tests/support/UiDriver.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/Text.h"
#include "tests/support/TestService.h"
#include "ui/LayoutArchive.h"
#include "ui/MessageWnd.h"
#include "ui/toolkit/UIlib.h"

namespace test {

namespace {

bool UseArchiveIn(HMODULE module) {
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    return RegisterLayoutArchive(module);
}

// Test programs run side by side on one desktop; another's windows are not ours to drive.
bool Ours(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

BOOL CALLBACK CollectBox(HWND window, LPARAM parameter) {
    if (!Ours(window)) return TRUE;
    wchar_t name[32] = {}, text[32] = {};
    GetClassNameW(window, name, 32);
    GetWindowTextW(window, text, 32);
    if (std::wstring(name) == kMessageWndClass && std::wstring(text) == kMessageWndClass)
        reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

std::map<UINT_PTR, Ticker*>& Tickers() {
    static std::map<UINT_PTR, Ticker*> tickers;
    return tickers;
}

}  // namespace

bool UseOwnArchive() { return UseArchiveIn(GetModuleHandleW(nullptr)); }

bool UseArchiveOf(const std::wstring& exePath) {
    HMODULE module = LoadLibraryExW(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    bool ok = UseArchiveIn(module);  // the toolkit copies the bytes
    FreeLibrary(module);
    return ok;
}

HWND ShownWindow(const wchar_t* windowClass) {
    for (HWND window = FindWindowW(windowClass, nullptr); window;
         window = FindWindowExW(nullptr, window, windowClass, nullptr))
        if (Ours(window) && IsWindowVisible(window)) return window;
    return nullptr;
}

std::vector<HWND> OpenBoxes() {
    std::vector<HWND> boxes;
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

// The toolkit keeps each window's object in its user data.
DuiLib::WindowImplBase* WindowOf(HWND window) {
    return dynamic_cast<DuiLib::WindowImplBase*>(
        reinterpret_cast<DuiLib::CWindowWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA)));
}

DuiLib::CControlUI* ControlOf(HWND window, const wchar_t* name) {
    DuiLib::WindowImplBase* impl = WindowOf(window);
    return impl ? impl->GetPaintManager().FindControl(name) : nullptr;
}

std::wstring TextOf(HWND window, const wchar_t* name) {
    DuiLib::CControlUI* control = ControlOf(window, name);
    return control ? std::wstring(control->GetText()) : L"<no " + std::wstring(name) + L">";
}

bool Shown(HWND window, const wchar_t* name) {
    DuiLib::CControlUI* control = ControlOf(window, name);
    return control && control->IsVisibleInTree();
}

void Click(HWND window, const wchar_t* name) {
    DuiLib::WindowImplBase* object = WindowOf(window);
    if (!object) return;
    object->GetPaintManager().UpdateLayout();
    DuiLib::CControlUI* control = object->GetPaintManager().FindControl(name);
    if (!control) return;
    RECT rc = control->GetPos();
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    PostMessageW(window, WM_MOUSEMOVE, 0, at);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
}

HWND SharedOwner() {
    static HWND owner = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VantoroTestOwner";
        RegisterClassW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 700,
                               500, nullptr, nullptr, wc.hInstance, nullptr);
    }();
    return owner;
}

Ticker::Ticker(std::function<bool()> step) : step_(std::move(step)) {
    id_ = SetTimer(nullptr, 0, 30, Tick);
    Tickers()[id_] = this;
}

Ticker::~Ticker() {
    KillTimer(nullptr, id_);
    Tickers().erase(id_);
}

void CALLBACK Ticker::Tick(HWND, UINT, UINT_PTR id, DWORD) {
    auto found = Tickers().find(id);
    if (found == Tickers().end()) return;
    Ticker* self = found->second;
    if (self->busy_ || self->finished_) return;
    self->busy_ = true;
    bool done = self->step_();
    // The step may have run a nested loop in which this ticker went away.
    found = Tickers().find(id);
    if (found == Tickers().end() || found->second != self) return;
    self->busy_ = false;
    if (done) {
        self->finished_ = true;
        KillTimer(nullptr, id);
    }
}

int Answering(const wchar_t* button, const std::function<void()>& fn, const std::function<void(HWND)>& check) {
    std::set<HWND> answered;
    int count = 0;
    DWORD start = GetTickCount();
    Ticker ticker([&] {
        std::erase_if(answered, [](HWND box) { return !IsWindow(box); });  // handles may come back
        for (HWND box : OpenBoxes()) {
            if (GetTickCount() - start > 15000) {
                ADD_FAILURE() << "a message box stayed open";
                PostMessageW(box, WM_CLOSE, 0, 0);
                continue;
            }
            if (answered.count(box) || !IsWindowVisible(box)) continue;
            answered.insert(box);
            ++count;
            if (check) check(box);
            Click(box, button);
        }
        return false;
    });
    fn();
    return count;
}

}  // namespace test
