// The support staff's pages: the list of crash reports and each one's stack
// trace read from its 7z archive; crafted archives are refused, never unpacked.
// Traces resolve from the symbol store through a stand-in symbolizer here;
// the installer's test resolves a real crash with llvm-symbolizer.
#include <archive.h>
#include <archive_entry.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "ChildProcess.h"
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
    EXPECT_NE(trace->body.find("<a id=\"archive\" href=\"/support/archives/" + id + "\""), std::string::npos);
    auto archive = Page("/support/archives/" + id);
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->body, bytes);
    EXPECT_EQ(archive->get_header_value("Content-Disposition"), "attachment; filename=\"" + id + "\"");
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

const char kBuild[] = "501217810281458873586847F4F706961";
const char kOtherBuild[] = "0000000000000000000000000000000A1";

// A store holding one build of Vantoro.exe, and a symbolizer that answers
// every address with an inlined call in Outer.
class SymbolStoreTest : public SupportPagesTest {
protected:
    void Adjust(Options& options) override {
        const auto build = store.Path() / "Vantoro.exe" / kBuild;
        std::filesystem::create_directories(build);
        std::ofstream(build / "Vantoro.exe") << "MZ stripped";
        std::ofstream(build / "Vantoro.exe.debug") << "MZ debug";
        const auto symbolizer = store.Path() / "symbolizer";
        std::ofstream(symbolizer) << "#!/bin/sh\nsep='['\nfor a in \"$@\"; do case $a in 0x*)\n"
                                     "printf '%s{\"Address\":\"%s\",\"Symbol\":[{\"FunctionName\":\"inner\","
                                     "\"FileName\":\"/src/a.cpp\",\"Line\":2},{\"FunctionName\":\"Outer(int)\","
                                     "\"FileName\":\"/src/a.cpp\",\"Line\":9}]}' \"$sep\" \"$a\"; sep=',';; esac; done\n"
                                     "echo ']'\n";
        std::filesystem::permissions(symbolizer, std::filesystem::perms::owner_all);
        options.symbols = store.Path();
        options.symbolizer = symbolizer.string();
    }
    std::string Report(const std::string& buildId) {
        const std::u16string id(buildId.begin(), buildId.end());
        const std::u16string log = u"Modules (base, size, version, build id, path):\n"
                                   u"0x00400000 0x00200000 1.2.3.4 " + id + u" C:\\Program Files\\Vantoro\\Vantoro.exe\n"
                                   u"0x7B000000 0x00100000 - - C:\\windows\\system32\\KERNEL32.dll\n\n"
                                   u">00: 0x004015B3 [Vantoro.exe+0x15B3] ?\n"
                                   u">01: 0x00401600 [Vantoro.exe+0x1600] Caller (n = 5) at C:\\b\\a.cpp:30\n"
                                   u">02: 0x7B012345 [KERNEL32.dll+0x12345] ?\n";
        std::ofstream(work.Path() / "r.log", std::ios::binary) << Utf16Le(log);
        return Upload(SevenZip(work.Path(), {{"r.log", Utf16Le(log)}}));
    }
    TempDir store;
};

TEST_F(SymbolStoreTest, ResolvesStoredBuildsAndSaysWhichAreNot) {
    auto page = Page("/support/reports/" + Report(kBuild));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body.find("class=\"note\""), std::string::npos) << page->body;
    EXPECT_NE(page->body.find("<pre id=\"resolved\">"
                              "&gt;00: Vantoro.exe+0x15B3 Outer(int) at /src/a.cpp:2\n"
                              "      inlined inner, called at /src/a.cpp:9\n"
                              "&gt;01: Vantoro.exe+0x1600 Outer(int) at /src/a.cpp:2\n"
                              "      inlined inner, called at /src/a.cpp:9\n"
                              "      n = 5\n"
                              "&gt;02: KERNEL32.dll+0x12345 ?\n</pre>"),
              std::string::npos) << page->body;

    page = Page("/support/reports/" + Report(kOtherBuild));
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find(std::string("<p class=\"note\">Vantoro.exe build ") + kOtherBuild +
                              " is not in the symbol store: its frames are shown as reported.</p>"),
              std::string::npos) << page->body;
    EXPECT_NE(page->body.find("&gt;01: Vantoro.exe+0x1600 Caller (n = 5) at C:\\b\\a.cpp:30\n"), std::string::npos);
    EXPECT_EQ(page->body.find("Outer(int)"), std::string::npos);
}

TEST_F(SymbolStoreTest, ServesTheStoreAndNothingOutsideIt) {
    std::ofstream(store.Path() / "secret") << "outside";
    const std::string build = std::string("/symbols/Vantoro.exe/") + kBuild;
    const std::vector<std::pair<std::string, int>> cases{
        {build + "/Vantoro.exe.debug", 200},
        {build + "/Vantoro.exe", 200},
        {build + "/../../secret", 400},
        {"/symbols/Vantoro.exe/..%2F..%2Fsecret", 400},
        {"/symbols/..%2Fsecret/" + std::string(kBuild) + "/x", 400},
        {build + "/..", 404},
        {"/symbols/Vantoro.exe/" + std::string(kOtherBuild) + "/Vantoro.exe", 404},
        {"/symbols/secret", 400},
        {build, 400},
    };
    for (const auto& [target, status] : cases) {
        auto res = Page(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, status) << target;
        EXPECT_EQ(res->body.find("outside"), std::string::npos) << target;
    }
    EXPECT_EQ(Page(build + "/Vantoro.exe.debug")->body, "MZ debug");
}

// The symbolizer runs on what uploads name: arguments reach it as they are,
// and a run that takes too long or prints too much is ended.
TEST(ChildProcessTest, RunsWithoutAShellWithinItsLimits) {
    struct Case {
        std::vector<std::string> argv;
        size_t cap;
        bool ok;
        std::string output;
        std::string why;
    };
    const std::vector<Case> cases{
        {{"/bin/echo", "a;b $(touch /tmp/x) `x` | y"}, 100, true, "a;b $(touch /tmp/x) `x` | y\n", ""},
        {{"/bin/sleep", "20"}, 100, false, "", "timed out"},
        {{"/usr/bin/yes"}, 1000, false, "", "printed more than 1000 bytes"},
        {{"/bin/false"}, 100, false, "", "failed"},
        {{"/nonexistent/symbolizer"}, 100, false, "", "cannot start /nonexistent/symbolizer"},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const ChildProcess run = ChildProcess::Run(c.argv, std::chrono::milliseconds(300), c.cap);
        EXPECT_EQ(run.ok, c.ok) << c.argv[0];
        EXPECT_EQ(run.output, c.output) << c.argv[0];
        EXPECT_EQ(run.why, c.why) << c.argv[0];
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.argv[0];
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
