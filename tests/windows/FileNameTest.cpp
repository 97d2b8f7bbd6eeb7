// Names taken from addresses the service sends: whatever the address says,
// the name is one plain Windows file name.
#include <gtest/gtest.h>

#include "windows/FileName.h"

using Windows::DistinctFileNames;
using Windows::FileNameFromUrl;

namespace {

const std::string kBase = "http://127.0.0.1:9/files/";

std::wstring NameOf(const std::string& segment) { return FileNameFromUrl(kBase + segment); }

}  // namespace

TEST(FileNameFromUrl, DecodesSpacesPlusesAndUtf8) {
    EXPECT_EQ(NameOf("DirectX%20Repair.exe"), L"DirectX Repair.exe");
    EXPECT_EQ(NameOf("dll+fixer+guide.pdf"), L"dll fixer guide.pdf");
    EXPECT_EQ(NameOf("C%E7%9B%98%E6%B8%85%E7%90%86.exe"), L"C盘清理.exe");
    EXPECT_EQ(NameOf("系统重装助手.exe"), L"系统重装助手.exe");  // raw UTF-8 in the address
    EXPECT_EQ(NameOf("%F0%9F%98%80.txt"), L"\U0001F600.txt");
    EXPECT_EQ(NameOf("100%.txt"), L"100%.txt");  // a malformed escape stays
    EXPECT_EQ(FileNameFromUrl("plain.zip"), L"plain.zip");
}

TEST(FileNameFromUrl, SeparatorsAndDrivesNeverLeaveTheFolder) {
    EXPECT_EQ(NameOf("%2E%2E%5C%2E%2E%5Cevil.exe"), L".._.._evil.exe");
    EXPECT_EQ(NameOf("..%2F..%2Fescape.txt"), L".._.._escape.txt");
    EXPECT_EQ(NameOf("C%3A%5CWindows%5Cwin.ini"), L"C__Windows_win.ini");
    EXPECT_EQ(NameOf("report.txt%3Azone"), L"report.txt_zone");
    EXPECT_EQ(NameOf("%5C%5Cserver%5Cshare"), L"__server_share");
    EXPECT_EQ(NameOf(".."), L"download");
    EXPECT_EQ(NameOf("%2E%2E"), L"download");
    EXPECT_EQ(NameOf("."), L"download");
}

TEST(FileNameFromUrl, ForbiddenAndControlCharactersAreReplaced) {
    EXPECT_EQ(NameOf("%3C%3E%22%7C%3F%2A.dat"), L"______.dat");
    EXPECT_EQ(NameOf("bell%07tab%09nl%0Anul%00.bin"), L"bell_tab_nl_nul_.bin");
    EXPECT_EQ(NameOf("del%7F.bin"), L"del_.bin");
}

TEST(FileNameFromUrl, TrailingDotsAndSpacesGo) {
    EXPECT_EQ(NameOf("trailing.%20.%20"), L"trailing");
    EXPECT_EQ(NameOf("name.txt..."), L"name.txt");
    EXPECT_EQ(NameOf("%20%20"), L"download");
    EXPECT_EQ(NameOf("%20lead.txt"), L" lead.txt");  // leading spaces are a valid name
}

TEST(FileNameFromUrl, DeviceNamesGetAPrefix) {
    for (const char* device : {"CON", "con", "PRN", "AUX", "NUL", "COM1", "com9", "LPT1", "lpt9"}) {
        std::wstring wide(device, device + strlen(device));
        EXPECT_EQ(NameOf(device), L"_" + wide) << device;
    }
    EXPECT_EQ(NameOf("nul.txt"), L"_nul.txt");
    EXPECT_EQ(NameOf("COM1.tar.gz"), L"_COM1.tar.gz");
    EXPECT_EQ(NameOf("aux%20.txt"), L"_aux .txt");
    EXPECT_EQ(NameOf("CON."), L"_CON");
    EXPECT_EQ(NameOf("COM%C2%B9"), L"_COM\u00B9");
    // Not devices: other digits, longer stems.
    EXPECT_EQ(NameOf("COM0"), L"COM0");
    EXPECT_EQ(NameOf("CONSOLE.txt"), L"CONSOLE.txt");
    EXPECT_EQ(NameOf("LPT10"), L"LPT10");
}

