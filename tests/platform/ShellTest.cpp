#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Path.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "tests/support/TestService.h"

namespace {

// Polls for a file that another process writes; its text, or "" after 10 s.
std::string AwaitFile(const std::wstring& path) {
    for (int i = 0; i < 100 && !Exists(path); ++i) Sleep(100);
    return Exists(path) ? test::ReadFile(path) : std::string();
}

// The Windows name of a Unix path, as Wine maps it.
std::wstring DosPath(const char* unixPath) {
    using ToDos = wchar_t*(CDECL*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
    if (!toDos) return {};
    wchar_t* dos = toDos(unixPath);
    std::wstring path = dos ? dos : L"";
    HeapFree(GetProcessHeap(), 0, dos);
    return path;
}

// Points Wine's browser setting at the recorder script for one test and
// puts the previous setting back.
class ShellBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        log_ = DosPath(BROWSER_RECORDER ".log");
        if (log_.empty()) GTEST_SKIP() << "web addresses reach a real browser outside Wine";
        DeleteFileW(log_.c_str());
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key_, &disposition),
                  ERROR_SUCCESS);
        createdKey_ = disposition == REG_CREATED_NEW_KEY;
        wchar_t old[1024];
        DWORD size = sizeof(old);
        hadOld_ = RegQueryValueExW(key_, L"Browsers", nullptr, nullptr, reinterpret_cast<BYTE*>(old),
                                   &size) == ERROR_SUCCESS;
        if (hadOld_) old_.assign(old, size / sizeof(wchar_t));
        Set(Utf8ToWide(BROWSER_RECORDER) + L'\0');
    }
    void TearDown() override {
        if (!key_) return;
        if (hadOld_)
            Set(old_);
        else
            RegDeleteValueW(key_, L"Browsers");
        RegCloseKey(key_);
        if (createdKey_) RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
        DeleteFileW(log_.c_str());
    }
    void Set(const std::wstring& value) {
        RegSetValueExW(key_, L"Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                       static_cast<DWORD>(value.size() * sizeof(wchar_t)));
    }

    static constexpr const wchar_t* kKey = L"Software\\Wine\\WineBrowser";
    std::wstring log_;
    HKEY key_ = nullptr;
    bool createdKey_ = false;
    bool hadOld_ = false;
    std::wstring old_;
};

struct WindowSearch {
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    wchar_t title[MAX_PATH] = {};
    GetWindowTextW(window, title, MAX_PATH);
    if (IsWindowVisible(window) && search->title == title) search->found = window;
    return search->found == nullptr;
}

HWND AwaitWindow(const std::wstring& title) {
    WindowSearch search{title};
    for (int i = 0; i < 100 && !search.found; ++i) {
        EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(100);
    }
    return search.found;
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
    EXPECT_EQ(AwaitFile(record), "b c\n\xE6\x96\x87\xE4\xBB\xB6\n");
    DeleteFileW(record.c_str());
}

TEST(ShellOpen, MissingTargetFails) {
    EXPECT_LE(ShellOpen(TempFolder() + L"vantoro-no-such-program.exe", {}), 32);
}

TEST_F(ShellBrowserTest, WebAddressGoesToTheBrowser) {
    const std::wstring url = L"http://127.0.0.1:9/chat?c1=%E4%B8%AD&c2=a+b";
    EXPECT_GT(ShellOpen(url, {}), 32);
    EXPECT_EQ(AwaitFile(log_), WideToUtf8(url) + "\n");
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
