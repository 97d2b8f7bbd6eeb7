// The programs carry their layouts as a zip resource; these tests read that
// resource back out of the built executables and compare it with resources/,
// and feed the toolkit's reader archives whose headers lie.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "tests/support/TestService.h"
#include "tests/support/UiDriver.h"
#include "ui/toolkit/ResourceZip.h"

// The largest single allocation since the test last reset it: an entry the
// reader refuses must be refused before its declared size is allocated.
static size_t largestAllocation = 0;

void* operator new(size_t size) {
    largestAllocation = std::max(largestAllocation, size);
    if (void* p = HeapAlloc(GetProcessHeap(), 0, size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    if (p) HeapFree(GetProcessHeap(), 0, p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

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

// One entry of an archive written by hand, so that its headers can lie.
struct RawEntry {
    std::string name;
    std::string data;  // as it lies in the archive (raw deflate when method is 8)
    uint32_t crc = 0;
    uint32_t size = 0;  // the uncompressed size the headers declare
    uint16_t method = 0;
    uint32_t packedSize = UINT32_MAX;  // the compressed size declared; data's size unless set
};

RawEntry Stored(std::string name, std::string data) {
    uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    uint32_t size = static_cast<uint32_t>(data.size());
    return RawEntry{std::move(name), std::move(data), crc, size};
}

RawEntry Deflated(std::string name, const std::string& data) {
    RawEntry entry = Stored(std::move(name), data);
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    entry.data = out;
    entry.method = 8;
    return entry;
}

void Put16(std::string& b, uint32_t v) { b.append(reinterpret_cast<const char*>(&v), 2); }
void Put32(std::string& b, uint32_t v) { b.append(reinterpret_cast<const char*>(&v), 4); }

// Local headers with their data, the central directory, the end record.
std::string BuildZip(const std::vector<RawEntry>& entries) {
    std::string zip, directory;
    for (const RawEntry& e : entries) {
        uint32_t offset = static_cast<uint32_t>(zip.size());
        uint32_t packed = e.packedSize != UINT32_MAX ? e.packedSize : static_cast<uint32_t>(e.data.size());
        auto header = [&](std::string& b, bool central) {
            Put32(b, central ? 0x02014b50 : 0x04034b50);
            if (central) Put16(b, 20);
            for (uint32_t v : {20u, 0u, uint32_t{e.method}, 0u, 0x21u}) Put16(b, v);  // version .. date
            Put32(b, e.crc);
            Put32(b, packed);
            Put32(b, e.size);
            Put16(b, static_cast<uint32_t>(e.name.size()));
            Put16(b, 0);
            if (central) {
                for (int i = 0; i < 3; ++i) Put16(b, 0);  // comment, disk, internal attributes
                Put32(b, 0);
                Put32(b, offset);
            }
            b += e.name;
        };
        header(zip, false);
        zip += e.data;
        header(directory, true);
    }
    uint32_t at = static_cast<uint32_t>(zip.size());
    zip += directory;
    Put32(zip, 0x06054b50);
    for (uint32_t v : {0u, 0u, static_cast<uint32_t>(entries.size()), static_cast<uint32_t>(entries.size())}) Put16(zip, v);
    Put32(zip, static_cast<uint32_t>(directory.size()));
    Put32(zip, at);
    Put16(zip, 0);
    return zip;
}

}  // namespace

TEST(LayoutArchive, ReaderRefusesLyingSizesAndOverlongNames) {
    std::string text(5000, 'x');
    std::vector<RawEntry> entries{Stored("ok.xml", "<Window/>"), Deflated("packed.xml", text)};
    auto lying = [&](const char* name, RawEntry entry, uint32_t size) {
        entry.name = name;
        entry.size = size;
        entries.push_back(entry);
    };
    lying("huge.png", Stored("", "0123456789"), 0xFFFFFFF0u);  // 4 GB
    lying("half.png", Stored("", "0123456789"), 0x7FFFFFF0u);
    lying("stored.png", Stored("", "0123456789"), 4u << 20);   // stored, yet larger than its bytes
    lying("short.png", Stored("", "0123456789"), 4);           // less than is there: the CRC disagrees
    lying("ratio.png", Deflated("", text), 10u << 20);         // more than deflate can expand to
    RawEntry junk = Deflated("", text);
    junk.data.assign(90000, '\x55');
    lying("capped.png", junk, 80u << 20);  // a ratio deflate could reach, but too large for a layout
    RawEntry beyond = Deflated("", text);
    beyond.packedSize = 0x40000000;  // more than the whole archive
    lying("beyond.png", beyond, 4u << 20);
    std::string longest(1023, 'n'), tooLong(1100, 'n');
    entries.push_back(Stored(longest, "fits"));
    entries.push_back(Stored(tooLong, "cut short"));
    std::string zip = BuildZip(entries);

    DuiLib::ResourceZip reader;
    ASSERT_TRUE(reader.Open(zip.data(), zip.size()));
    EXPECT_EQ(reader.EntryCount(), entries.size() - 1) << "the name of 1100 bytes is not indexed";
    std::string out;
    EXPECT_TRUE(reader.Read(L"ok.xml", out));
    EXPECT_EQ(out, "<Window/>");
    EXPECT_TRUE(reader.Read(L"packed.xml", out));
    EXPECT_EQ(out, text);
    EXPECT_TRUE(reader.Read(std::wstring(1023, L'n'), out));
    EXPECT_EQ(out, "fits");
    EXPECT_FALSE(reader.Contains(std::wstring(1100, L'n')));
    EXPECT_FALSE(reader.Contains(std::wstring(1024, L'n')));
    for (const wchar_t* name : {L"huge.png", L"half.png", L"stored.png", L"short.png", L"ratio.png", L"capped.png",
                                L"beyond.png"}) {
        std::string refused;
        EXPECT_TRUE(reader.Contains(name)) << name;
        largestAllocation = 0;
        EXPECT_FALSE(reader.Read(name, refused)) << name;
        EXPECT_LT(largestAllocation, 256u << 10) << name << " was allocated before it was refused";
        EXPECT_TRUE(refused.empty()) << name;
    }
    EXPECT_TRUE(reader.Read(L"ok.xml", out));  // still readable after the refusals
}

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
