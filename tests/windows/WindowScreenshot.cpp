// windows_screenshot <scene> <resource folder> <out.png>: opens one of
// Fixer's windows as the product does, brings it to the moment the scene
// names and writes what the user sees, corners and shadow included, as a PNG.
// A scene marked "service" talks to the reference service that
// VANTORO_SERVICE_DIR names (as for the tests).
// windows_screenshot --list: the scenes, one a line, with their marks.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "net/HttpSession.h"
#include "net/ServerConfig.h"
#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/Dialog.h"
#include "ui/toolkit/Snapshot.h"
#include "ui/toolkit/UIlib.h"
#include "windows/CheckProgressWnd.h"
#include "windows/DownloadWnd.h"
#include "windows/SolutionWnd.h"
#include "windows/MainWindow.h"

namespace {

// One window at one moment. open runs the window modally (as its opener
// would); ready is asked every 50 ms with the window once it shows, may drive
// it, and says when the picture is to be taken.
struct Scene {
    const wchar_t* name;
    bool needsService;
    const wchar_t* windowClass;
    std::function<void()> open;
    std::function<bool(HWND)> ready;
};

// The product's draw and clock; the steps come from ready, so the picture
// shows the step that ready saw.
void OpenCheck(int feature) {
    Windows::CheckProgressHooks hooks;
    hooks.stepMs = 0;
    RunDialog(new Windows::CheckProgressWnd(feature, hooks), nullptr, L"正在检查中");
}

int CheckPercent(HWND window) {
    auto* bar = dynamic_cast<DuiLib::CProgressUI*>(test::ControlOf(window, L"progressprog"));
    return bar ? bar->GetValue() : 0;
}

bool StepCheckUntil(HWND window, const std::function<bool(HWND)>& there) {
    if (there(window)) return true;
    SendMessageW(window, WM_TIMER, Windows::CheckProgressWnd::kStepTimer, 0);
    return false;
}

// The DirectX row's tool, sent slowly so that the picture catches it half way.
void OpenDownload() {
    test::SetFault(test::ParseJson(R"({"path": "/files/DirectX Repair.exe", "rate": 524288})"));
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"vantoro-screenshot";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring target = folder + L"\\DirectX Repair.exe";
    DeleteFileW(target.c_str());  // left by an earlier picture
    DeleteFileW((target + L".cache").c_str());
    RunDialog(new Windows::DownloadWnd(test::BaseUrl() + "/files/DirectX%20Repair.exe", target, L"DirectX Repair.exe"),
              nullptr, L"download");
}

bool DownloadHalfWay(HWND window) {
    int percent = _wtoi(test::TextOf(window, L"progresslbl").c_str());
    return percent >= 30 && test::TextOf(window, L"tipLbl").rfind(L"大小:", 0) == 0;
}

// The landing page as start-up shows it, after the service's configuration.
void OpenMain() {
    MainWindow window;
    if (!window.Create(nullptr, L"Vantoro", WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_ACCEPTFILES)) return;
    window.CenterWindow();
    window.ShowWindow(true, true);
    DuiLib::CPaintManagerUI::MessageLoop();
}

// Saved into a folder of its own, so that the labels do not depend on what
// an earlier run left in the shared documents.
void OpenSolution() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    auto* page = new Windows::SolutionWnd(1);
    page->SetSaveFolder(std::wstring(temp) + L"vantoro-screenshot");
    RunDialog(page, nullptr, L"产品详情");
}

bool SolutionChosen(HWND window) {
    auto* versions = dynamic_cast<DuiLib::CComboUI*>(test::ControlOf(window, L"versioncombo"));
    return versions && versions->GetCount() > 0;
}

bool SolutionListed(HWND window) {
    auto* list = dynamic_cast<DuiLib::CListUI*>(test::ControlOf(window, L"workinglst"));
    if (list && list->GetCount() > 0) return true;
    if (SolutionChosen(window) && test::Shown(window, L"confirmbtn")) test::Click(window, L"confirmbtn");
    return false;
}

