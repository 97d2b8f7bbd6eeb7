#include "tests/support/Desktop.h"

#include "platform/Text.h"
#include "tests/support/TestService.h"

namespace test {

namespace {
const wchar_t kBrowserKey[] = L"Software\\Wine\\WineBrowser";
}

std::wstring DosPath(const std::string& unixPath) {
    using ToDos = wchar_t*(CDECL*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
    if (!toDos) return {};
    wchar_t* dos = toDos(unixPath.c_str());
    std::wstring path = dos ? dos : L"";
    HeapFree(GetProcessHeap(), 0, dos);
    return path;
}

std::wstring LinkedFolder() { return DosPath(LINKED_FOLDER); }
std::wstring LinkTarget() { return DosPath(LINK_TARGET); }

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

std::string AwaitFile(const std::wstring& path, DWORD ms) {
    for (DWORD waited = 0; waited < ms && !FileExists(path); waited += 100) Pump(100);
    Pump(200);  // let the writer finish its line
    return FileExists(path) ? ReadFile(path) : std::string();
}

BrowserRecorder::BrowserRecorder() {
    log_ = DosPath(BROWSER_RECORDER ".log");
    if (log_.empty()) return;
    DeleteFileW(log_.c_str());
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        &disposition) != ERROR_SUCCESS) {
        key_ = nullptr;
        return;
    }
    createdKey_ = disposition == REG_CREATED_NEW_KEY;
    wchar_t old[1024];
    DWORD size = sizeof(old);
    hadOld_ = RegQueryValueExW(key_, L"Browsers", nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) ==
              ERROR_SUCCESS;
    if (hadOld_) old_.assign(old, size / sizeof(wchar_t));
    SetBrowsers(Utf8ToWide(BROWSER_RECORDER) + L'\0');
}

BrowserRecorder::~BrowserRecorder() {
    if (!key_) return;
    if (hadOld_)
        SetBrowsers(old_);
    else
        RegDeleteValueW(key_, L"Browsers");
    RegCloseKey(key_);
    if (createdKey_) RegDeleteKeyW(HKEY_CURRENT_USER, kBrowserKey);
    DeleteFileW(log_.c_str());
}

void BrowserRecorder::SetBrowsers(const std::wstring& value) {
    RegSetValueExW(key_, L"Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                   static_cast<DWORD>(value.size() * sizeof(wchar_t)));
}

namespace {

struct TitleSearch {
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<TitleSearch*>(parameter);
    wchar_t title[MAX_PATH] = {};
    GetWindowTextW(window, title, MAX_PATH);
    if (IsWindowVisible(window) && search->title == title) search->found = window;
    return search->found == nullptr;
}

}  // namespace

HWND VisibleWindowTitled(const std::wstring& title) {
    TitleSearch search{title};
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace test
