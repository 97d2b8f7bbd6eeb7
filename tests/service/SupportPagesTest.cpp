// The support staff's pages: the list of crash reports and each one's stack
// trace read from its 7z archive; crafted archives are refused, never unpacked.
#include <archive.h>
#include <archive_entry.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "ReportTrace.h"
#include "ServiceFixture.h"

namespace {

const char* kTarget = "/api/fixer/client/dump?version=1.0.0.1&system=6.1&product=fixer&exe_name=dumper&bit=32";

std::string Utf16Le(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A 7z archive holding exactly these names, written with libarchive so that a
// name can be anything a crafted archive might carry.
std::string SevenZip(const std::filesystem::path& dir, const std::vector<std::pair<std::string, std::string>>& entries) {
    const auto path = dir / "made.7z";
    archive* a = archive_write_new();
    archive_write_set_format_7zip(a);
    EXPECT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
    for (const auto& [name, bytes] : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
        archive_write_header(a, e);
        archive_write_data(a, bytes.data(), bytes.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return ReadAll(path);
}

class SupportPagesTest : public ServiceFixture {
protected:
    // Uploads archive bytes as Dumper does; the stored id.
    std::string Upload(const std::string& bytes, const std::string& tag = "1.0.0.1") {
        httplib::MultipartFormDataItems parts{{"tag", tag, "", ""},
                                              {"product", "Fixer", "", ""},
                                              {"version", "1.1.1.1", "", ""},
                                              {"file", bytes, "2026-3-5-7-8-9.7z", "application/octet-stream"}};
        auto res = Client().Post(kTarget, parts);
        EXPECT_TRUE(res && res->status == 200);
        return GetJson("/test/uploads").second[Json::ArrayIndex(uploads_++)]["id"].asString();
    }
    httplib::Result Page(const std::string& target) { return Client().Get(target); }

    TempDir work;
    int uploads_ = 0;
};

const std::u16string kTrace = u">00: 0x00401234 Crash (s = 0x00403000 -> \"hello world\", n = 5) at C:\\源\\crash.cpp:12\n"
                              u">01: 0x77001234 ?\n";

// Packed by Debian's 7z, as Dumper's 7za.exe would: the ".log" and the ".dmp".
TEST_F(SupportPagesTest, ListsTheReportsAndShowsATraceFromA7zArchive) {
    const auto dir = work.Path();
    std::ofstream(dir / "2026-3-5-7-8-9.log", std::ios::binary) << Utf16Le(kTrace);
    std::ofstream(dir / "2026-3-5-7-8-9.dmp", std::ios::binary) << "MDMP\x93\xA7";
    const std::string command = "cd '" + dir.string() + "' && 7z a -bd r.7z 2026-3-5-7-8-9.log 2026-3-5-7-8-9.dmp >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string bytes = ReadAll(dir / "r.7z");
    const std::string id = Upload(bytes, "tag-<1>");

    auto list = Page("/support/reports");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->status, 200);
    EXPECT_NE(list->body.find("<td>tag-&lt;1&gt;</td><td>Fixer</td><td>1.1.1.1</td><td>" + std::to_string(bytes.size()) + "</td>"),
              std::string::npos) << list->body;
    EXPECT_NE(list->body.find("/support/reports/" + id), std::string::npos);
    const std::string time = GetJson("/test/uploads").second[0]["time"].asString();
    EXPECT_FALSE(time.empty());
    EXPECT_NE(list->body.find("<td>" + time + "</td>"), std::string::npos);

    auto trace = Page("/support/reports/" + id);
    ASSERT_TRUE(trace);
    EXPECT_EQ(trace->status, 200) << trace->body;
    EXPECT_NE(trace->body.find("s = 0x00403000 -&gt; &quot;hello world&quot;, n = 5) at C:\\源\\crash.cpp:12\n"
                               "&gt;01: 0x77001234 ?\n</pre>"),
              std::string::npos) << trace->body;
}

TEST_F(SupportPagesTest, RefusesHostileArchivesWithAReason) {
    const std::string log = Utf16Le(kTrace);
    struct Case {
        std::string bytes;
        std::string reason;
    };
    const std::vector<Case> cases{
        {"PK\x03\x04 not a 7z at all", "not a 7z archive"},
        {std::string("7z\xBC\xAF\x27\x1C", 6) + "truncated", "not a 7z archive"},
        {SevenZip(work.Path(), {{"../../escape.log", log}}), "entry name holds a path"},
        {SevenZip(work.Path(), {{"/etc/cron.d/x.log", log}}), "entry name holds a path"},
        {SevenZip(work.Path(), {{"sub\\x.log", log}}), "entry name holds a path"},
        {SevenZip(work.Path(), {{"a.dmp", "MDMP"}}), "no stack trace"},
        // 17 MiB of zeros packs into a few kilobytes.
        {SevenZip(work.Path(), {{"bomb.log", std::string(17 << 20, '\0')}}), "entry larger than"},
    };
    for (const Case& c : cases) {
        const std::string id = Upload(c.bytes);
        auto page = Page("/support/reports/" + id);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, 422) << c.reason;
        EXPECT_NE(page->body.find(c.reason), std::string::npos) << page->body;
    }
    // Nothing was unpacked: the data folder holds the uploads and the files only.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DataDir())) {
        const auto top = *std::filesystem::relative(entry.path(), DataDir()).begin();
        EXPECT_TRUE(top == "uploads" || top == "files") << entry.path();
    }
    EXPECT_FALSE(std::filesystem::exists(DataDir() / ".." / "escape.log"));
}

TEST_F(SupportPagesTest, AnUnknownReportIsNotFound) {
    for (const char* target : {"/support/reports/000001-x.7z", "/support/reports/..%2F..%2Fetc%2Fpasswd"}) {
        auto page = Page(target);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, 404) << target;
    }
}

TEST(ReportTraceTest, AnEntryAboveTheLimitIsRefused) {
    TempDir dir;
    std::ofstream(dir.Path() / "r.7z", std::ios::binary) << SevenZip(dir.Path(), {{"big.log", std::string(256 << 10, 'a')}});
    EXPECT_TRUE(ReportTrace::Read(dir.Path() / "r.7z").ok);
    const ReportTrace small = ReportTrace::Read(dir.Path() / "r.7z", 64 << 10);
    EXPECT_FALSE(small.ok);
    EXPECT_NE(small.text.find("larger than 65536"), std::string::npos) << small.text;
}

TEST(ReportTraceTest, DecodesUtf16LeWhole) {
    EXPECT_EQ(Utf16LeToUtf8(Utf16Le(u"a错😀")), "a错😀");
    EXPECT_EQ(Utf16LeToUtf8(std::string("\x00\xD8" "b\x00", 4)), "\xEF\xBF\xBD" "b");  // unpaired high surrogate
    EXPECT_EQ(Utf16LeToUtf8(std::string("a\x00z", 3)), "a");                             // odd last byte
}

}  // namespace
