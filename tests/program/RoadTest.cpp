// One repair walked as a user walks it, in the real Vantoro.exe running in a
// process of its own: pick the C-drive feature, run its check, pick the second
// version, download the program row (which brings its rules file and the
// tutorial with it), and open it. Everything is a mouse message posted into
// the program's windows; a second user walks the same road with the keyboard
// alone, and a third by ear with a screen reader's calls from outside.
//
// A control's place cannot be read across processes, so this test builds a
// hidden mirror of the window from the same layout in the program's own
// archive, sized like the real one, and clicks where the mirror has the
// control. What the code adds to a layout (rows, drop-down items) is placed
// the way the code places it.
//
// Each of the program's windows must reach the screen itself: the test reads
// what the screen shows at the window's place (under Wine, the X screen),
// which the window's own snapshot cannot tell.
//
// "Open" of a program row shows its folder: the shell starts Wine's file
// manager on the save folder, which the test records by its window (title and
// process) and closes; the downloaded program itself is never started.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <versionhelpers.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/SaveFolder.h"
#include "platform/Text.h"
#include "tests/support/Desktop.h"
#include "tests/support/Program.h"
#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"
#include "tests/ui/accessible/ReaderView.h"
#include "ui/MessageWnd.h"
#include "ui/toolkit/GdiHandles.h"
#include "ui/toolkit/UIlib.h"
#include "windows/SolutionWnd.h"

using namespace DuiLib;

namespace {

constexpr DWORD kWaitMs = 20000;
// What the code adds to the layouts: the page's version items and list rows.
constexpr int kVersionItemHeight = 36;
const wchar_t kRowLayout[] = L"ListItem.xml";

// The files of the C-drive feature's second version (catalogue 202/1201): the
// row clicked (the program for the machine's Windows), its companion, and its
// partner tutorial, saved under their decoded names (a "+" in an address is a space).
struct Download {
    const wchar_t* saved;
    const wchar_t* served;
};
const wchar_t* const kProgram = test::NativeWindows64() ? L"deep clean x64.exe" : L"deep clean x86.exe";
const Download kDownloads[] = {
    {kProgram, kProgram}, {L"deep-clean rules.ini", L"deep-clean rules.ini"}, {L"深度清理 教程.pdf", L"深度清理+教程.pdf"}};
constexpr int kProgramRow = 1;
constexpr int kRows = 4;

bool Await(const std::function<bool()>& condition, DWORD ms = kWaitMs) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(50))
        if (condition()) return true;
    return condition();
}

class MirrorWnd : public WindowImplBase {
public:
    explicit MirrorWnd(std::wstring skin) : skin_(std::move(skin)) {}

protected:
    LPCWSTR GetWindowClassName() const override { return L"LayoutMirror"; }
    CDuiString GetSkinFile() override { return skin_.c_str(); }

private:
    std::wstring skin_;
};

// A hidden window built from one of the program's layouts.
class Mirror {
public:
    explicit Mirror(const wchar_t* layout) : window_(new MirrorWnd(layout)) {
        window_->Create(nullptr, L"mirror", WS_POPUP, WS_EX_TOOLWINDOW);
    }
    ~Mirror() {
        if (window_->GetHWND()) DestroyWindow(window_->GetHWND());
    }
    CPaintManagerUI& Manager() { return window_->GetPaintManager(); }
    template <typename T = CControlUI>
    T* Find(const wchar_t* name) {
        return dynamic_cast<T*>(Manager().FindControl(name));
    }
    void Show(const wchar_t* name, bool shown) {
        if (CControlUI* control = Find(name)) control->SetVisible(shown);
    }

