#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h>

#include "platform/Path.h"
#include "platform/Process.h"
#include "tests/support/TestService.h"

namespace {

std::wstring Helper() { return FolderOf() + L"\\platform_helper.exe"; }

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// A helper that starts a copy of itself (depth levels down) and exits at
// once; the last copy writes the marker after a second.
class LaunchAndWaitTest : public ::testing::Test {
protected:
    // Wine closes an idle desktop, and the next process that needs one starts
    // its desktop process as a child. Started from the tree (a new console's
    // host does that), it would be adopted and never end; start it from here.
    void SetUp() override { GetDesktopWindow(); }
    std::wstring Arguments(int depth) const {
        return L"spawn " + Quoted(marker_) + L" " + std::to_wstring(depth);
    }
    std::wstring CommandLine(int depth) const { return Quoted(Helper()) + L" " + Arguments(depth); }
    void TearDown() override { DeleteFileW(marker_.c_str()); }

    test::TempFolder temp_;
    std::wstring marker_ = temp_.Path() + L"\\copy ended";
};

}  // namespace

TEST_F(LaunchAndWaitTest, ReturnsOnlyAfterTheOrphanedCopyEnded) {
    DWORD started = GetTickCount();
    EXPECT_EQ(LaunchAndWait(CommandLine(1)), 0u);
    EXPECT_GE(GetTickCount() - started, 900u);
    EXPECT_TRUE(Exists(marker_));
}

// Each generation outlives its parent by more than a 100 ms poll. One that
// started and ended between two polls would never be seen, nor its child.
TEST_F(LaunchAndWaitTest, FollowsOrphansOverGenerations) {
    EXPECT_EQ(LaunchAndWait(CommandLine(3)), 0u);
    EXPECT_TRUE(Exists(marker_));
}

TEST_F(LaunchAndWaitTest, MissingProgramFailsWithoutWaiting) {
    EXPECT_EQ(LaunchAndWait(Quoted(temp_.Path() + L"\\no-such-program.exe") + L" x"),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// The way a program that needs elevation is started and followed.
TEST_F(LaunchAndWaitTest, ElevatedStartIsFollowedFromItsProcessId) {
    DWORD processId = 0;
    ASSERT_EQ(StartElevated(CommandLine(1), &processId), 0u);
    EXPECT_NE(processId, 0u);
    EXPECT_EQ(WaitForProcessTree(processId), 0u);
    EXPECT_TRUE(Exists(marker_));
}

namespace {

PROCESS_INFORMATION StartHelper(const std::wstring& arguments, DWORD flags = 0) {
    std::wstring commandLine = Quoted(Helper()) + L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                   &started);
    return started;
}

void Close(PROCESS_INFORMATION& info) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    info = {};
}

}  // namespace

// A program whose parent died names the dead parent's id, and ids come back:
// a tree started under that id must not adopt the older program and wait for it.
TEST(LaunchAndWaitReuse, AProgramOlderThanTheTreeIsNotItsChild) {
    PROCESS_INFORMATION parent = StartHelper(L"orphan 30000");
    ASSERT_TRUE(parent.hProcess);
    WaitForSingleObject(parent.hProcess, 10000);
    DWORD deadParent = parent.dwProcessId;
    Close(parent);
    HANDLE older = nullptr;  // the copy the parent left behind, holding for 30 s
    PROCESS_INFORMATION reused{};
    for (int i = 0; i < 300 && !reused.hProcess; ++i) {
        PROCESS_INFORMATION candidate = StartHelper(L"hold 1500", CREATE_SUSPENDED);
        // Hundreds of quick starts: one refused under load is not what this is about.
        if (!candidate.hProcess) {
            Sleep(20);
            continue;
        }
        if (candidate.dwProcessId == deadParent) {
            reused = candidate;
            break;
        }
        TerminateProcess(candidate.hProcess, 0);
        Close(candidate);
    }
    DWORD running[4096], bytes = 0;
    EnumProcesses(running, sizeof(running), &bytes);
    for (DWORD i = 0; i < bytes / sizeof(DWORD) && !older; ++i)
        if (ParentProcessId(running[i]) == long(deadParent) && running[i] != reused.dwProcessId)
            older = OpenProcess(PROCESS_TERMINATE, FALSE, running[i]);
    if (!reused.hProcess || !older) {
        if (reused.hProcess) TerminateProcess(reused.hProcess, 0), Close(reused);
        if (older) TerminateProcess(older, 0), CloseHandle(older);
        GTEST_SKIP() << "the system gave the dead parent's id to no new process";
    }
    ResumeThread(reused.hThread);
    DWORD started = GetTickCount();
    EXPECT_EQ(WaitForProcessTree(reused.dwProcessId), 0u);
    EXPECT_LT(GetTickCount() - started, 15000u) << "waited for the older program";
    TerminateProcess(older, 0);
    CloseHandle(older);
    Close(reused);
}

TEST(ProcessCommandLine, SplitsProgramFromParameters) {
    using Split = std::pair<std::wstring, std::wstring>;
    EXPECT_EQ(SplitCommandLine(L"\"C:\\Program Files\\a.exe\" -x \"y z\""),
              (Split{L"C:\\Program Files\\a.exe", L"-x \"y z\""}));
    EXPECT_EQ(SplitCommandLine(L"  a.exe \t b"), (Split{L"a.exe", L"b"}));
    EXPECT_EQ(SplitCommandLine(L"a.exe"), (Split{L"a.exe", L""}));
    EXPECT_EQ(SplitCommandLine(L"\"a b.exe\""), (Split{L"a b.exe", L""}));
    EXPECT_EQ(SplitCommandLine(L"\"unterminated x"), (Split{L"unterminated x", L""}));
    EXPECT_EQ(SplitCommandLine(L""), Split{});
}

TEST(ProcessParent, IsTheStarterOrUnknown) {
    std::wstring commandLine = Quoted(Helper()) + L" spawn-nothing x";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &child));
    EXPECT_EQ(ParentProcessId(child.dwProcessId), static_cast<long>(GetCurrentProcessId()));
    TerminateProcess(child.hProcess, 0);
    WaitForSingleObject(child.hProcess, 5000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);

    EXPECT_EQ(ParentProcessId(0x7FFFFFF0), -1);
}

TEST(ProcessPrivilege, BitnessMatchesTheSystem) {
    SYSTEM_INFO native{};
    GetNativeSystemInfo(&native);
    bool windows64 = native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    EXPECT_EQ(IsWindows64(), windows64);
    EXPECT_EQ(IsWow64(), windows64 && sizeof(void*) == 4);
}

TEST(ProcessPrivilege, RelaunchIsNeededOnlyWithoutElevation) {
    if (!IsProcessElevated() && !IsRunAsAdmin()) GTEST_SKIP() << "would ask for consent";
    EXPECT_EQ(RelaunchElevated(L"--never-started"), 0u);
}

