// Dumper's report window, driven with real mouse messages: a made-up analysis
// reports to it, the upload goes to the reference service, and a recorder
// stands in for the Vantoro.exe that the restart starts.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>

#include "crash/ReportWnd.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/support/Desktop.h"
#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"

using Windows::ReportWnd;

namespace {

constexpr wchar_t kArchiveName[] = L"2026-3-5-7-8-9.7z";
constexpr wchar_t kRestartText[] = L"软件由于未知原因崩溃了，已分析完成。开始重新启动它。";
constexpr wchar_t kDoneText[] = L"已分析完成。";

HWND OpenReportWindow() { return FindWindowW(L"ReportWnd", L"Dumper"); }

class ReportWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::UseOwnArchive());
        SetEnvironmentVariableW(L"VANTORO_DUMPER_API_URL", Utf8ToWide(test::BaseUrl()).c_str());
        test::ClearFaults();
        test::ClearRequestLog();
        uploadsBefore = test::ParseJson(test::Get("/test/uploads").text).size();
        CreateDirectoryW(Folder().c_str(), nullptr);
        archive = test::ReadFile(test::DosPath(SAMPLE_ARCHIVE));
        ASSERT_FALSE(archive.empty());
        DeleteFileW(RestartLog().c_str());  // a folder name a killed run left behind may come again
        test::WriteFile(Folder() + L"\\" + kArchiveName, archive);
        ASSERT_TRUE(CopyFileW(test::DosPath(RESTART_RECORDER).c_str(), (Folder() + L"\\Vantoro.exe").c_str(), FALSE));
    }
    void TearDown() override {
        test::ClearFaults();
        // A window a failed test left open goes, and so does its quit message.
        if (HWND window = OpenReportWindow()) DestroyWindow(window);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        for (const wchar_t* name : {kArchiveName, L"Vantoro.exe", L"restarted.txt"})
            DeleteFileW((Folder() + L"\\" + name).c_str());
        RemoveDirectoryW(Folder().c_str());
    }

    // Dumper's folder, as a user's may be named: spaces and Chinese.
    std::wstring Folder() const { return folder.Path() + L"\\崩溃 报告 report"; }

    // Creates the window as Dumper does; its analysis only records where to report.
    HWND Open() {
        auto* window = new ReportWnd(Folder(), [this](const Crash::CrashArguments& arguments, HWND hwnd) {
            given = arguments;
            reportTo = hwnd;
            return true;
        });
        HWND hwnd = window->Create(nullptr, L"Dumper", ReportWnd::kStyle, ReportWnd::kExStyle);
        EXPECT_TRUE(hwnd);
        window->CenterWindow();
        EXPECT_TRUE(window->Begin({L"4242", L"17", L"0x0012FF40", L"1.0.0.1"}));
        window->ShowWindow(true, true);
        test::Pump(100);
        return hwnd;
    }

    // What the analysis thread does at its end.
    void FinishAnalysis(const wchar_t* archiveName = kArchiveName) {
        Crash::AnalysisOutcome outcome{L"Stack trace written to x.log\n\nMinidump written to x.dmp", archiveName,
                                       0xC0000005};
        SendMessageW(reportTo, Crash::kAnalysisDone, 1, reinterpret_cast<LPARAM>(&outcome));
    }

    // Pumps until the window's quit message arrives, answering every box with
    // its OK button (after noting its text); false when it never came.
    bool RunToQuit(DWORD ms = 20000) {
        bool quit = false;
        test::Answering(L"okbtn", [&] {
            for (DWORD start = GetTickCount(); !quit && GetTickCount() - start < ms;) {
                MSG msg;
                while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    if (msg.message == WM_QUIT) {
                        quit = true;
                        quitCode = static_cast<int>(msg.wParam);
                        break;
                    }
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
                Sleep(10);
            }
        }, [&](HWND box) {
            boxTexts.push_back(test::TextOf(box, L"contentlbl"));
            restartedBeforeAnswer |= test::FileExists(RestartLog());
            uploadsWhenAsked = NewUploads().size();
            barShownWhenAsked = OpenReportWindow() && test::Shown(OpenReportWindow(), L"progressprog");
        });
        return quit;
    }

    void SetOption(HWND window, const wchar_t* name, bool selected) {
        auto* option = dynamic_cast<DuiLib::COptionUI*>(test::ControlOf(window, name));
        ASSERT_TRUE(option);
        if (option->IsSelected() != selected) test::Click(window, name);
        test::Pump(100);
        EXPECT_EQ(option->IsSelected(), selected) << "a click did not change " << WideToUtf8(name);
    }

    Json::Value NewUploads() {
        Json::Value all = test::ParseJson(test::Get("/test/uploads").text), fresh(Json::arrayValue);
        for (Json::ArrayIndex i = uploadsBefore; i < all.size(); ++i) fresh.append(all[i]);
        return fresh;
    }
    std::wstring RestartLog() const { return Folder() + L"\\restarted.txt"; }
    // The recorder's log once it wrote it, or "" after ms.
    std::string Restarted(DWORD ms) { return test::AwaitFile(RestartLog(), ms); }

    test::TempFolder folder;
    std::string archive;
    Json::ArrayIndex uploadsBefore = 0;
    Crash::CrashArguments given;
    HWND reportTo = nullptr;
    std::vector<std::wstring> boxTexts;
    bool restartedBeforeAnswer = false;
    size_t uploadsWhenAsked = 0;
    bool barShownWhenAsked = false;
    int quitCode = -1;
};