    // The centre of the control, laid out at the target's client size.
    POINT Centre(HWND target, CControlUI* control) {
        if (!control) {
            ADD_FAILURE() << "a control is missing from the mirrored layout";
            return {-1, -1};
        }
        RECT client{};
        GetClientRect(target, &client);
        SetWindowPos(window_->GetHWND(), nullptr, 0, 0, client.right, client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Manager().UpdateLayout();
        RECT rc = control->GetPos();
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    POINT Centre(HWND target, const wchar_t* name) { return Centre(target, Find(name)); }

private:
    std::unique_ptr<MirrorWnd> window_;
};

// Presses and releases the keys in turn, as the window would get them while it has the focus.
void Keys(HWND window, std::initializer_list<UINT> keys) {
    for (UINT key : keys) {
        PostMessageW(window, WM_KEYDOWN, key, 1);
        PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    }
    Sleep(300);
}

// Moves the mouse there and presses and releases the left button.
void ClickAt(HWND window, POINT at) {
    LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(window, WM_MOUSEMOVE, 0, where);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
}

// The share of the window's place on the screen that is black, read back
// from the screen; 1 when it cannot be read.
double BlackShareOnScreen(HWND window) {
    RECT place{};
    GetWindowRect(window, &place);
    int width = place.right - place.left, height = place.bottom - place.top;
    if (width <= 0 || height <= 0) return 1;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    UniqueMemoryDC copy(CreateCompatibleDC(screen));
    bool read = copy.SelectBitmap(UniqueBitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0))) &&
                BitBlt(copy.Get(), 0, 0, width, height, screen, place.left, place.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    if (!read) return 1;
    const auto* pixels = static_cast<const uint32_t*>(bits);
    size_t count = static_cast<size_t>(width) * height;
    auto black = std::count_if(pixels, pixels + count, [](uint32_t p) { return (p & 0xF0F0F0) == 0; });
    return static_cast<double>(black) / count;
}

// The program's drop shadow around the window: the smallest one of the same
// program that encloses it.
HWND ShadowOf(HWND window) {
    RECT place{};
    GetWindowRect(window, &place);
    DWORD program = 0;
    GetWindowThreadProcessId(window, &program);
    HWND found = nullptr;
    LONG foundArea = 0;
    for (HWND shadow = FindWindowW(L"DuiShadow", nullptr); shadow;
         shadow = FindWindowExW(nullptr, shadow, L"DuiShadow", nullptr)) {
        RECT around{};
        GetWindowRect(shadow, &around);
        DWORD id = 0;
        GetWindowThreadProcessId(shadow, &id);
        LONG area = (around.right - around.left) * (around.bottom - around.top);
        bool encloses = around.left < place.left && around.top < place.top && around.right > place.right &&
                        around.bottom > place.bottom;
        if (id == program && IsWindowVisible(shadow) && encloses && (!found || area < foundArea)) {
            found = shadow;
            foundArea = area;
        }
    }
    return found;
}

// The windows are light: once painted, hardly any of their place is black,
// even with their shadow above them, where Wine's window order puts it and
// a window manager may stack it.
void ExpectOnScreen(HWND window, const char* what) {
    if (HWND shadow = ShadowOf(window)) {
        // Behind the window first: Wine restacks nothing for a window already on top.
        const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
        SetWindowPos(shadow, window, 0, 0, 0, 0, flags);
        SetWindowPos(shadow, HWND_TOP, 0, 0, 0, 0, flags);
    }
    EXPECT_TRUE(Await([&] { return BlackShareOnScreen(window) < 0.1; }, 5000)) << what << " is black on the screen";
}

std::vector<test::LoggedRequest> Requests(const std::string& path) {
    std::vector<test::LoggedRequest> found;
    for (auto& request : test::RequestLog())
        if (request.path == path) found.push_back(request);
    return found;
}

std::string QueryValue(const test::LoggedRequest& request, const std::string& name) {
    for (const auto& [key, value] : request.query)
        if (key == name) return value;
    return "<missing>";
}

// The file name of the program that owns the window.
std::wstring ProgramOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process) return {};
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    bool ok = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    std::wstring name = ok ? path : L"";
    return name.substr(name.find_last_of(L'\\') + 1);
}

