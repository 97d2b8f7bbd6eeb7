#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>
#include <aclapi.h>
#include <winioctl.h>

#include <vector>

#include "platform/File.h"
#include "platform/Path.h"
#include "platform/SaveFolder.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"
#include "tests/support/Desktop.h"
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

TEST(Path, FileNamesWithAndWithoutExtension) {
    EXPECT_EQ(FileName(L"C:\\a\\b.exe"), L"b.exe");
    EXPECT_EQ(FileName(L"C:\\a\\"), L"");
    EXPECT_EQ(FileName(L"b.exe"), L"b.exe");
    EXPECT_EQ(NameWithoutExtension(L"C:\\a\\b.c.exe"), L"b.c");
    EXPECT_EQ(NameWithoutExtension(L"b.exe"), L"b");
    EXPECT_EQ(NameWithoutExtension(L"C:\\a\\b"), L"b");
    EXPECT_EQ(NameWithoutExtension(L"C:\\a.d\\b"), L"b");  // a dot in a folder name is not an extension
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

namespace {

// A junction at link leading to target, as any user can make one in a folder
// they may write; false where the system makes none (Wine 8: ERROR_NOT_SUPPORTED).
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    struct MountPoint {  // REPARSE_DATA_BUFFER's mount point form
        DWORD tag;
        WORD dataLength, reserved;
        WORD substituteOffset, substituteLength, printOffset, printLength;
        wchar_t paths[MAX_PATH * 2];
    } data{};
    std::wstring substitute = L"\\??\\" + target;
    if (substitute.size() >= MAX_PATH || !CreateDirectoryW(link.c_str(), nullptr)) return false;
    data.tag = IO_REPARSE_TAG_MOUNT_POINT;
    data.substituteLength = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    data.printOffset = data.substituteLength + sizeof(wchar_t);
    substitute.copy(data.paths, substitute.size());
    data.dataLength = static_cast<WORD>(4 * sizeof(WORD) + data.printOffset + sizeof(wchar_t));
    UniqueHandle handle(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    DWORD returned = 0;
    if (handle && DeviceIoControl(handle.Get(), FSCTL_SET_REPARSE_POINT, &data, data.dataLength + 8, nullptr, 0,
                                  &returned, nullptr))
        return true;
    RemoveDirectoryW(link.c_str());
    return false;
}

// A directory symbolic link; false where none was made (Wine 8's
// CreateSymbolicLinkW succeeds and makes nothing).
bool MakeSymbolicLink(const std::wstring& link, const std::wstring& target) {
    const DWORD unprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE, developer mode
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | unprivileged)) return false;
    DWORD attributes = GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A folder's owner and access list as the system keeps them, in SDDL.
std::wstring SecurityOf(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return L"<unreadable>";
    wchar_t* text = nullptr;
    std::wstring result = L"<unconvertible>";
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr))
        result = text;
    LocalFree(text);
    LocalFree(descriptor);
    return result;
}

// The owner and the entries of an SDDL text, without the list's flags.
std::wstring OwnerAndEntries(const std::wstring& sddl) {
    size_t entries = sddl.find(L'(');
    return sddl.substr(0, sddl.find(L"D:")) + (entries == std::wstring::npos ? L"" : sddl.substr(entries));
}

}  // namespace

// Links a local user could plant as the save folder, or above it, before the
// program makes it: each is refused and nothing is made where it leads. Wine
// shows a Unix symbolic link as a reparse point.
TEST(SaveFolder, LinksAreRefusedAndNothingReachesTheirTarget) {
    test::TempFolder temp;
    const std::wstring target = temp.Path() + L"\\target";
    const std::wstring junction = temp.Path() + L"\\junction";
    const std::wstring symbolic = temp.Path() + L"\\symbolic";
    ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
    struct Link {
        const char* kind;
        std::wstring path;
        std::wstring leadsTo;
    };
    std::vector<Link> links;
    if (!test::LinkedFolder().empty()) links.push_back({"unix link", test::LinkedFolder(), test::LinkTarget()});
    if (MakeJunction(junction, target)) links.push_back({"junction", junction, target});
    if (MakeSymbolicLink(symbolic, target)) links.push_back({"symbolic link", symbolic, target});
    ASSERT_FALSE(links.empty()) << "no kind of link can be made here";
    for (const Link& link : links) {
        SCOPED_TRACE(link.kind);
        EXPECT_FALSE(PrepareSaveFolder(link.path));
        EXPECT_FALSE(PrepareSaveFolder(link.path + L"\\quorvex"));
        EXPECT_FALSE(PrepareSaveFolder(link.path + L"\\quorvex\\deeper"));
        EXPECT_FALSE(Exists(link.leadsTo + L"\\quorvex"));
        for (const wchar_t* made : {L"\\quorvex\\deeper", L"\\quorvex"})
            RemoveDirectoryW((link.leadsTo + made).c_str());
    }
    const std::wstring plain = temp.Path() + L"\\plain\\quorvex";
    EXPECT_TRUE(PrepareSaveFolder(plain)) << "an ordinary folder is refused";
    for (const std::wstring& folder : {plain, FolderOf(plain), junction, symbolic, target})
        RemoveDirectoryW(folder.c_str());
}

// Made now or found made by someone else (with the ordinary list, which lets
// Everyone read here and Users write under the documents folder), the folder
// ends with the save folder's owner and list. Wine keeps no lists, only Unix
// mode bits: there the list reads back as Wine's reading of the mode it set
// (0750), without the Everyone entry an ordinary folder shows.
TEST(SaveFolder, NewAndExistingFoldersGetTheSaveFolderList) {
    test::TempFolder temp;
    const std::wstring fresh = temp.Path() + L"\\fresh";
    const std::wstring existing = temp.Path() + L"\\existing";
    ASSERT_TRUE(CreateDirectoryW(existing.c_str(), nullptr));
    const bool wine = !test::DosPath("/").empty();
    for (const std::wstring& folder : {fresh, existing}) {
        SCOPED_TRACE(WideToUtf8(folder));
        EXPECT_TRUE(PrepareSaveFolder(folder));
        std::wstring read = SecurityOf(folder);
        if (wine) {
            EXPECT_EQ(read.find(L";;;WD)"), std::wstring::npos) << WideToUtf8(read);
            EXPECT_NE(read.find(L"D:"), std::wstring::npos) << WideToUtf8(read);
        } else {
            EXPECT_EQ(OwnerAndEntries(read), OwnerAndEntries(kSaveFolderSecurity)) << WideToUtf8(read);
            EXPECT_EQ(read.find(L"D:P"), read.find(L"D:")) << "the list inherits from above: " << WideToUtf8(read);
        }
        RemoveDirectoryW(folder.c_str());
    }
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
