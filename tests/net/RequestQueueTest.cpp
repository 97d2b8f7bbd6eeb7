// The queue's message contract: who gets which message, with which record,
// and that nothing arrives for fire-and-forget requests.
#include <gtest/gtest.h>

#include <set>

#include "net/RequestQueue.h"
#include "tests/support/MessageSink.h"
#include "tests/support/TestService.h"

using namespace test;

namespace {

class RequestQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearFaults();
        ClearRequestLog();
    }
    int Ping(http::Parameters parameters = {}) {
        return queue.EnqueueRequest(BaseUrl() + "/helper/ping", std::move(parameters), sink.Hwnd(), kDoneMessage);
    }

    RequestQueue queue;
    MessageSink sink;  // destroyed before the queue, so no transfer waits on a dead window
};

bool LogHas(const std::string& path) {
    for (const LoggedRequest& r : RequestLog())
        if (r.path == path) return true;
    return false;
}

}  // namespace

TEST_F(RequestQueueTest, ReplyArrivesAsPostedCompletionRecord) {
    int id = Ping({{"version", "1037"}});
    ASSERT_TRUE(sink.WaitForCompletions(1));
    const CompletionSeen& seen = sink.completions[0];
    EXPECT_EQ(kResultReady, seen.lParam);
    EXPECT_EQ(id, seen.record->taskId);
    EXPECT_EQ(200, seen.record->response.status_code);
    EXPECT_FALSE(seen.record->response.error);
    EXPECT_NE(std::string::npos, seen.record->response.text.find("pong"));
    EXPECT_EQ(BaseUrl() + "/helper/ping?version=1037", seen.record->response.url);
    EXPECT_TRUE(seen.record->filePath.empty());
    EXPECT_TRUE(sink.progress.empty()) << "plain requests report no progress";
}

TEST_F(RequestQueueTest, FireAndForgetIsSentButProducesNoMessage) {
    queue.EnqueueRequest(BaseUrl() + "/helper/config", {{"name", "quorvex"}}, sink.Hwnd(), kNoMessage);
    ASSERT_TRUE(sink.PumpUntil([] { return LogHas("/helper/config"); }, 10000));
    sink.PumpFor(300);
    EXPECT_TRUE(sink.completions.empty());
    EXPECT_TRUE(sink.progress.empty());
}

TEST_F(RequestQueueTest, ManyConcurrentRequestsEachCompleteOnceWithTheirOwnId) {
    std::set<int> ids;
    for (int i = 0; i < 24; ++i) ids.insert(Ping({{"i", std::to_string(i)}}));
    EXPECT_EQ(24u, ids.size()) << "task ids are unique";
    ASSERT_TRUE(sink.WaitForCompletions(24));
    sink.PumpFor(200);
    ASSERT_EQ(24u, sink.completions.size());
    std::set<int> delivered;
    for (const CompletionSeen& c : sink.completions) {
        delivered.insert(c.record->taskId);
        // The request with parameter i=N must come back under the id it was given.
        std::string url = c.record->response.url;
        int i = std::stoi(url.substr(url.find("i=") + 2));
        EXPECT_EQ(*std::next(ids.begin(), i), c.record->taskId);
    }
    EXPECT_EQ(ids, delivered);
}

TEST_F(RequestQueueTest, SlowRequestDoesNotHoldBackLaterOnes) {
    Json::Value fault;
    fault["path"] = "/helper/config";
    fault["delay_ms"] = 3000;
    SetFault(fault);
    int slow = queue.EnqueueRequest(BaseUrl() + "/helper/config", {{"name", "quorvex"}}, sink.Hwnd(), kDoneMessage);
    int fast = Ping();
    ASSERT_TRUE(sink.WaitForCompletions(2));
    EXPECT_EQ(fast, sink.completions[0].record->taskId);
    EXPECT_EQ(slow, sink.completions[1].record->taskId);
}

