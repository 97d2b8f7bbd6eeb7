// Settings in config.json: defaults on a first start, members kept across
// saves, folder composition, damaged files, and saves that never leave a
// half-written file behind.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <regex>

#include "core/AppConfig.h"
#include "core/FileContents.h"
#include "net/Json.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "tests/core/FullDisk.h"
#include "tests/support/TestService.h"

namespace {

// Removes everything below folder, leaving folder itself.
void EmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = data.cFileName, path = folder + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            EmptyFolder(path);
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

class AppConfigTest : public ::testing::Test {
protected:
    ~AppConfigTest() override { EmptyFolder(temp.Path()); }

    std::wstring In(const std::wstring& name) const { return temp.Path() + L"\\" + name; }
    std::string InUtf8(const std::wstring& name) const { return WideToUtf8(In(name)); }
    Json::Value Stored() const { return json::Parse(test::ReadFile(settings)); }
    // A settings file whose roots lie inside the test's own folder.
    void WriteSettings(Json::Value root) {
        if (!root.isMember("cache")) root["cache"] = InUtf8(L"c");
        if (!root.isMember("user")) root["user"] = InUtf8(L"u");
        test::WriteFile(settings, json::Compact(root));
    }

    test::TempFolder temp;
    std::wstring settings = In(L"config.json");
};

}  // namespace

TEST_F(AppConfigTest, FirstStartStoresDefaultRootsAndTheHistoryFollowsWithTheNextSave) {
    AppConfig config(settings);
    Json::Value stored = Stored();
    ASSERT_TRUE(stored.isObject()) << test::ReadFile(settings);
    std::string cache = Lower(json::String(stored["cache"]));
    EXPECT_TRUE(std::regex_match(cache, std::regex(R"(c:\\users\\[^\\]+\\(appdata\\roaming|application data)\\quorvex)")))
        << cache;
    EXPECT_EQ("c:\\users\\public\\documents\\quorvex", Lower(json::String(stored["user"])));
    EXPECT_FALSE(stored.isMember("history")) << "kept in memory until the next save";
    EXPECT_TRUE(IsFolder(Utf8ToWide(json::String(stored["cache"])) + L"\\img"));
    EXPECT_TRUE(IsFolder(Utf8ToWide(json::String(stored["user"])) + L"\\文件"));

    config.SetFirstRun(false);
    std::string text = test::ReadFile(settings);
    EXPECT_EQ('\n', text.back());
    EXPECT_EQ(text.size() - 1, text.find('\n')) << "one line and a line feed";
    stored = json::Parse(text);
    EXPECT_TRUE(stored["history"].isArray());
    EXPECT_EQ(0u, stored["history"].size());
    EXPECT_EQ(Json::Value(false), stored["firstRun"]);
}

TEST_F(AppConfigTest, UnknownMembersAndTheSignInRecordSurviveSaves) {
    Json::Value root = json::Parse(R"({"loginInfo":{"token":"t-1","uid":77,"name":"张三"},
        "history":["a.exe"], "extra":{"nested":[1,{"x":null}]}, "count":3, "firstRun":true})");
    WriteSettings(root);
    AppConfig config(settings);
    config.SetFirstRun(false);
    Json::Value stored = Stored();
    EXPECT_EQ(root["loginInfo"], stored["loginInfo"]);
    EXPECT_EQ(root["extra"], stored["extra"]);
    EXPECT_EQ(root["history"], stored["history"]);
    EXPECT_EQ(3, json::Int(stored["count"]));
    EXPECT_EQ(Json::Value(false), stored["firstRun"]);
    EXPECT_EQ(InUtf8(L"c"), json::String(stored["cache"]));
}

TEST_F(AppConfigTest, FoldersAreComposedWithoutDoubleBackslashesAndCreatedWithParents) {
    Json::Value root;
    root["cache"] = InUtf8(L"deep\\er\\\\root\\");
    root["user"] = InUtf8(L"下载\\");
    WriteSettings(root);
    AppConfig config(settings);
    EXPECT_EQ(In(L"deep\\er\\root\\img\\"), config.FolderFor(kCacheFolder));
    EXPECT_TRUE(IsFolder(In(L"deep\\er\\root\\img")));
    EXPECT_EQ(In(L"下载\\文件\\"), config.FolderFor(kDownloadFolder));
    EXPECT_TRUE(IsFolder(In(L"下载\\文件")));
    EXPECT_EQ(L"", config.FolderFor(0));
    EXPECT_EQ(L"", config.FolderFor(3));
}

TEST_F(AppConfigTest, EmptyOrWrongShapedRootsAreReplacedByDefaultsAndSaved) {
    Json::Value root;
    root["cache"] = "";
    root["user"] = Json::Value(Json::arrayValue);
    WriteSettings(root);
    AppConfig config(settings);
    std::wstring cache = config.FolderFor(kCacheFolder);
    std::wstring user = config.FolderFor(kDownloadFolder);
    EXPECT_EQ(DefaultRoot(CSIDL_APPDATA) + L"\\img\\", cache);
    EXPECT_EQ(DefaultRoot(CSIDL_COMMON_DOCUMENTS) + L"\\文件\\", user);
    Json::Value stored = Stored();
    EXPECT_EQ(WideToUtf8(DefaultRoot(CSIDL_APPDATA)), json::String(stored["cache"]));
    EXPECT_EQ(WideToUtf8(DefaultRoot(CSIDL_COMMON_DOCUMENTS)), json::String(stored["user"]));
}