// The folder with everything in it.
void RemoveFolder(const std::wstring& folder) {
    std::wstring from = folder + L'\0';  // a list of one, ended by a second null
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

std::wstring ServiceFile(const std::wstring& name) { return test::ServiceDir() + L"\\data\\files\\" + name; }

class RoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::UseArchiveOf(test::DosPath(VANTORO_EXE)));
        RemoveFolder(saveFolder);
        ASSERT_FALSE(test::FileExists(saveFolder));
        exe = folder.Path() + L"\\Vantoro.exe";
        ASSERT_TRUE(CopyFileW(test::DosPath(VANTORO_EXE).c_str(), exe.c_str(), FALSE));
        UseService(test::BaseUrl());
        test::ClearFaults();
        test::UseRealCatalog();
        test::ClearRequestLog();
    }
    void TearDown() override { RemoveFolder(saveFolder); }

    static void UseService(const std::string& url) {
        std::wstring service = Utf8ToWide(url);
        SetEnvironmentVariableW(L"VANTORO_SERVICE_URL", service.c_str());
        SetEnvironmentVariableW(L"VANTORO_FALLBACK_URL", (service + L"/fallback/config.json").c_str());
    }
    void CleanTheCDrive();

    // The row's three files are in the save folder, each fetched once.
    void ExpectTheDownloads() {
        for (const Download& download : kDownloads) {
            std::string name = WideToUtf8(download.saved);
            std::string saved = test::ReadFile(saveFolder + L"\\" + download.saved);
            EXPECT_FALSE(saved.empty()) << name << " is not in the save folder";
            EXPECT_TRUE(saved == test::ReadFile(ServiceFile(download.served))) << name << " differs from the service's";
            EXPECT_EQ(Requests("/files/" + WideToUtf8(download.served)).size(), 1u) << name;
        }
    }
    // The save folder is shown by the file manager, which the test closes.
    void ExpectTheFolderShown() {
        std::wstring folderTitle = saveFolder.substr(saveFolder.find_last_of(L'\\') + 1);
        HWND shown = nullptr;
        EXPECT_TRUE(Await([&] { return (shown = test::VisibleWindowTitled(folderTitle)) != nullptr; }))
            << "the save folder was not shown";
        if (shown) {
            EXPECT_EQ(ProgramOf(shown), L"explorer.exe");
            PostMessageW(shown, WM_CLOSE, 0, 0);
        }
    }

    test::TempFolder folder;
    std::wstring exe;
    const std::wstring saveFolder = DefaultSaveFolder();
};

TEST_F(RoadTest, AUserCleansTheCDriveFromTheLandingPageToTheOpenedFolder) { CleanTheCDrive(); }

// The same road where the service speaks https only: the program knows no
// other address, and the service names its files with the scheme it was asked with.
TEST_F(RoadTest, TheSameRoadOverHttps) {
    UseService(test::TlsBaseUrl());
    CleanTheCDrive();
}

