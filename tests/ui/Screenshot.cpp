// ui_screenshot <resource folder> <layout file> <out.png>: shows the layout
// as a dialog would be shown, lets it paint and animate briefly, and writes
// what the user sees (corners and shadow included) as a PNG.
// ui_screenshot --message <type> <resource folder> <out.png>: the same for
// the message box of that type.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/toolkit/Snapshot.h"
#include "ui/MessageWnd.h"
#include "ui/toolkit/UIlib.h"

namespace {

class LayoutWindow : public DuiLib::WindowImplBase {
public:
    explicit LayoutWindow(std::wstring file) : file_(std::move(file)) {}

protected:
    LPCWSTR GetWindowClassName() const override { return L"VantoroScreenshot"; }
    DuiLib::CDuiString GetSkinFile() override { return file_; }

private:
    std::wstring file_;
};

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

bool Save(HWND hwnd, const DuiLib::CPaintManagerUI& manager, const wchar_t* out) {
    DuiLib::Snapshot client, picture;
    return DuiLib::CaptureClient(hwnd, client) && DuiLib::ComposeWindowPicture(manager, client, 0xFFE9EDF2, picture) &&
           DuiLib::SaveSnapshotPng(picture, out);
}

// The box runs its own modal loop; a thread timer photographs it from inside.
const wchar_t* messageOut = nullptr;
bool messageSaved = false;

void CALLBACK PhotographBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(kMessageWndClass, kMessageWndClass);
    // The toolkit keeps each window's object in its user data.
    auto* window = dynamic_cast<DuiLib::WindowImplBase*>(
        reinterpret_cast<DuiLib::CWindowWnd*>(box ? GetWindowLongPtrW(box, GWLP_USERDATA) : 0));
    if (!window) return;
    KillTimer(nullptr, id);
    messageSaved = Save(box, window->GetPaintManager(), messageOut);
    PostMessageW(box, WM_CLOSE, 0, 0);
}

int ShootMessage(int type, const wchar_t* out) {
    messageOut = out;
    SetTimer(nullptr, 0, 700, PhotographBox);
    ShowMessage(nullptr, L"网络请求失败，是否联系客服处理？\n状态码: 404", L"提示", type);
    if (!messageSaved) fwprintf(stderr, L"cannot write %ls\n", out);
    return messageSaved ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && std::wstring(argv[1]) == L"--message") {
        DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
        DuiLib::CPaintManagerUI::SetResourceType(DuiLib::UILIB_FILE);
        DuiLib::CPaintManagerUI::SetResourcePath(argv[3]);
        int status = ShootMessage(_wtoi(argv[2]), argv[4]);
        DuiLib::CPaintManagerUI::ReleaseResources();
        return status;
    }
    if (argc != 4) {
        fwprintf(stderr, L"usage: ui_screenshot <resource folder> <layout file> <out.png>\n");
        return 2;
    }
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    DuiLib::CPaintManagerUI::SetResourceType(DuiLib::UILIB_FILE);
    DuiLib::CPaintManagerUI::SetResourcePath(argv[1]);
    int status = 0;
    {
        LayoutWindow window(argv[2]);
        if (!window.Create(nullptr, L"screenshot", 0x96C80000, WS_EX_TOOLWINDOW) || !window.IsLayoutLoaded()) {
            fwprintf(stderr, L"cannot load the layout %ls from %ls\n", argv[2], argv[1]);
            return 1;
        }
        window.CenterWindow();
        window.ShowWindow(true, true);
        Pump(700);
        if (!Save(window.GetHWND(), window.GetPaintManager(), argv[3])) {
            fwprintf(stderr, L"cannot write %ls\n", argv[3]);
            status = 1;
        }
    }
    DuiLib::CPaintManagerUI::ReleaseResources();
    return status;
}
