#include <gtest/gtest.h>
#include <windows.h>

#include "platform/File.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "tests/support/TestService.h"

using Pieces = std::vector<std::wstring>;

TEST(Path, FolderOfTakesTheTextBeforeTheLastBackslash) {
    EXPECT_EQ(FolderOf(L"C:\\a\\b.exe"), L"C:\\a");
    EXPECT_EQ(FolderOf(L"b.exe"), L"");
    EXPECT_EQ(FolderOf(L""), FolderOf(ModulePath()));
    EXPECT_EQ(FolderOf(), FolderOf(ModulePath()));
}

TEST(Path, ModulePathIsThisExecutable) {
    EXPECT_EQ(FileName(ModulePath()), L"platform_tests.exe");
    EXPECT_TRUE(Exists(ModulePath()));
}

TEST(Path, FileAndBaseNames) {
    EXPECT_EQ(FileName(L"C:\\a\\b.exe"), L"b.exe");
    EXPECT_EQ(FileName(L"C:\\a\\"), L"");
    EXPECT_EQ(FileName(L"b.exe"), L"b.exe");
    EXPECT_EQ(BaseName(L"C:\\a\\b.c.exe"), L"b.c");
    EXPECT_EQ(BaseName(L"b.exe"), L"b");
    EXPECT_EQ(BaseName(L"C:\\a\\b"), L"b");
    EXPECT_EQ(BaseName(L"C:\\a.d\\b"), L"b");  // a dot in a folder name is not an extension
    EXPECT_EQ(AfterLast(L"x=1=2", L'='), L"2");
    EXPECT_EQ(AfterLast(L"x12", L'='), L"x12");
}

TEST(Path, ExtensionLower) {
    EXPECT_EQ(ExtensionLower(L"X.DLL"), L"dll");
    EXPECT_EQ(ExtensionLower(L"C:\\A\\Setup.Tar.GZ"), L"gz");
    EXPECT_EQ(ExtensionLower(L"README"), L"readme");
}

TEST(Path, SplitKeepsInnerEmptyPiecesButNoTrailingOne) {
    EXPECT_EQ(Split(L"a,b,c", L','), (Pieces{L"a", L"b", L"c"}));
    EXPECT_EQ(Split(L"a,,b", L','), (Pieces{L"a", L"", L"b"}));
    EXPECT_EQ(Split(L"a,b,", L','), (Pieces{L"a", L"b"}));
    EXPECT_EQ(Split(L",a", L','), (Pieces{L"", L"a"}));
    EXPECT_EQ(Split(L"", L','), Pieces{});
    EXPECT_EQ(Split(L"abc", L','), Pieces{L"abc"});
}

TEST(Path, CreateFolderTreeCreatesEveryMissingLevel) {
    test::TempFolder temp;
    std::wstring deep = temp.Path() + L"\\y\\z";
    EXPECT_TRUE(CreateFolderTree(deep));
    EXPECT_TRUE(Exists(temp.Path() + L"\\y"));
    EXPECT_TRUE(CreateFolderTree(deep));  // already there
    EXPECT_TRUE(CreateFolderTree(temp.Path() + L"\\w\\"));
    EXPECT_TRUE(Exists(temp.Path() + L"\\w"));
    RemoveDirectoryW(deep.c_str());
    RemoveDirectoryW((temp.Path() + L"\\y").c_str());
    RemoveDirectoryW((temp.Path() + L"\\w").c_str());
}

TEST(Path, CreateFolderTreeCreatesNothingWithoutADrive) {
    EXPECT_FALSE(CreateFolderTree(L""));
    EXPECT_FALSE(CreateFolderTree(L"vantoro-relative\\x"));
    EXPECT_FALSE(Exists(L"vantoro-relative"));
    EXPECT_TRUE(CreateFolderTree(L"C:\\"));
}

class FileTest : public ::testing::Test {
protected:
    std::wstring At(const wchar_t* name) const { return temp_.Path() + L"\\" + name; }
    void TearDown() override {
        for (const wchar_t* name : {L"a", L"b"}) DeleteFileW(At(name).c_str());
    }
    test::TempFolder temp_;
};

TEST_F(FileTest, CopyOverwritesAndKeepsSourceUnlessAsked) {
    test::WriteFile(At(L"a"), "new");
    test::WriteFile(At(L"b"), "old and longer");
    EXPECT_TRUE(File(At(L"a")).CopyTo(At(L"b"), false));
    EXPECT_EQ(test::ReadFile(At(L"b")), "new");
    EXPECT_TRUE(Exists(At(L"a")));

    EXPECT_TRUE(File(At(L"a")).CopyTo(At(L"b"), true));
    EXPECT_FALSE(Exists(At(L"a")));
    EXPECT_EQ(test::ReadFile(At(L"b")), "new");
}

TEST_F(FileTest, FailedCopyNeverCostsTheSource) {
    test::WriteFile(At(L"a"), "only copy");
    EXPECT_FALSE(File(At(L"a")).CopyTo(At(L"missing\\b"), true));
    EXPECT_EQ(test::ReadFile(At(L"a")), "only copy");
}

TEST(Text, EmbeddedZerosSurviveEveryConversion) {
    const std::string utf8("a\0\xE4\xB8\xAD", 5);
    const std::wstring wide(L"a\0\x4E2D", 3);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
    EXPECT_EQ(WideToUtf8(wide), utf8);
    const std::string ansi("x\0y", 3);
    EXPECT_EQ(AnsiToWide(ansi), std::wstring(L"x\0y", 3));
    EXPECT_EQ(WideToAnsi(std::wstring(L"x\0y", 3)), ansi);
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(WideToAnsi(L""), "");
}

TEST(Text, AnsiAccentsStayOneCharacterSoFileNamesMatch) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs the Western code page";
    EXPECT_EQ(AnsiToWide("caf\xE9"), L"caf\x00E9");
    EXPECT_EQ(WideToAnsi(AnsiToWide("caf\xE9")), "caf\xE9");
}