bool Enabled(HWND window, const wchar_t* name) {
    DuiLib::CControlUI* control = test::ControlOf(window, name);
    return control && control->IsEnabled();
}

TEST_F(ReportWndTest, ShowsTheChoicesAndWaitsForTheAnalysis) {
    HWND window = Open();
    ASSERT_EQ(window, OpenReportWindow());
    EXPECT_EQ(DWORD(GetWindowLongW(window, GWL_STYLE)) & 0xFFFF0000u, 0x96CF0000u) << std::hex << GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(given.tag, L"1.0.0.1");
    EXPECT_EQ(given.processId, L"4242");
    EXPECT_EQ(reportTo, window);
    RECT rc{};
    GetWindowRect(window, &rc);
    EXPECT_EQ(rc.right - rc.left, 668);
    EXPECT_EQ(rc.bottom - rc.top, 534);
    EXPECT_EQ(test::TextOf(window, L"apptitlelbl"), L"问题上传");
    EXPECT_EQ(test::TextOf(window, L"reportBugOpt"), L"发送错误报告 (S)");
    EXPECT_EQ(test::TextOf(window, L"rebootSoftOpt"), L"重启程序 (R)");
    EXPECT_NE(test::TextOf(window, L"apologylbl").find(L"Vantoro"), std::wstring::npos);
    EXPECT_TRUE(test::Shown(window, L"closebtn"));
    EXPECT_TRUE(test::Shown(window, L"userReportEdit"));
    EXPECT_FALSE(test::Shown(window, L"progressprog"));
    for (const wchar_t* name : {L"reportBugOpt", L"rebootSoftOpt"}) {
        auto* option = dynamic_cast<DuiLib::COptionUI*>(test::ControlOf(window, name));
        ASSERT_TRUE(option);
        EXPECT_TRUE(option->IsSelected()) << WideToUtf8(name);
    }

    EXPECT_FALSE(Enabled(window, L"okBtn"));
    test::Click(window, L"okBtn");
    int boxes = test::Answering(L"okbtn", [] { test::Pump(800); });
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(OpenReportWindow(), window) << "a click before the analysis ended did something";
    EXPECT_EQ(NewUploads().size(), 0u);

    EXPECT_EQ(test::TextOf(window, L"errCode"), L"0x00000000");
    FinishAnalysis();
    EXPECT_TRUE(Enabled(window, L"okBtn"));
    EXPECT_EQ(test::TextOf(window, L"errCode"), L"0xC0000005");
    test::Click(window, L"closebtn");
    EXPECT_TRUE(RunToQuit());
    EXPECT_EQ(quitCode, 0);
    EXPECT_TRUE(boxTexts.empty());
    EXPECT_EQ(NewUploads().size(), 0u);
    EXPECT_EQ(Restarted(500), "");
}