const Scene kScenes[] = {
    {L"main", true, L"mainWnd", OpenMain, [](HWND) { return ServerConfig::Instance().Received(); }},
    // The feature with the longest subtitle, picked with the mouse.
    {L"main-reinstall", true, L"mainWnd", OpenMain,
     [](HWND window) {
         if (test::TextOf(window, L"fixbtn") == L"立即重装") return ServerConfig::Instance().Received();
         test::Click(window, L"reinstallOpt");
         return false;
     }},
    // DirectX repair in its own stage, the longest of the stage texts.
    {L"check-running", false, L"CheckProgressWnd", [] { OpenCheck(3); },
     [](HWND window) { return StepCheckUntil(window, [](HWND w) { return CheckPercent(w) >= 20; }); }},
    {L"check-done", false, L"CheckProgressWnd", [] { OpenCheck(1); },
     [](HWND window) { return StepCheckUntil(window, [](HWND w) { return test::Shown(w, L"viewSolutionBtn"); }); }},
    {L"download-running", true, L"UpdateWnd", OpenDownload, DownloadHalfWay},
    // The C-drive page with the service's data: its choice, and its list
    // after a click on the confirm button.
    {L"solution-choice", true, L"SolutionWnd", OpenSolution, SolutionChosen},
    {L"solution-list", true, L"SolutionWnd", OpenSolution, SolutionListed},
};

const Scene* FindScene(const std::wstring& name) {
    for (const Scene& scene : kScenes)
        if (name == scene.name) return &scene;
    return nullptr;
}

bool Save(HWND window, const wchar_t* out) {
    auto* object = dynamic_cast<DuiLib::WindowImplBase*>(
        reinterpret_cast<DuiLib::CWindowWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA)));
    DuiLib::Snapshot client, picture;
    return object && DuiLib::CaptureClient(window, client) &&
           DuiLib::ComposeWindowPicture(object->GetPaintManager(), client, 0xFFE9EDF2, picture) &&
           DuiLib::SaveSnapshotPng(picture, out);
}

int Shoot(const Scene& scene, const wchar_t* out) {
    bool readySeen = false;
    DWORD readyAt = 0, start = GetTickCount();
    test::Ticker photographer([&] {
        HWND window = test::ShownWindow(scene.windowClass);
        if (GetTickCount() - start > 30000) {
            fwprintf(stderr, L"%ls: the window did not get there in 30 s\n", scene.name);
            ExitProcess(1);
        }
        if (!window) return false;
        if (!readySeen) {
            readySeen = scene.ready(window);
            readyAt = GetTickCount();
            return false;
        }
        if (GetTickCount() - readyAt < 300) return false;  // painted and settled
        bool saved = Save(window, out);
        if (!saved) fwprintf(stderr, L"cannot write %ls\n", out);
        // Windows opened by this one, requests in flight: ending here is simplest.
        ExitProcess(saved ? 0 : 1);
    });
    scene.open();
    fwprintf(stderr, L"%ls: the window closed before its picture was taken\n", scene.name);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // scripts/screenshot.sh --high-contrast: the mode Wine cannot turn on.
    std::optional<uitest::SimulatedHighContrast> contrast;
    if (_wgetenv(L"VANTORO_SHOT_HIGH_CONTRAST")) contrast.emplace();
    DuiLib::SystemLook::Refresh();
    if (argc == 2 && std::wstring(argv[1]) == L"--list") {
        for (const Scene& scene : kScenes) wprintf(L"%ls%ls\n", scene.name, scene.needsService ? L" service" : L"");
        return 0;
    }
    const Scene* scene = argc == 4 ? FindScene(argv[1]) : nullptr;
    if (!scene) {
        fwprintf(stderr, L"usage: windows_screenshot <scene> <resource folder> <out.png>\n"
                         L"       windows_screenshot --list\n");
        return 2;
    }
    if (scene->needsService && test::ServiceDir().empty()) {
        fwprintf(stderr, L"%ls needs the reference service: set VANTORO_SERVICE_DIR\n", scene->name);
        return 2;
    }
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    DuiLib::CPaintManagerUI::SetResourceType(DuiLib::UILIB_FILE);
    DuiLib::CPaintManagerUI::SetResourcePath(argv[2]);
    if (scene->needsService) {
        HttpSession& session = HttpSession::Instance();
        session.SetProduct("quorvex");
        session.SetBaseUrl(test::BaseUrl());
        session.Initialise();
    }
    return Shoot(*scene, argv[3]);
}
