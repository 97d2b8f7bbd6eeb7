// Downloads: names decoded as a server does, bytes intact, big files streamed.
#include <fstream>

#include "Generator.h"
#include "ServiceFixture.h"

namespace {

class FilesTest : public ServiceFixture {};

TEST_F(FilesTest, NamesAreDecodedFromThePathWithPlusKeptLiteral) {
    auto client = Client();
    client.set_url_encode(false);  // send the bytes exactly as written here
    for (const char* target : {"/files/DirectX%20Repair.exe", "/files/C%E7%9B%98%E6%B8%85%E7%90%86.exe",
                               "/files/dll+fixer+guide.pdf", "/files/dll%2Bfixer%2Bguide.pdf"}) {
        auto res = client.Get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 200) << target;
        EXPECT_EQ(res->get_header_value("Content-Type"), "application/octet-stream");
        EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(res->body.size()));
        EXPECT_TRUE(MatchesPattern(res->body)) << target;
    }
    EXPECT_EQ(client.Get("/files/dll%20fixer%20guide.pdf")->status, 404);
}

TEST_F(FilesTest, RangesResumeADownload) {
    auto res = Client().Get("/files/DirectX%20Repair.exe", {{"Range", "bytes=1000000-"}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 206);
    EXPECT_EQ(res->body.size(), (3u << 20) - 1000000u);
    EXPECT_TRUE(MatchesPattern(res->body, 1000000));
    EXPECT_EQ(res->get_header_value("Content-Range"), "bytes 1000000-3145727/3145728");

    res = Client().Get("/files/dll-pack.zip", {{"Range", "bytes=10-99"}});  // clipped to the file
    EXPECT_EQ(res->body.size(), 7u);
    EXPECT_TRUE(MatchesPattern(res->body, 10));
    res = Client().Get("/files/dll-pack.zip", {{"Range", "bytes=17-"}});
    EXPECT_EQ(res->status, 416);
    EXPECT_EQ(res->get_header_value("Content-Range"), "bytes */17");
}

TEST_F(FilesTest, NamesThatLeaveTheFolderAreRefused) {
    std::ofstream(DataDir() / "secret.txt") << "not for download";
    for (const char* target : {"/files/..%2Fsecret.txt", "/files/..", "/files/%2E%2E%2Fsecret.txt",
                               "/files/..%5Csecret.txt", "/files/%2Fetc%2Fpasswd", "/files/.hidden",
                               "/files/a%00b", "/files/sub/../../secret.txt"}) {
        const std::string answer = Raw(std::string("GET ") + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        EXPECT_EQ(answer.rfind("HTTP/1.1 400", 0), 0u) << target << "\n" << answer.substr(0, 80);
        EXPECT_EQ(answer.find("not for download"), std::string::npos) << target;
    }
    EXPECT_EQ(GetJson("/files/no-such-file.exe").first, 404);
}

TEST_F(FilesTest, LargeFileStreamsWithoutBeingHeldInMemory) {
    constexpr uint64_t kSize = 64ull << 20;
    Generator::WriteFile(FilesDir() / "big.bin", kSize);
    const long before = ResidentKiB();
    long peak = before;
    uint64_t received = 0;
    bool intact = true;
    std::string length;
    auto client = Client();
    auto res = client.Get(
        "/files/big.bin",
        [&](const httplib::Response& head) {
            length = head.get_header_value("Content-Length");
            return true;
        },
        [&](const char* data, size_t size) {
            intact = intact && MatchesPattern(std::string_view(data, size), received);
            if ((received >> 22) != ((received + size) >> 22)) peak = std::max(peak, ResidentKiB());
            received += size;
            return true;
        });
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(length, std::to_string(kSize));
    EXPECT_EQ(received, kSize);
    EXPECT_TRUE(intact);
    EXPECT_LT(peak - before, 16 * 1024) << "resident memory grew by " << (peak - before) << " KiB";
}

}  // namespace