TEST_F(ReportWndTest, ClosingBeforeTheAnalysisEndsTheLoop) {
    HWND window = Open();
    test::Click(window, L"closebtn");
    EXPECT_TRUE(RunToQuit());
    EXPECT_EQ(OpenReportWindow(), nullptr);
}

// Both selected: the upload, the message naming the restart, and only after
// the user confirmed it, Vantoro.exe from Dumper's folder.
TEST_F(ReportWndTest, UploadsTheArchiveThenRestartsAfterTheMessage) {
    HWND window = Open();
    HWND edit = nullptr;
    if (auto* box = dynamic_cast<DuiLib::CRichEditUI*>(test::ControlOf(window, L"userReportEdit"))) edit = box->GetHostWindow();
    ASSERT_TRUE(edit);
    for (wchar_t c : std::wstring(L"点了修复typed-secret")) SendMessageW(edit, WM_CHAR, c, 0);
    EXPECT_EQ(test::TextOf(window, L"userReportEdit"), L"点了修复typed-secret");
    FinishAnalysis();
    test::Click(window, L"okBtn");
    ASSERT_TRUE(RunToQuit());
    EXPECT_TRUE(barShownWhenAsked) << "the upload did not show its bar";

    ASSERT_EQ(boxTexts, std::vector<std::wstring>{kRestartText});
    EXPECT_EQ(uploadsWhenAsked, 1u) << "the message came before the upload ended";
    EXPECT_FALSE(restartedBeforeAnswer) << "restarted before the message was confirmed";
    std::string restarted = Restarted(10000);
    EXPECT_EQ(restarted.substr(0, restarted.find('\n')), WideToUtf8(Folder() + L"\\Vantoro.exe"));

    Json::Value uploads = NewUploads();
    ASSERT_EQ(uploads.size(), 1u);
    const Json::Value& upload = uploads[0];
    std::vector<std::pair<std::string, std::string>> query;
    for (const Json::Value& pair : upload["query"]) query.emplace_back(pair[0].asString(), pair[1].asString());
    std::string system =
        WideToUtf8(ReadMachineString(L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentVersion"));
    EXPECT_FALSE(system.empty());
    std::vector<std::pair<std::string, std::string>> expected{
        {"version", "1.0.3.7"}, {"system", system}, {"product", "fixer"}, {"exe_name", "report_tests"},
        {"bit", test::NativeWindows64() ? "64" : "32"}};
    EXPECT_EQ(query, expected);
    std::vector<std::pair<std::string, std::string>> parts;
    for (const Json::Value& part : upload["parts"]) parts.emplace_back(part["name"].asString(), part["value"].asString());
    EXPECT_EQ(parts, (std::vector<std::pair<std::string, std::string>>{
                         {"tag", "1.0.0.1"}, {"product", "Fixer"}, {"version", "1.1.1.1"}, {"file", ""}}));
    EXPECT_EQ(upload["filename"].asString(), WideToUtf8(kArchiveName));
    EXPECT_EQ(test::Get("/test/upload/" + upload["id"].asString()).text, archive) << "the archive arrived changed";
    EXPECT_EQ(Json::FastWriter().write(upload).find("typed-secret"), std::string::npos) << "the typed text was sent";
}

TEST_F(ReportWndTest, OnlyReportingSaysTheAnalysisIsDoneAndRestartsNothing) {
    HWND window = Open();
    SetOption(window, L"rebootSoftOpt", false);
    FinishAnalysis();
    test::Click(window, L"okBtn");
    ASSERT_TRUE(RunToQuit());
    EXPECT_EQ(boxTexts, std::vector<std::wstring>{kDoneText});
    EXPECT_EQ(NewUploads().size(), 1u);
    EXPECT_EQ(Restarted(1500), "");
}

TEST_F(ReportWndTest, TheKeyboardAloneChoosesDescribesAndConfirms) {
    HWND window = Open();
    auto press = [&](UINT key) {
        PostMessageW(window, WM_KEYDOWN, key, 0);
        test::Pump(50);
    };
    // Alt+R, wherever the window's first focus went, clears the restart and stays on it.
    PostMessageW(window, WM_SYSCHAR, L'r', 1 << 29);
    test::Pump(50);
    EXPECT_FALSE(dynamic_cast<DuiLib::COptionUI*>(test::ControlOf(window, L"rebootSoftOpt"))->IsSelected());
    FinishAnalysis();
    press(VK_TAB);
    auto* edit = dynamic_cast<DuiLib::CRichEditUI*>(test::ControlOf(window, L"userReportEdit"));
    ASSERT_TRUE(edit);
    EXPECT_EQ(GetFocus(), edit->GetHostWindow()) << "Tab did not reach the text box";
    for (wchar_t c : std::wstring(L"打开时")) SendMessageW(edit->GetHostWindow(), WM_CHAR, c, 0);
    // The program's loop hands Tab in the text box to the window; the enabled confirm button is next.
    press(VK_TAB);
    PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);  // its message box is answered while the loop runs
    ASSERT_TRUE(RunToQuit());
    EXPECT_EQ(boxTexts, std::vector<std::wstring>{kDoneText});
    ASSERT_EQ(NewUploads().size(), 1u);
    EXPECT_EQ(Restarted(1500), "");
}

TEST_F(ReportWndTest, OnlyRestartingStartsTheProgramAtOnceWithoutAMessage) {
    HWND window = Open();
    SetOption(window, L"reportBugOpt", false);
    FinishAnalysis();
    test::Click(window, L"okBtn");
    ASSERT_TRUE(RunToQuit());
    EXPECT_TRUE(boxTexts.empty());
    EXPECT_NE(Restarted(10000), "");
    EXPECT_EQ(NewUploads().size(), 0u);
    for (const test::LoggedRequest& r : test::RequestLog()) EXPECT_NE(r.path, "/api/fixer/client/dump");
}

TEST_F(ReportWndTest, NeitherOptionClosesAtOnce) {
    HWND window = Open();
    SetOption(window, L"reportBugOpt", false);
    SetOption(window, L"rebootSoftOpt", false);
    FinishAnalysis();
    test::Click(window, L"okBtn");
    DWORD start = GetTickCount();
    ASSERT_TRUE(RunToQuit());
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_TRUE(boxTexts.empty());
    EXPECT_EQ(NewUploads().size(), 0u);
    EXPECT_EQ(Restarted(1500), "");
}

// A refused upload and a missing archive end like a good one.
TEST_F(ReportWndTest, AFailedUploadStillEndsWithTheMessageAndTheRestart) {
    test::SetFault(test::ParseJson("{\"path\": \"/api/fixer/client/dump\", \"status\": 500}"));
    HWND window = Open();
    FinishAnalysis();
    test::Click(window, L"okBtn");
    ASSERT_TRUE(RunToQuit());
    EXPECT_EQ(boxTexts, std::vector<std::wstring>{kRestartText});
    EXPECT_NE(Restarted(10000), "");
}

TEST_F(ReportWndTest, AMissingArchiveStillEndsWithTheMessage) {
    HWND window = Open();
    SetOption(window, L"rebootSoftOpt", false);
    FinishAnalysis(L"2000-1-1-1-1-1.7z");
    test::Click(window, L"okBtn");
    ASSERT_TRUE(RunToQuit());
    EXPECT_EQ(boxTexts, std::vector<std::wstring>{kDoneText});
    EXPECT_EQ(NewUploads().size(), 0u);
}

}  // namespace

