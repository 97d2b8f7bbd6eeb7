// Vantoro.exe as a user starts it: one instance per session, its exit codes,
// the settings it leaves behind and a start without its layout archive. Each
// test runs its own copy in a folder of its own, pointed at the reference
// service, so that config.json and the mutex are the test's.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "tests/support/Desktop.h"
#include "tests/support/Program.h"
#include "tests/support/TestService.h"

namespace {

constexpr DWORD kWaitMs = 20000;

// The text of a system message box.
std::wstring BoxText(HWND box) {
    constexpr int kTextId = 0xFFFF;
    wchar_t text[256] = {};
    GetDlgItemTextW(box, kTextId, text, 256);
    return text;
}

std::wstring WindowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

class FixerProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe = folder.Path() + L"\\Vantoro.exe";
        ASSERT_TRUE(CopyFileW(test::DosPath(VANTORO_EXE).c_str(), exe.c_str(), FALSE));
        // The copies inherit these: the start-up exchange talks to the test's service.
        std::wstring service = Utf8ToWide(test::BaseUrl());
        SetEnvironmentVariableW(L"VANTORO_SERVICE_URL", service.c_str());
        SetEnvironmentVariableW(L"VANTORO_FALLBACK_URL", (service + L"/fallback/config.json").c_str());
    }

    // Starts a copy and waits for its main window.
    HWND StartFirst(std::unique_ptr<test::Program>& fixer) {
        fixer = std::make_unique<test::Program>(exe, L"");
        return fixer->Started() ? fixer->AwaitWindow(L"mainWnd") : nullptr;
    }

    test::TempFolder folder;
    std::wstring exe;
};

// A second plain start brings the first forward (restored from the taskbar)
// and says so over it, then ends with 1 once its box is closed.
TEST_F(FixerProcessTest, SecondStartRestoresTheFirstAndExitsWithOne) {
    std::unique_ptr<test::Program> first;
    HWND main = StartFirst(first);
    ASSERT_NE(main, nullptr) << "the first instance shows no main window";
    ShowWindow(main, SW_MINIMIZE);
    for (DWORD start = GetTickCount(); !IsIconic(main) && GetTickCount() - start < 3000;) Sleep(50);
    ASSERT_TRUE(IsIconic(main));

    test::Program second(exe, L"");
    HWND box = second.AwaitWindow(L"#32770");
    ASSERT_NE(box, nullptr) << "the second instance shows no box";
    EXPECT_FALSE(IsIconic(main)) << "the box came before the first window was restored";
    EXPECT_EQ(WindowText(box), L"提示");
    EXPECT_EQ(BoxText(box), L"已打开一个quorvex。");
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    EXPECT_EQ(second.AwaitExit(500), STILL_ACTIVE) << "ended before its box was closed";
    EXPECT_EQ(second.AwaitWindow(L"mainWnd", 200), nullptr);

    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(second.AwaitExit(), 1u);
    EXPECT_TRUE(IsWindow(main)) << "the first instance went too";
}

// Extra arguments are ignored: two of them still meet the running instance.
TEST_F(FixerProcessTest, TwoArgumentsStillMeetTheRunningInstance) {
    std::unique_ptr<test::Program> first;
    ASSERT_NE(StartFirst(first), nullptr);
    test::Program second(exe, L"one two");
    HWND box = second.AwaitWindow(L"#32770");
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(second.AwaitExit(), 1u);
}

// Exactly one argument (a restart by the crash reporter) skips the check.
TEST_F(FixerProcessTest, OneArgumentStartsASecondInstance) {
    std::unique_ptr<test::Program> first;
    HWND firstMain = StartFirst(first);
    ASSERT_NE(firstMain, nullptr);
    test::Program second(exe, L"restarted");
    HWND secondMain = second.AwaitWindow(L"mainWnd");
    ASSERT_NE(secondMain, nullptr) << "no second main window";
    EXPECT_NE(secondMain, firstMain);
    PostMessageW(secondMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(second.AwaitExit(), 0u);
}

// Closing the window ends the program normally, the first run marked done.
TEST_F(FixerProcessTest, ClosingTheWindowExitsWithZeroAndMarksTheFirstRun) {
    test::ClearRequestLog();
    std::unique_ptr<test::Program> fixer;
    HWND main = StartFirst(fixer);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(WindowText(main), L"Vantoro");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(main, GWL_STYLE)) & 0x10CF0000u, 0x10CF0000u);
    EXPECT_EQ(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, WS_EX_ACCEPTFILES);
    RECT frame;
    GetWindowRect(main, &frame);
    EXPECT_EQ(frame.right - frame.left, 920);
    EXPECT_EQ(frame.bottom - frame.top, 560);
    // The start-up exchange, with the product's identity.
    std::vector<std::string> paths;
    for (DWORD start = GetTickCount(); paths.size() < 2 && GetTickCount() - start < kWaitMs; Sleep(50)) {
        paths.clear();
        for (const test::LoggedRequest& request : test::RequestLog()) paths.push_back(request.path);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/helper/ping", "/helper/config"}));
    std::vector<test::LoggedRequest> log = test::RequestLog();
    ASSERT_FALSE(log.empty());
    std::map<std::string, std::string> query(log.back().query.begin(), log.back().query.end());
    EXPECT_EQ(query["product"], "quorvex");
    std::string version = VANTORO_VERSION;  // sent without its dots
    std::erase(version, '.');
    EXPECT_EQ(query["version"], version);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(fixer->AwaitExit(), 0u);
    Json::Value settings = test::ParseJson(test::ReadFile(folder.Path() + L"\\config.json"));
    ASSERT_TRUE(settings.isMember("firstRun")) << test::ReadFile(folder.Path() + L"\\config.json");
    EXPECT_EQ(settings["firstRun"], false);
}

// Without its layout archive the program still reaches its window.
TEST_F(FixerProcessTest, WithoutTheArchiveTheWindowStillComes) {
    ASSERT_TRUE(CopyFileW(test::DosPath(VANTORO_WITHOUT_ARCHIVE_EXE).c_str(), exe.c_str(), FALSE));
    HMODULE stripped = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(stripped, nullptr);
    bool hasArchive = FindResourceW(stripped, L"IDR_ZIPRES", L"ZIPRES") != nullptr;
    FreeLibrary(stripped);
    ASSERT_FALSE(hasArchive) << "the copy still carries its archive";

    test::Program fixer(exe, L"");
    HWND main = fixer.AwaitWindow(L"mainWnd");
    ASSERT_NE(main, nullptr) << "exit code " << fixer.AwaitExit(0);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(fixer.AwaitExit(), 0u);
}

}  // namespace