TEST_F(AppConfigTest, DamagedFilesKeepWhatWasReadAndNeverThrow) {
    Json::Value root = json::Parse(R"({"loginInfo":{"u":"a"}})");
    root["user"] = InUtf8(L"u");
    std::string text = json::Compact(root);
    test::WriteFile(settings, "// old\n" + text.substr(0, text.rfind('}')) + ",\"cache\":");
    {
        AppConfig config(settings);
        EXPECT_EQ(In(L"u\\文件\\"), config.FolderFor(kDownloadFolder));
        config.FolderFor(kCacheFolder);  // a default root, saved
        Json::Value stored = Stored();
        EXPECT_EQ("a", json::String(json::At(stored, {"loginInfo", "u"})));
        EXPECT_FALSE(json::String(stored["cache"]).empty());
    }
    for (const char* text : {"[1,2]", "\"text\"", "42", "", "\xff\xfe{"}) {
        SCOPED_TRACE(text);
        test::WriteFile(settings, text);
        AppConfig config(settings);
        config.SetFirstRun(false);
        EXPECT_EQ(Json::Value(false), Stored()["firstRun"]);
    }
}

TEST_F(AppConfigTest, AFailedSaveLeavesTheOldFileWhole) {
    Json::Value root = json::Parse(R"({"loginInfo":{"token":"keep"}})");
    WriteSettings(root);
    const std::string before = test::ReadFile(settings);
    AppConfig config(settings);

    ASSERT_TRUE(CreateDirectoryW((settings + L".tmp").c_str(), nullptr));
    config.SetFirstRun(false);
    EXPECT_FALSE(config.Save());
    EXPECT_EQ(before, test::ReadFile(settings));
    RemoveDirectoryW((settings + L".tmp").c_str());

    EXPECT_TRUE(config.Save());
    EXPECT_EQ(Json::Value(false), Stored()["firstRun"]);
    EXPECT_EQ("keep", json::String(json::At(Stored(), {"loginInfo", "token"})));
    EXPECT_FALSE(test::FileExists(settings + L".tmp"));
}

TEST_F(AppConfigTest, AFullDiskLeavesTheOldFileWhole) {
    const std::wstring path = FullDiskSettings();
    settings = path;
    WriteSettings(json::Parse(R"({"loginInfo":{"token":"keep"},"firstRun":true})"));
    const std::string before = test::ReadFile(path);
    AppConfig config(path);
    config.SetFirstRun(false);
    EXPECT_FALSE(config.Save());
    EXPECT_EQ(before, test::ReadFile(path));
    DeleteFileW(path.c_str());
}

TEST_F(AppConfigTest, AFileHeldByAnotherProgramIsNeverOverwrittenWithDefaults) {
    test::WriteFile(settings, R"({"loginInfo":{"token":"keep"}})");  // no roots: loading wants to save defaults
    const std::string before = test::ReadFile(settings);
    HANDLE held = CreateFileW(settings.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    AppConfig config(settings);
    EXPECT_FALSE(config.FolderFor(kCacheFolder).empty());
    CloseHandle(held);
    EXPECT_FALSE(config.Save()) << "a save would write defaults over what was never read";
    EXPECT_EQ(before, test::ReadFile(settings));
}

TEST(AppConfigDefaults, InstanceLivesBesideTheExecutable) {
    const std::wstring path = FolderOf() + L"\\config.json";
    const bool existed = Exists(path);
    AppConfig& config = AppConfig::Instance();
    EXPECT_EQ(&config, &AppConfig::Instance());
    EXPECT_EQ(path, config.Path());
    EXPECT_TRUE(Exists(path));
    if (!existed) DeleteFileW(path.c_str());
}

TEST(AppConfigDefaults, RootsFallBackToAFixedFolderAndCollapseBackslashes) {
    const std::wstring fallback = L"C:\\Users\\Downloads\\quorvex";
    const bool existed = Exists(fallback);
    EXPECT_EQ(fallback, DefaultRoot(0x7E)) << "a CSIDL the shell does not know";
    EXPECT_TRUE(IsFolder(fallback));
    if (!existed) {
        RemoveDirectoryW(fallback.c_str());
        RemoveDirectoryW(L"C:\\Users\\Downloads");
    }
    EXPECT_EQ(L"C:\\a\\b\\", CollapseBackslashes(L"C:\\\\a\\\\\\\\\\b\\\\"));
    EXPECT_EQ(L"\\x", CollapseBackslashes(L"\\\\\\x"));
    EXPECT_EQ(L"", CollapseBackslashes(L""));
}
