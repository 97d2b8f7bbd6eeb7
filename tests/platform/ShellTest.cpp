#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Opener.h"
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

// Addresses from the service: only web pages may reach the shell.
TEST(ShellOpener, OnlyAbsoluteWebAddressesAreWebAddresses) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"http://127.0.0.1:18080/kefu?from=service&c1=%E4%B8%AD", true},
        {L"HTTPS://example.com", true},
        {L"https://例子.cn/files/C盘清理.exe", true},
        {L"http://[::1]:8080/x#top", true},
        {L"C:\\Windows\\System32\\cmd.exe", false},
        {L"file:///C:/Windows/System32/cmd.exe", false},
        {L"javascript:alert(1)//http://x", false},
        {L"\\\\server\\share\\x.exe", false},
        {L"tools\\x.exe", false},
        {L"cmd.exe", false},
        {L"", false},
        {L"ftp://example.com/x", false},
        {L"http:/example.com", false},
        {L"http://", false},
        {L"http:///C:/x.exe", false},
        {L"http://:80/", false},
        {L"http://example.com:8o/", false},
        {L"http://example.com@127.0.0.1/", false},
        {L"http://example.com\\x", false},
        {L"http://example.com/a\"--b", false},
        {L"http://example.com/a b", false},
        {L" http://example.com/", false},
        {L"http://example.com/\nx", false},
    };
    for (const auto& [address, web] : cases) EXPECT_EQ(IsWebAddress(address), web) << WideToUtf8(address);
}

TEST(ShellOpener, OnlyDocumentsInsideTheFolderAreOpened) {
    const std::wstring folder = L"C:\\users\\Public\\Documents\\quorvex";
    const std::pair<std::wstring, bool> cases[] = {
        {folder + L"\\guide.pdf", true},
        {folder + L"\\sub\\Guide.PDF", true},
        {folder + L"\\a\\..\\read me.txt", true},
        {folder + L"\\guide.url", false},
        {folder + L"\\guide.exe", false},
        {folder + L"\\guide.chm", false},
        {folder + L"\\guide.pdf.exe", false},
        {folder + L"\\guide.exe.", false},
        {folder + L"\\guide.settingcontent-ms", false},
        {folder + L"\\guide", false},
        {folder + L"\\guide.pdf:x.exe", false},
        {folder + L"\\..\\guide.pdf", false},
        {folder + L"\\sub\\..\\..\\guide.pdf", false},
        {folder + L"-other\\guide.pdf", false},
        {folder, false},
        {L"D:\\quorvex\\guide.pdf", false},
        {L"\\\\server\\share\\guide.pdf", false},
        {L"\\\\?\\" + folder + L"\\guide.pdf", false},
        {L"guide.pdf", false},
    };
    for (const auto& [path, opened] : cases) EXPECT_EQ(OpensAsDocument(path, folder), opened) << WideToUtf8(path);
    EXPECT_FALSE(OpensAsDocument(folder + L"\\guide.pdf", L"quorvex")) << "a relative folder";
}

// Fixer runs elevated, so the opener has the desktop's Explorer start the
// browser and documents (Wine's explorer.exe provides that desktop too): the
// address and a PDF in the folder (Wine opens PDFs with its browser) still
// reach the browser.
TEST(ShellOpener, WebAddressesAndDocumentsReachTheBrowser) {
    test::BrowserRecorder browser;
    if (!browser.Active()) GTEST_SKIP() << "web addresses reach a real browser outside Wine";
    const std::wstring url = L"http://127.0.0.1:9/chat?c1=%E4%B8%AD&c2=a+b";
    EXPECT_TRUE(OpenWebAddress(url));
    EXPECT_EQ(test::AwaitFile(browser.Log()), WideToUtf8(url) + "\n");
    DeleteFileW(browser.Log().c_str());
    test::TempFolder temp;
    const std::wstring document = temp.Path() + L"\\guide-opened.pdf";
    test::WriteFile(document, "%PDF-1.4\n");
    EXPECT_TRUE(OpenDocument(document, temp.Path()));
    std::string opened = test::AwaitFile(browser.Log());
    EXPECT_NE(opened.find("guide-opened.pdf"), std::string::npos) << "the browser got: " << opened;
    DeleteFileW(document.c_str());
}

// End to end: a program is neither started as a web address nor as a
// document; the document is shown in its folder instead.
TEST(ShellOpener, ProgramsAreNotStarted) {
    test::TempFolder temp;
    std::wstring marker = temp.Path() + L"\\ran.txt";
    std::wstring program = temp.Path() + L"\\run.bat";
    test::WriteFile(program, "@echo ran> \"" + WideToUtf8(marker) + "\"\r\n");
    EXPECT_FALSE(OpenWebAddress(program));
    EXPECT_TRUE(OpenDocument(program, temp.Path()));
    HWND folder = AwaitWindow(FileName(temp.Path()));
    EXPECT_NE(folder, nullptr) << "the program was not shown in its folder";
    if (folder) PostMessageW(folder, WM_CLOSE, 0, 0);
    Sleep(1500);
    EXPECT_FALSE(test::FileExists(marker)) << "the program ran";
    DeleteFileW(program.c_str());
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