void RoadTest::CleanTheCDrive() {
    test::Program fixer(exe);
    ASSERT_TRUE(fixer.Started());
    HWND main = fixer.AwaitWindow(L"mainWnd");
    ASSERT_NE(main, nullptr) << "no landing page";
    ASSERT_TRUE(Await([] { return !Requests("/helper/config").empty(); })) << "no start-up configuration";

    // The landing page: the C-drive feature, then its button.
    Mirror landing(L"MainUI.xml");
    ClickAt(main, landing.Centre(main, L"ccleanerOpt"));
    Sleep(300);
    ClickAt(main, landing.Centre(main, L"fixbtn"));

    // The check: its button appears when the check is done; until then a
    // click there does nothing.
    HWND check = fixer.AwaitWindow(L"CheckProgressWnd");
    ASSERT_NE(check, nullptr) << "the repair button opened no check window";
    Mirror checking(L"CheckProgress.xml");
    checking.Show(L"viewSolutionBtn", true);
    POINT viewSolution = checking.Centre(check, L"viewSolutionBtn");
    DWORD checkStart = GetTickCount();
    ExpectOnScreen(check, "the check window");
    HWND page = nullptr;
    ASSERT_TRUE(Await(
        [&] {
            ClickAt(check, viewSolution);
            Sleep(450);
            return (page = fixer.Window(L"SolutionWnd")) != nullptr;
        },
        15000))
        << "the check never offered its solution";
    EXPECT_GE(GetTickCount() - checkStart, 5000u) << "the solution was offered before the check had run";

    // The choice: the second version from the drop-down, then confirm.
    ASSERT_TRUE(Await([] { return Requests("/helper/config").size() >= 2; })) << "the page asked for no configuration";
    Sleep(500);  // the answer fills the drop-downs
    ExpectOnScreen(page, "the solution page");
    Mirror solution(L"SolutionUI.xml");
    ClickAt(page, solution.Centre(page, L"versioncombo"));
    HWND dropDown = fixer.AwaitWindow(L"DuiComboDropDown", 5000);
    ASSERT_NE(dropDown, nullptr) << "the version drop-down did not open";
    ClickAt(dropDown, {10, 1 + kVersionItemHeight + kVersionItemHeight / 2});
    ASSERT_TRUE(Await([&] { return !fixer.Window(L"DuiComboDropDown"); }, 5000));
    ClickAt(page, solution.Centre(page, L"confirmbtn"));
    ASSERT_TRUE(Await([] { return !Requests("/helper/solution").empty(); })) << "the choice was not confirmed";
    test::LoggedRequest list = Requests("/helper/solution").front();
    EXPECT_EQ(QueryValue(list, "name"), "quorvex");
    EXPECT_EQ(QueryValue(list, "versionid"), "202") << "not the C-drive feature's second version";
    EXPECT_EQ(QueryValue(list, "pluginid"), "1201");
    Sleep(500);  // the answer becomes the rows

    // The program row: it downloads with its companion and its partner
    // tutorial, then says so once.
    auto* tabs = solution.Find<CTabLayoutUI>(L"typeTab");
    auto* rows = solution.Find<CListUI>(L"workinglst");
    ASSERT_TRUE(tabs && rows);
    tabs->SelectItem(1);
    CDialogBuilder builder;
    for (int i = 0; i < kRows; ++i) rows->Add(builder.Create(kRowLayout, &solution.Manager()));
    POINT programButton =
        solution.Centre(page, solution.Manager().FindSubControlByName(rows->GetItemAt(kProgramRow), L"godownbtn"));
    ClickAt(page, programButton);
    HWND box = fixer.AwaitWindow(kMessageWndClass, 60000);
    ASSERT_NE(box, nullptr) << "the downloads ended without their message";
    ExpectOnScreen(box, "the message box");
    ExpectTheDownloads();
    Mirror message(L"Msgbox.xml");  // a question: OK and Cancel
    message.Show(L"retrybtn", false);
    message.Show(L"closebtn", false);
    ClickAt(box, message.Centre(box, L"okbtn"));
    ASSERT_TRUE(Await([&] { return !fixer.Window(kMessageWndClass); }, 5000)) << "the message stayed";

    // Open: the row now shows the program in its folder, without fetching it again.
    ClickAt(page, programButton);
    ExpectTheFolderShown();
    EXPECT_EQ(Requests("/files/" + WideToUtf8(kProgram)).size(), 1u) << "the program was downloaded again";
    EXPECT_EQ(fixer.Window(kMessageWndClass), nullptr);

    // Back: closing the page closes the check window; closing the landing
    // page ends the program.
    ClickAt(page, solution.Centre(page, L"closebtn"));
    EXPECT_TRUE(Await([&] { return !fixer.Window(L"SolutionWnd") && !fixer.Window(L"CheckProgressWnd"); }))
        << "the page or the check window stayed";
    ClickAt(main, landing.Centre(main, L"closebtn"));
    EXPECT_EQ(fixer.AwaitExit(), 0u);
    Sleep(300);  // let the file manager let go of the folder
}

// A visible top-level window of the class in another process, with its process id.
HWND ForeignWindow(const wchar_t* windowClass, DWORD notProcess, DWORD* processId = nullptr) {
    for (HWND window = FindWindowW(windowClass, nullptr); window;
         window = FindWindowExW(nullptr, window, windowClass, nullptr)) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        if (id == notProcess || !IsWindowVisible(window)) continue;
        if (processId) *processId = id;
        return window;
    }
    return nullptr;
}

