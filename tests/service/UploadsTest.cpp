// Crash report uploads: stored under the service's own names, never beyond
// the size limit, never outside the data folder.
#include "ServiceFixture.h"

namespace {

const char* kTarget = "/api/fixer/client/dump?version=1.0.3&system=Win10&product=fixer&exe_name=Vantoro.exe&bit=32";

httplib::MultipartFormDataItems Parts(const std::string& content, const std::string& filename = "dump.7z") {
    return {{"tag", "crash", "", ""},
            {"product", "fixer", "", ""},
            {"version", "1.0.3", "", ""},
            {"file", content, filename, "application/octet-stream"}};
}

class UploadsTest : public ServiceFixture {
    void Adjust(Options& options) override { options.maxUpload = 1 << 20; }

protected:
    size_t StoredCount() const {
        size_t count = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(DataDir() / "uploads")) ++count;
        return count;
    }
};

TEST_F(UploadsTest, StoresTheFileAndRemembersWhatCameWithIt) {
    const std::string content("7z\xBC\xAF\x27\x1C\0\r\n\x1A\xFF", 11);
    auto res = Client().Post(kTarget, Parts(content));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    const Json::Value answer = GetJson("/test/uploads").second;
    ASSERT_EQ(answer.size(), 1u);
    const Json::Value& meta = answer[0];
    EXPECT_EQ(meta["filename"], "dump.7z");
    EXPECT_EQ(meta["size"], 11);
    EXPECT_EQ(meta["query"][3][0], "exe_name");
    EXPECT_EQ(meta["query"][4][1], "32");
    EXPECT_EQ(meta["parts"].size(), 4u);
    const std::string id = meta["id"].asString();
    EXPECT_NE(res->body.find(id), std::string::npos);
    EXPECT_EQ(Client().Get("/test/upload/" + id)->body, content);
}

TEST_F(UploadsTest, PartsAreKeptInTheOrderSent) {
    auto parts = Parts("data");
    std::swap(parts[0], parts[3]);  // file, product, version, tag
    ASSERT_EQ(Client().Post(kTarget, parts)->status, 200);
    const Json::Value uploads = GetJson("/test/uploads").second;
    std::vector<std::string> names;
    for (const Json::Value& part : uploads[0]["parts"]) names.push_back(part["name"].asString());
    EXPECT_EQ(names, (std::vector<std::string>{"file", "product", "version", "tag"}));
}

TEST_F(UploadsTest, ClientFileNamesNeverBecomePaths) {
    for (const char* name : {"../../etc/x", "..\\..\\x", "/tmp/evil.7z", "C:\\Windows\\x.7z", "..", ""}) {
        auto res = Client().Post(kTarget, Parts("data", name));
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200) << name;
    }
    EXPECT_EQ(StoredCount(), 6u);
    // Nothing but data/uploads and data/files under the test's temp folder.
    const auto root = DataDir().parent_path();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const auto relative = std::filesystem::relative(entry.path(), root);
        auto part = relative.begin();
        EXPECT_EQ(*part, "data") << entry.path();
        if (++part != relative.end()) {
            EXPECT_TRUE(*part == "uploads" || *part == "files") << entry.path();
        }
    }
}

TEST_F(UploadsTest, OversizeUploadIsRefusedAndNothingStored) {
    auto client = Client();
    auto res = client.Post(kTarget, Parts(std::string((1 << 20) + 1, 'x')));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
    res = client.Post(kTarget, Parts(std::string(4 << 20, 'x')));
    if (res) {
        EXPECT_EQ(res->status, 413);  // the service may close before reading it all
    }
    EXPECT_EQ(StoredCount(), 0u);
    EXPECT_EQ(GetJson("/test/uploads").second.size(), 0u);
    EXPECT_EQ(GetJson("/test/log").second.size(), 2u);  // refused, but seen
    EXPECT_EQ(Client().Post(kTarget, Parts(std::string(1 << 20, 'x')))->status, 200);
}

TEST_F(UploadsTest, MissingPartsOrWrongEncodingAreBadRequests) {
    auto client = Client();
    for (const char* dropped : {"file", "tag", "product", "version"}) {
        auto parts = Parts("data");
        std::erase_if(parts, [&](const auto& part) { return part.name == dropped; });
        auto res = client.Post(kTarget, parts);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << dropped;
        EXPECT_NE(res->body.find(dropped), std::string::npos);
    }
    EXPECT_EQ(client.Post(kTarget, "file=x", "application/x-www-form-urlencoded")->status, 400);
    EXPECT_EQ(client.Get(kTarget)->status, 405);
    EXPECT_EQ(StoredCount(), 0u);
    EXPECT_EQ(GetJson("/test/upload/..%2F..%2Fetc%2Fpasswd").first, 404);
}

}  // namespace