namespace {

struct Started {
    PROCESS_INFORMATION info{};
    bool ok = false;
    ~Started() {
        if (!ok) return;
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

// Starts dumper.exe with the given fields after its path.
void StartDumper(const std::wstring& fields, Started& started) {
    std::wstring commandLine = L"\"" + test::DosPath(DUMPER_EXE) + L"\" " + fields;
    STARTUPINFOW startup{sizeof(startup)};
    started.ok = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &started.info);
}

DWORD ExitCode(HANDLE process) {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

// Dumper's own window, found by its class and title in another process.
HWND DumperWindowOf(DWORD processId) {
    for (HWND window = FindWindowExW(nullptr, nullptr, L"ReportWnd", L"Dumper"); window;
         window = FindWindowExW(nullptr, window, L"ReportWnd", L"Dumper")) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return nullptr;
}

// No such process: the analysis has nothing to suspend or end.
constexpr wchar_t kNoProcess[] = L"4294967280 4294967281 0x00001000";

TEST(ReportDumperStartTest, AnyOtherFieldCountEndsWithCodeOneAndNoWindow) {
    for (const std::wstring& fields : {std::wstring(), std::wstring(L"1 2"), std::wstring(kNoProcess),
                                       std::wstring(kNoProcess) + L" tag extra",
                                       std::wstring(kNoProcess) + L" 1.0.0.1 Fixer \"C:\\a b\\Vantoro.exe\" more"}) {
        Started dumper;
        StartDumper(fields, dumper);
        ASSERT_TRUE(dumper.ok);
        bool windowSeen = false;
        for (int i = 0; i < 100 && WaitForSingleObject(dumper.info.hProcess, 50) == WAIT_TIMEOUT; ++i)
            windowSeen |= DumperWindowOf(dumper.info.dwProcessId) != nullptr;
        if (WaitForSingleObject(dumper.info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(dumper.info.hProcess, 99);
        EXPECT_EQ(ExitCode(dumper.info.hProcess), 1u) << WideToUtf8(fields);
        EXPECT_FALSE(windowSeen) << WideToUtf8(fields);
    }
}

// The seven fields Fixer writes and the five-field form both open the window,
// whose closing ends Dumper with code 0.
TEST(ReportDumperStartTest, BothFormsShowTheWindowAndClosingItEndsDumper) {
    for (const std::wstring& fields : {std::wstring(kNoProcess) + L" 1.0.0.1",
                                       std::wstring(kNoProcess) + L" 1.0.0.1 Fixer \"C:\\a b\\Vantoro.exe\""}) {
        Started dumper;
        StartDumper(fields, dumper);
        ASSERT_TRUE(dumper.ok);
        HWND window = nullptr;
        for (int i = 0; i < 200 && !window; ++i) {
            window = DumperWindowOf(dumper.info.dwProcessId);
            if (window && !IsWindowVisible(window)) window = nullptr;  // created, not yet shown
            if (!window) Sleep(50);
        }
        ASSERT_TRUE(window) << WideToUtf8(fields);
        EXPECT_EQ(DWORD(GetWindowLongW(window, GWL_STYLE)) & 0xFFFF0000u, 0x96CF0000u);
        EXPECT_EQ(DWORD(GetWindowLongW(window, GWL_EXSTYLE)) & 0x10u, 0x10u);
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(dumper.info.hProcess, 30000) == WAIT_TIMEOUT) TerminateProcess(dumper.info.hProcess, 99);
        EXPECT_EQ(ExitCode(dumper.info.hProcess), 0u) << WideToUtf8(fields);
    }
}

}  // namespace