std::string UploadPart(const Json::Value& upload, const char* name) {
    for (const Json::Value& part : upload["parts"])
        if (part["name"].asString() == name) return part.isMember("value") ? part["value"].asString() : "<file>";
    return "<missing>";
}

// A fault nobody planted: a thread started from outside at an address with
// no code. Dumper takes over, the user sends the report with the defaults
// (send, restart), the service receives the archive byte for byte and the
// program comes back.
TEST_F(RoadTest, AFaultFromOutsideIsReportedAndTheProgramComesBack) {
    std::wstring dumperFolder = test::DosPath(DUMPER_EXE);
    dumperFolder.resize(dumperFolder.find_last_of(L'\\'));
    for (const wchar_t* name : {L"dumper.exe", L"7za.exe"})
        ASSERT_TRUE(CopyFileW((dumperFolder + L"\\" + name).c_str(), (folder.Path() + L"\\" + name).c_str(), FALSE));
    SetEnvironmentVariableW(L"VANTORO_DUMPER_API_URL", Utf8ToWide(test::BaseUrl()).c_str());
    Json::ArrayIndex uploadsBefore = test::ParseJson(test::Get("/test/uploads").text).size();

    test::Program fixer(exe);
    ASSERT_TRUE(fixer.Started());
    ASSERT_NE(fixer.AwaitWindow(L"mainWnd"), nullptr) << "no landing page";
    HANDLE thread = CreateRemoteThread(fixer.Handle(), nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(0x10),
                                       nullptr, 0, nullptr);
    ASSERT_TRUE(thread) << GetLastError();
    CloseHandle(thread);

    // The analysis ends the crashed process with the fault's code.
    EXPECT_EQ(fixer.AwaitExit(60000), DWORD(EXCEPTION_ACCESS_VIOLATION));
    DWORD dumperId = 0;
    HWND report = nullptr;
    ASSERT_TRUE(Await([&] { return (report = ForeignWindow(L"ReportWnd", 0, &dumperId)) != nullptr; }))
        << "Dumper showed no window";
    std::wstring archive;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder.Path() + L"\\*.7z").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no archive beside Dumper";
    archive = folder.Path() + L"\\" + found.cFileName;
    FindClose(search);

    // The button wakes once the analysis has told the window; until then a click does nothing.
    ASSERT_TRUE(test::UseArchiveOf(test::DosPath(DUMPER_EXE)));
    Mirror reportLayout(L"ReportUI.xml");
    POINT ok = reportLayout.Centre(report, L"okBtn");
    HWND box = nullptr;
    ASSERT_TRUE(Await([&] {
        if ((box = ForeignWindow(kMessageWndClass, 0))) return true;
        ClickAt(report, ok);
        Sleep(300);
        return false;
    }, 30000)) << "the report was never sent";
    Json::Value uploads = test::ParseJson(test::Get("/test/uploads").text);
    ASSERT_EQ(uploads.size(), uploadsBefore + 1);
    const Json::Value& upload = uploads[uploadsBefore];
    EXPECT_EQ(test::Get("/test/upload/" + upload["id"].asString()).text, test::ReadFile(archive))
        << "the service holds other bytes than the archive";
    EXPECT_EQ(upload["filename"].asString(), WideToUtf8(found.cFileName));
    EXPECT_EQ(UploadPart(upload, "product"), "Fixer");
    EXPECT_NE(UploadPart(upload, "tag"), "<missing>");
    PostMessageW(box, WM_CLOSE, 0, 0);

    // Restarted from Dumper's folder: a new landing page, no "already open" box.
    HWND back = nullptr;
    ASSERT_TRUE(Await([&] { return (back = ForeignWindow(L"mainWnd", 0)) != nullptr; }, 30000))
        << "the program did not come back";
    DWORD backId = 0;
    GetWindowThreadProcessId(back, &backId);
    HANDLE restarted = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, backId);
    EXPECT_EQ(ProgramOf(back), L"Vantoro.exe");
    HANDLE dumper = OpenProcess(SYNCHRONIZE, FALSE, dumperId);
    EXPECT_TRUE(!dumper || WaitForSingleObject(dumper, 20000) == WAIT_OBJECT_0) << "Dumper did not end";
    if (dumper) CloseHandle(dumper);
    PostMessageW(back, WM_CLOSE, 0, 0);
    if (restarted && WaitForSingleObject(restarted, 20000) == WAIT_TIMEOUT) TerminateProcess(restarted, 1);
    if (restarted) CloseHandle(restarted);
}

