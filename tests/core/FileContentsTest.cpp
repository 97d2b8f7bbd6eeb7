// Whole-file replacement: the new content arrives complete or not at all.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/FileContents.h"
#include "platform/Path.h"
#include "tests/core/FullDisk.h"
#include "tests/support/TestService.h"

std::wstring FullDiskSettings() { return FolderOf() + L"\\full-disk\\config.json"; }

namespace {

class FileContentsTest : public ::testing::Test {
protected:
    ~FileContentsTest() override {
        RemoveDirectoryW(Temporary().c_str());
        DeleteFileW(Temporary().c_str());
    }
    std::wstring Temporary() const { return path + L".tmp"; }

    test::TempFolder temp;
    std::wstring path = temp.Path() + L"\\settings.json";
};

}  // namespace

TEST_F(FileContentsTest, ReplacesOrCreatesAndLeavesNoTemporary) {
    EXPECT_FALSE(ReadFileContents(path).has_value());
    ASSERT_TRUE(ReplaceFileContents(path, "first"));
    EXPECT_EQ("first", ReadFileContents(path).value_or("?"));
    std::string big(3 << 20, 'x');
    big[12345] = '\0';
    ASSERT_TRUE(ReplaceFileContents(path, big));
    EXPECT_EQ(big, ReadFileContents(path).value_or("?"));
    ASSERT_TRUE(ReplaceFileContents(path, ""));
    EXPECT_EQ("", ReadFileContents(path).value_or("?"));
    EXPECT_FALSE(test::FileExists(Temporary()));
}

TEST_F(FileContentsTest, AStaleTemporaryFromAnEarlierCrashIsOverwritten) {
    test::WriteFile(Temporary(), std::string(5000, 'z'));
    ASSERT_TRUE(ReplaceFileContents(path, "new"));
    EXPECT_EQ("new", ReadFileContents(path).value_or("?"));
    EXPECT_FALSE(test::FileExists(Temporary()));
}

TEST_F(FileContentsTest, AnUncreatableTemporaryKeepsTheOldFile) {
    test::WriteFile(path, "old content");
    ASSERT_TRUE(CreateDirectoryW(Temporary().c_str(), nullptr));
    EXPECT_FALSE(ReplaceFileContents(path, "new content"));
    EXPECT_EQ("old content", ReadFileContents(path).value_or("?"));
}

TEST(FileContentsFullDisk, AWriteThatRunsOutOfSpaceKeepsTheOldFile) {
    const std::wstring path = FullDiskSettings();
    test::WriteFile(path, "old content");
    EXPECT_FALSE(ReplaceFileContents(path, "new content")) << "is the temporary still linked to /dev/full?";
    EXPECT_EQ("old content", ReadFileContents(path).value_or("?"));
    DeleteFileW(path.c_str());
}