TEST_F(RequestQueueTest, TransportFailureIsDeliveredWithItsCode) {
    queue.EnqueueRequest("http://127.0.0.1:1/helper/ping", {}, sink.Hwnd(), kDoneMessage);
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(0, sink.completions[0].record->response.status_code);
    EXPECT_EQ(http::ErrorCode::ConnectionFailure, sink.completions[0].record->response.error.code);
}

TEST_F(RequestQueueTest, CancelEndsAStalledDownloadWithCode16) {
    Json::Value fault;
    fault["path"] = "/files/pattern-8m.bin";
    fault["body"] = "stall";
    SetFault(fault);
    TempFolder folder;
    std::string target = folder.Utf8(L"stalled.bin");
    queue.CancelRequest(123456);  // unknown ids are ignored
    int id = queue.EnqueueRequest(BaseUrl() + "/files/pattern-8m.bin", {}, sink.Hwnd(), kDoneMessage,
                                  kProgressMessage, target);
    ASSERT_TRUE(sink.PumpUntil([&] { return !sink.progress.empty(); }));
    queue.CancelRequest(id);
    ASSERT_TRUE(sink.WaitForCompletions(1));
    const CompletionSeen& seen = sink.completions[0];
    EXPECT_EQ(kResultReady, seen.lParam);
    EXPECT_EQ(id, seen.record->taskId);
    EXPECT_EQ(http::ErrorCode::RequestCancelled, seen.record->response.error.code);
    EXPECT_FALSE(FileExists(folder.Path() + L"\\stalled.bin"));
}

TEST_F(RequestQueueTest, MultipartUploadArrivesByteIdentical) {
    TempFolder folder;
    std::string bytes;
    for (unsigned i = 0; i < 300 * 1024; ++i) bytes += char((i * 7919u) >> 3);
    bytes[0] = '\0';
    std::wstring file = folder.Path() + L"\\报告 1.7z";
    WriteFile(file, bytes);

    http::Multipart parts{http::Part::Text("tag", "t-01"), http::Part::Text("product", "Fixer"),
                          http::Part::Text("version", "1.1.1.1"), http::Part::File("file", folder.Utf8(L"报告 1.7z"))};
    int id = queue.EnqueueMultipartUpload(BaseUrl() + "/api/fixer/client/dump",
                                          {{"version", "1.0.3.7"}, {"product", "fixer"}}, parts, sink.Hwnd(),
                                          kDoneMessage, kProgressMessage);
    ASSERT_TRUE(sink.WaitForCompletions(1));
    const http::Response& r = sink.completions[0].record->response;
    EXPECT_EQ(id, sink.completions[0].record->taskId);
    ASSERT_EQ(200, r.status_code) << r.text;
    EXPECT_GE(r.uploaded_bytes, bytes.size());
    std::string stored = ParseJson(r.text)["data"]["id"].asString();
    ASSERT_FALSE(stored.empty()) << r.text;
    EXPECT_TRUE(Get("/test/upload/" + stored).text == bytes) << "the archive arrives byte for byte";

    Json::Value uploads = ParseJson(Get("/test/uploads").text);
    ASSERT_TRUE(uploads.isArray() && uploads.size() > 0);
    Json::Value last = uploads[uploads.size() - 1];
    EXPECT_NE(std::string::npos, Json::FastWriter().write(last).find("t-01"));
}

TEST_F(RequestQueueTest, UploadOfAMissingFileFailsInsteadOfSendingNothing) {
    TempFolder folder;
    queue.EnqueueMultipartUpload(BaseUrl() + "/api/fixer/client/dump", {},
                                 {http::Part::Text("tag", "x"), http::Part::File("file", folder.Utf8(L"gone.7z"))},
                                 sink.Hwnd(), kDoneMessage, kProgressMessage);
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(0, sink.completions[0].record->response.status_code);
    EXPECT_TRUE(sink.completions[0].record->response.error);
}