TEST_F(RoadTest, AUserWithoutAMouseTakesTheSameRoadWithTabArrowsEnterAndEscape) {
    test::Program fixer(exe);
    ASSERT_TRUE(fixer.Started());
    HWND main = fixer.AwaitWindow(L"mainWnd");
    ASSERT_NE(main, nullptr) << "no landing page";
    ASSERT_TRUE(Await([] { return !Requests("/helper/config").empty(); })) << "no start-up configuration";

    // The window opens on the features, one stop; Right picks the C drive.
    Keys(main, {VK_RIGHT, VK_TAB, VK_RETURN});
    HWND check = fixer.AwaitWindow(L"CheckProgressWnd");
    ASSERT_NE(check, nullptr) << "the repair button was not reached or not pressed";

    // Enter presses the check's button once it is there, and nothing before.
    DWORD checkStart = GetTickCount();
    HWND page = nullptr;
    ASSERT_TRUE(Await(
        [&] {
            Keys(check, {VK_RETURN});
            return (page = fixer.Window(L"SolutionWnd")) != nullptr;
        },
        15000))
        << "the check never offered its solution";
    EXPECT_GE(GetTickCount() - checkStart, 5000u) << "the solution was offered before the check had run";
    ASSERT_NE(fixer.Window(L"CheckProgressWnd"), nullptr) << "Enter closed the check window";

    // The page opens on the version drop-down; Space opens it and the
    // arrow and Enter pick the second version. Then the plugin and confirm.
    ASSERT_TRUE(Await([] { return Requests("/helper/config").size() >= 2; })) << "the page asked for no configuration";
    Sleep(500);
    Keys(page, {VK_SPACE});
    HWND dropDown = fixer.AwaitWindow(L"DuiComboDropDown", 5000);
    ASSERT_NE(dropDown, nullptr) << "Space did not open the version drop-down";
    Keys(dropDown, {VK_DOWN, VK_RETURN});
    ASSERT_TRUE(Await([&] { return !fixer.Window(L"DuiComboDropDown"); }, 5000));
    Keys(page, {VK_TAB, VK_TAB, VK_RETURN});
    ASSERT_TRUE(Await([] { return !Requests("/helper/solution").empty(); })) << "the choice was not confirmed";
    EXPECT_EQ(QueryValue(Requests("/helper/solution").front(), "versionid"), "202")
        << "not the C-drive feature's second version";
    Sleep(500);

    // Tab reaches the first row's button, Down the program row's.
    Keys(page, {VK_TAB, VK_DOWN, VK_RETURN});
    HWND box = fixer.AwaitWindow(kMessageWndClass, 60000);
    ASSERT_NE(box, nullptr) << "the downloads ended without their message";
    ExpectTheDownloads();
    Keys(box, {VK_RETURN});
    ASSERT_TRUE(Await([&] { return !fixer.Window(kMessageWndClass); }, 5000)) << "Enter did not answer the message";
    Keys(page, {VK_RETURN});
    ExpectTheFolderShown();
    EXPECT_EQ(Requests("/files/" + WideToUtf8(kProgram)).size(), 1u) << "the program was downloaded again";

    // Escape leaves the page and the check; on the landing page Tab goes on
    // from the repair button round to the close button.
    Keys(page, {VK_ESCAPE});
    EXPECT_TRUE(Await([&] { return !fixer.Window(L"SolutionWnd") && !fixer.Window(L"CheckProgressWnd"); }))
        << "the page or the check window stayed";
    Keys(main, {VK_TAB, VK_TAB, VK_TAB, VK_RETURN});
    EXPECT_EQ(fixer.AwaitExit(), 0u);
    Sleep(300);
}

