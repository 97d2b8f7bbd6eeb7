#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Path.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "tests/support/Desktop.h"
#include "tests/support/TestService.h"

namespace {

HWND AwaitWindow(const std::wstring& title) {
    HWND found = nullptr;
    for (int i = 0; i < 100 && !(found = test::VisibleWindowTitled(title)); ++i) Sleep(100);
    return found;
}

}  // namespace

TEST(ShellParameters, QuotesEveryArgumentAndEndsWithASpace) {
    EXPECT_EQ(ShellParameters({}), L"");
    EXPECT_EQ(ShellParameters({L"a", L"b c"}), L"\"a\" \"b c\" ");
    EXPECT_EQ(ShellParameters({L""}), L"\"\" ");
}

TEST(ShellOpen, HandsArgumentsToTheProgram) {
    test::TempFolder temp;
    std::wstring record = temp.Path() + L"\\args.txt";
    INT_PTR result = ShellOpen(FolderOf() + L"\\platform_helper.exe", {L"record", record, L"b c", L"文件"});
    EXPECT_GT(result, 32);
    EXPECT_EQ(test::AwaitFile(record), "b c\n\xE6\x96\x87\xE4\xBB\xB6\n");
    DeleteFileW(record.c_str());
}

TEST(ShellOpen, MissingTargetFails) {
    EXPECT_LE(ShellOpen(TempFolder() + L"vantoro-no-such-program.exe", {}), 32);
}

TEST(ShellOpen, WebAddressGoesToTheBrowser) {
    test::BrowserRecorder browser;
    if (!browser.Active()) GTEST_SKIP() << "web addresses reach a real browser outside Wine";
    const std::wstring url = L"http://127.0.0.1:9/chat?c1=%E4%B8%AD&c2=a+b";
    EXPECT_GT(ShellOpen(url, {}), 32);
    EXPECT_EQ(test::AwaitFile(browser.Log()), WideToUtf8(url) + "\n");
}

TEST(ShowInFolder, MissingFileIsAFailure) {
    EXPECT_FALSE(ShowInFolder(TempFolder() + L"vantoro-no-such-folder\\file.txt"));
}

TEST(ShowInFolder, OpensTheFolderOfAFile) {
    test::TempFolder temp;
    std::wstring file = temp.Path() + L"\\shown.txt";
    test::WriteFile(file, "x");
    EXPECT_TRUE(ShowInFolder(file));
    HWND folder = AwaitWindow(FileName(temp.Path()));
    EXPECT_NE(folder, nullptr) << "no window titled after the folder";
    if (folder) PostMessageW(folder, WM_CLOSE, 0, 0);
    Sleep(300);  // let the file manager let go of the folder
    DeleteFileW(file.c_str());
}
