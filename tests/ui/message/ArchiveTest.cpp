// The programs carry their layouts as a zip resource; these tests read that
// resource back out of the built executables and compare it with resources/.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <cstring>
#include <map>
#include <string>

#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"

namespace {

struct Entry {
    uint32_t crc = 0;
    uint32_t size = 0;
};

// The bytes of a program's "ZIPRES"/"IDR_ZIPRES" resource, or "" without one.
std::string ArchiveOf(const char* exe) {
    HMODULE module = LoadLibraryExW(test::DosPath(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return {};
    std::string bytes;
    if (HRSRC info = FindResourceW(module, L"IDR_ZIPRES", L"ZIPRES")) {
        HGLOBAL data = LoadResource(module, info);
        const char* begin = static_cast<const char*>(LockResource(data));
        if (begin) bytes.assign(begin, SizeofResource(module, info));
    }
    FreeLibrary(module);
    return bytes;
}

uint32_t U32(const std::string& b, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
uint16_t U16(const std::string& b, size_t at) {
    uint16_t v = 0;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}

// Reads the central directory; every entry must point at a local header.
// Returns the entries by name, or fails the test.
std::map<std::string, Entry> ListZip(const std::string& zip) {
    std::map<std::string, Entry> entries;
    if (zip.size() < 22) {
        ADD_FAILURE() << "archive of " << zip.size() << " bytes";
        return entries;
    }
    size_t end = zip.size() - 22;
    while (end > 0 && U32(zip, end) != 0x06054b50) --end;
    if (U32(zip, end) != 0x06054b50) {
        ADD_FAILURE() << "no end-of-central-directory record";
        return entries;
    }
    uint16_t count = U16(zip, end + 10);
    size_t at = U32(zip, end + 16);
    for (uint16_t i = 0; i < count; ++i) {
        if (at + 46 > zip.size() || U32(zip, at) != 0x02014b50) {
            ADD_FAILURE() << "broken central directory at entry " << i;
            break;
        }
        uint16_t nameLength = U16(zip, at + 28);
        std::string name = zip.substr(at + 46, nameLength);
        size_t local = U32(zip, at + 42);
        EXPECT_TRUE(local + 4 <= zip.size() && U32(zip, local) == 0x04034b50) << name;
        entries[name] = {U32(zip, at + 16), U32(zip, at + 24)};
        at += 46 + nameLength + U16(zip, at + 30) + U16(zip, at + 32);
    }
    return entries;
}

// Every packed file must be byte for byte (by size and CRC) the one that the
// later folder provides.
void ExpectPackedFrom(const std::map<std::string, Entry>& zip, std::initializer_list<const char*> folders,
                      std::initializer_list<const char*> names) {
    for (const char* name : names) {
        std::string source;
        for (const char* folder : folders) {
            std::wstring path = test::DosPath((std::string(RESOURCES_DIR "/") + folder + "/" + name).c_str());
            for (auto& ch : path) if (ch == L'/') ch = L'\\';
            if (test::FileExists(path)) source = test::ReadFile(path);
        }
        auto found = zip.find(name);
        ASSERT_NE(found, zip.end()) << name << " is not in the archive";
        ASSERT_FALSE(source.empty()) << name << " is not in the folders";
        EXPECT_EQ(found->second.size, source.size()) << name;
        EXPECT_EQ(found->second.crc,
                  crc32(0, reinterpret_cast<const Bytef*>(source.data()), static_cast<uInt>(source.size())))
            << name;
    }
}

}  // namespace

TEST(LayoutArchive, FixerCarriesItsLayoutsAndImages) {
    std::string zip = ArchiveOf(VANTORO_EXE);
    ASSERT_FALSE(zip.empty()) << "Vantoro.exe has no ZIPRES/IDR_ZIPRES resource";
    auto entries = ListZip(zip);
    ExpectPackedFrom(entries, {"common", "fixer"},
                     {"Msgbox.xml", "img/close.png", "img/hide.png", "img/shadow2.png", "img/prog_bk.png",
                      "img/prog_fore.png", "img/download_outline.png", "img1/logo.png", "img1/nav_dll.png",
                      "img1/nav_c.png", "img1/nav_xt.png", "img1/nav_directx.png", "img1/dll.gif",
                      "img1/ccleaner.gif", "img1/reinstall.gif", "img1/directx.gif", "img1/btn1.png"});
    EXPECT_EQ(entries.count("img/report.png"), 0u) << "the crash report's picture belongs to dumper";
}

TEST(LayoutArchive, DumperCarriesItsOwnMessageBox) {
    std::string zip = ArchiveOf(DUMPER_EXE);
    ASSERT_FALSE(zip.empty()) << "dumper.exe has no ZIPRES/IDR_ZIPRES resource";
    auto entries = ListZip(zip);
    ExpectPackedFrom(entries, {"common", "dumper"}, {"Msgbox.xml", "img/close.png", "img/report.png"});
    EXPECT_EQ(entries.count("img1/logo.png"), 0u);
}