// What a reader finds in the window by name (and role, where names repeat),
// once it is there and shown.
reader::Node Find(reader::EventLog& log, HWND window, const std::wstring& name, LONG role = 0, size_t nth = 0) {
    reader::Node found;
    log.PumpUntil([&] {
        size_t seen = 0;
        for (const reader::Node& node : reader::Read(reader::ClientOf(window).Get()))
            if (node.name == name && (!role || node.role == role) && !(node.state & STATE_SYSTEM_INVISIBLE) &&
                seen++ == nth) {
                found = node;
                return true;
            }
        return false;
    });
    if (!found.object) ADD_FAILURE() << "the reader did not find " << WideToUtf8(name);
    return found;
}

bool Press(reader::EventLog& log, HWND window, const std::wstring& name, LONG role = 0, size_t nth = 0) {
    reader::Node node = Find(log, window, name, role, nth);
    return node.object && node.object->accDoDefaultAction(reader::Self()) == S_OK;
}

std::wstring Text(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
    BSTR text = nullptr;
    (object->*get)(reader::Self(), &text);
    std::wstring value = text ? text : L"";
    SysFreeString(text);
    return value;
}

TEST_F(RoadTest, AUserWhoListensTakesTheSameRoadWithAScreenReader) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    std::unique_ptr<void, void (*)(void*)> uninitialise(this, [](void*) { CoUninitialize(); });
    test::Program fixer(exe);
    ASSERT_TRUE(fixer.Started());
    HWND main = fixer.AwaitWindow(L"mainWnd");
    ASSERT_NE(main, nullptr) << "no landing page";
    ASSERT_TRUE(Await([] { return !Requests("/helper/config").empty(); })) << "no start-up configuration";
    DWORD program = 0;
    GetWindowThreadProcessId(main, &program);
    reader::EventLog log(program);

    // The feature, its button, and the check's button once the check has shown it.
    ASSERT_TRUE(Press(log, main, L"C盘瘦身"));
    ASSERT_TRUE(Press(log, main, L"立即清理"));
    HWND check = fixer.AwaitWindow(L"CheckProgressWnd");
    ASSERT_NE(check, nullptr) << "the repair button opened no check window";
    ASSERT_TRUE(Press(log, check, L"确定", ROLE_SYSTEM_PUSHBUTTON));
    HWND page = nullptr;
    ASSERT_TRUE(log.PumpUntil([&] { return (page = fixer.Window(L"SolutionWnd")) != nullptr; }));

    // The version drop-down, read and picked by ear.
    ASSERT_TRUE(Await([] { return Requests("/helper/config").size() >= 2; })) << "the page asked for no configuration";
    log.Pump(500);
    SetCursorPos(0, 0);  // away from where the list opens: the mouse would move its highlight
    ASSERT_TRUE(Press(log, page, L"版本", ROLE_SYSTEM_COMBOBOX));
    HWND dropDown = nullptr;
    ASSERT_TRUE(log.PumpUntil([&] { return (dropDown = fixer.Window(L"DuiComboDropDown")) != nullptr; }, 5000));
    reader::ComPtr<IAccessible> list = reader::ClientOf(dropDown);
    ASSERT_NE(list, nullptr) << "the drop-down answers no reader";
    VARIANT role;
    ASSERT_EQ(list->get_accRole(reader::Self(), &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_LIST);
    std::vector<reader::Node> items = reader::Read(list.Get());
    ASSERT_GE(items.size(), 2u);
    RECT popup{};
    GetWindowRect(dropDown, &popup);
    for (const reader::Node& item : items) {
        EXPECT_EQ(item.role, ROLE_SYSTEM_LISTITEM);
        EXPECT_FALSE(item.name.empty());
        EXPECT_FALSE(item.state & STATE_SYSTEM_INVISIBLE) << WideToUtf8(item.name);
        RECT inside;
        EXPECT_TRUE(!IsRectEmpty(&item.location) && IntersectRect(&inside, &item.location, &popup) &&
                    EqualRect(&inside, &item.location))
            << WideToUtf8(item.name) << " is not placed in the drop-down";
    }
    EXPECT_EQ(items[1].location.top, items[0].location.bottom);
    EXPECT_TRUE(items[0].state & STATE_SYSTEM_SELECTED);
    EXPECT_TRUE(items[0].state & STATE_SYSTEM_FOCUSED) << "the list opens on the selected item";
    VARIANT focus;
    ASSERT_EQ(list->get_accFocus(&focus), S_OK) << "no focus while the drop-down is open";
    reader::ComPtr<IAccessible> focused;
    ASSERT_EQ(focus.vt, VT_DISPATCH);
    focus.pdispVal->QueryInterface(IID_PPV_ARGS(&focused));
    VariantClear(&focus);
    EXPECT_EQ(reader::NameOf(focused.Get()), items[0].name) << "the focus is not on the highlighted item";
    PostMessageW(dropDown, WM_KEYDOWN, VK_DOWN, 1);  // the highlight moves: the reader hears the item
    log.Pump(300);
    const std::wstring second = items[1].name;
    ASSERT_EQ(items[1].object->accDoDefaultAction(reader::Self()), S_OK);
    ASSERT_TRUE(log.PumpUntil([&] { return !fixer.Window(L"DuiComboDropDown"); }, 5000)) << "the pick left it open";
    EXPECT_EQ(Text(Find(log, page, L"版本", ROLE_SYSTEM_COMBOBOX).object.Get(), &IAccessible::get_accValue), second);
    ASSERT_TRUE(Press(log, page, L"查看解决方案"));
    ASSERT_TRUE(Await([] { return !Requests("/helper/solution").empty(); })) << "the choice was not confirmed";
    EXPECT_EQ(QueryValue(Requests("/helper/solution").front(), "versionid"), "202");

    // The program row's button, then the message box, read as a dialog.
    ASSERT_TRUE(Press(log, page, L"开始下载", ROLE_SYSTEM_PUSHBUTTON, kProgramRow));
    HWND box = fixer.AwaitWindow(kMessageWndClass, 60000);
    ASSERT_NE(box, nullptr) << "the downloads ended without their message";
    ExpectTheDownloads();
    reader::ComPtr<IAccessible> dialog = reader::ClientOf(box);
    ASSERT_EQ(dialog->get_accRole(reader::Self(), &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_DIALOG);
    EXPECT_EQ(reader::NameOf(dialog.Get()), kNoticeTitle);
    std::wstring message = Text(dialog.Get(), &IAccessible::get_accDescription);
    EXPECT_FALSE(message.empty()) << "the box's text is not its description";
    ASSERT_TRUE(Press(log, box, L"确定"));
    ASSERT_TRUE(log.PumpUntil([&] { return !fixer.Window(kMessageWndClass); }, 5000)) << "the message stayed";
    log.Pump(300);

    for (const std::wstring& line : log.Lines()) printf("heard: %s\n", WideToUtf8(line).c_str());
    EXPECT_TRUE(log.HeardInOrder({
        L"state radio C盘瘦身",
        L"value progress",
        L"name text 检测完成",
        L"show button 确定",
        IsWindows8OrGreater() ? L"live text 检测完成" : L"alert text 检测完成",
        L"focus button 确定",
        L"focus item " + items[0].name,
        L"focus item " + second,
        L"focus combo 版本",  // the list closed
        L"selection item " + second,
        L"value combo 版本 = " + second,
        L"dialog",
    })) << "the reader did not hear the road in order";

    // Leaving: the page and the landing page close as a reader presses them.
    ASSERT_TRUE(Press(log, page, L"关闭"));
    ASSERT_TRUE(log.PumpUntil([&] { return !fixer.Window(L"SolutionWnd"); }));
    ASSERT_TRUE(Press(log, main, L"关闭"));
    EXPECT_EQ(fixer.AwaitExit(), 0u);
}

}  // namespace
