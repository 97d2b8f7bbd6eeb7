#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "platform/Path.h"
#include "platform/VersionInfo.h"

namespace {

std::wstring WithoutDots(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'.'), text.end());
    return text;
}

std::wstring SystemFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + name;
}

}  // namespace

TEST(VersionInfo, ReadsThisExecutablesResource) {
    VersionInfo& info = VersionInfo::Instance();
    EXPECT_STREQ(info.VersionText(), L"1.0.3.7");
    EXPECT_EQ(WithoutDots(info.VersionText()), L"1037");
    EXPECT_EQ(info.Major(), 1);
    EXPECT_EQ(info.Minor(), 0);
    EXPECT_EQ(info.Build(), 3);
    EXPECT_EQ(info.Revision(), 7);
}

TEST(VersionInfo, StringsComeFromTheFirstTranslation) {
    VersionInfo& info = VersionInfo::Instance();
    EXPECT_EQ(info.ProductName(), L"修复助手");
    EXPECT_EQ(info.CompanyName(), L"Vantoro Test");
    EXPECT_EQ(info.LegalCopyright(), L"(c) Vantoro");
    EXPECT_EQ(info.OriginalFilename(), L"platform_tests.exe");
    EXPECT_EQ(info.InternalName(), L"platform_tests");
}

TEST(VersionInfo, InstanceReloadsOnEveryAccess) {
    VersionInfo& info = VersionInfo::Instance();
    ASSERT_TRUE(info.Load(SystemFile(L"kernel32.dll")));
    EXPECT_STRNE(info.VersionText(), L"1.0.3.7");
    EXPECT_NE(info.ProductName(), L"修复助手");
    EXPECT_STREQ(VersionInfo::Instance().VersionText(), L"1.0.3.7");
    EXPECT_EQ(VersionInfo::Instance().ProductName(), L"修复助手");
}

TEST(VersionInfo, FileWithoutResourceReadsAsZeros) {
    VersionInfo info;
    EXPECT_FALSE(info.Load(FolderOf() + L"\\platform_helper.exe"));
    EXPECT_FALSE(info.Load(FolderOf() + L"\\no-such-file.exe"));
    EXPECT_STREQ(info.VersionText(), L"0.0.0.0");
    EXPECT_EQ(info.ProductName(), L"");
}