TEST(FileNameFromUrl, EmptyNamesFallBack) {
    EXPECT_EQ(FileNameFromUrl(kBase), L"download");
    EXPECT_EQ(FileNameFromUrl(""), L"download");
    EXPECT_EQ(FileNameFromUrl("http://127.0.0.1:9/dir/"), L"download");
}

TEST(FileNameFromUrl, InvalidUtf8BecomesPlaceholders) {
    EXPECT_EQ(NameOf("bad%FF%FEname.bin"), L"bad__name.bin");
    // An overlong "." and "/" must not turn into the characters they spell.
    EXPECT_EQ(NameOf("%C0%AE%C0%AE%C0%AFx.bin"), L"______x.bin");
    EXPECT_EQ(NameOf("%ED%A0%80.txt"), L"___.txt");   // a UTF-16 surrogate
    EXPECT_EQ(NameOf("%F4%90%80%80.txt"), L"____.txt");  // past U+10FFFF
    EXPECT_EQ(NameOf("cut%E4%B8"), L"cut__");          // a sequence cut short
    EXPECT_EQ(NameOf("%E4%B8%AD%E4"), L"中_");
}

TEST(FileNameFromUrl, QueryAndFragmentAreNotPartOfTheName) {
    EXPECT_EQ(NameOf("tool.exe?x=1/2#frag"), L"tool.exe");
    EXPECT_EQ(NameOf("tool.exe#a/b"), L"tool.exe");
    EXPECT_EQ(NameOf("tool%3Fx.exe"), L"tool_x.exe");  // an encoded "?" is part of the name
}

TEST(FileNameFromUrl, LongNamesKeepTheirExtension) {
    std::wstring name = NameOf(std::string(300, 'a') + ".exe");
    EXPECT_EQ(name.size(), Windows::kMaxFileNameLength);
    EXPECT_EQ(name.substr(name.size() - 4), L".exe");
    // A cut never splits a surrogate pair.
    std::string emoji = "x";
    for (int i = 0; i < 200; ++i) emoji += "%F0%9F%98%80";
    std::wstring cut = NameOf(emoji);
    EXPECT_EQ(cut.size(), Windows::kMaxFileNameLength - 1);
    EXPECT_TRUE(cut.back() >= 0xDC00 && cut.back() <= 0xDFFF) << "the name ends inside a pair";
}

// Two addresses never share a file: a colliding name (case ignored) gets a tag
// of its own address, whatever the order of the list.
TEST(FileNamesOfAList, DifferentAddressesNeverShareAFile) {
    const std::string longName = std::string(200, 'x') + ".exe";
    const std::vector<std::string> addresses = {
        kBase + "a/Tool.exe", kBase + "b/tool.EXE", kBase + "a/Tool.exe", kBase + "guide.pdf",
        kBase + "dir/",       kBase + "%2E%2E",     kBase + "a/" + longName, kBase + "b/" + longName};
    const std::vector<std::wstring> names = DistinctFileNames(addresses);
    ASSERT_EQ(names.size(), addresses.size());
    EXPECT_EQ(names[0].rfind(L"Tool (", 0), 0u);
    EXPECT_EQ(names[0].substr(names[0].size() - 5), L").exe") << "the extension stays last";
    EXPECT_EQ(names[1].rfind(L"tool (", 0), 0u);
    EXPECT_NE(_wcsicmp(names[0].c_str(), names[1].c_str()), 0);
    EXPECT_EQ(names[2], names[0]) << "one address, one file";
    EXPECT_EQ(names[3], L"guide.pdf");
    EXPECT_NE(names[4], names[5]);
    EXPECT_EQ(names[4].rfind(L"download (", 0), 0u);
    EXPECT_NE(names[6], names[7]);
    for (const std::wstring& name : names) EXPECT_LE(name.size(), Windows::kMaxFileNameLength);
    EXPECT_EQ(DistinctFileNames({addresses[1], addresses[0]}), (std::vector<std::wstring>{names[1], names[0]}));
}
