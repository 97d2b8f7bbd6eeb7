// The queue's message contract: who gets which message, with which record,
// that nothing arrives for fire-and-forget requests, and that every failure
// (a throw, a thread that cannot start, a silent server) still ends in one
// completion.
#include <winsock2.h>
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "net/RequestQueue.h"
#include "tests/support/Desktop.h"
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

// Nothing may be posted, under any id: the sink fails the test on a message it
// does not expect, and the wait does not pump, so that one Wine would swallow
// (an id with the top bit set) is still seen waiting.
TEST_F(RequestQueueTest, FireAndForgetIsSentButProducesNoMessage) {
    TempFolder folder;
    WriteFile(folder.Path() + L"\\report.7z", "dump");
    queue.EnqueueRequest(BaseUrl() + "/helper/config", {{"name", "quorvex"}}, sink.Hwnd(), kNoMessage);
    queue.EnqueueRequest(BaseUrl() + "/files/pattern-256k.bin", {}, sink.Hwnd(), kNoMessage, kNoMessage,
                         folder.Utf8(L"quiet.bin"));
    queue.EnqueueMultipartUpload(BaseUrl() + "/api/fixer/client/dump", {},
                                 {http::Part::Text("tag", "quiet"), http::Part::File("file", folder.Utf8(L"report.7z"))},
                                 sink.Hwnd(), kNoMessage);
    bool landed = false;
    for (int i = 0; i < 100 && !landed; ++i, Sleep(100))
        landed = LogHas("/helper/config") && LogHas("/api/fixer/client/dump") && FileExists(folder.Path() + L"\\quiet.bin");
    ASSERT_TRUE(landed);
    Sleep(500);  // the worker delivers right after the rename and the upload's answer
    EXPECT_FALSE(MessageSink::MessageWaiting());
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

// Who frees a record: the receiver when it arrived, the sender when it did not.
TEST(RequestQueueRecordTest, ARecordForAWindowThatIsGoneStaysWithTheSender) {
    HWND gone;
    {
        MessageSink sink;
        gone = sink.Hwnd();
    }
    std::unique_ptr<ProgressRecord> progress(new ProgressRecord{});
    EXPECT_FALSE(SendRecord(gone, kProgressMessage, progress, 1));
    EXPECT_TRUE(progress) << "nobody else can free it";
    auto completion = std::make_unique<CompletionRecord>();
    EXPECT_FALSE(PostRecord(gone, kDoneMessage, completion, kResultReady));
    EXPECT_FALSE(PostRecord(nullptr, kDoneMessage, completion, kResultReady));
    EXPECT_TRUE(completion);
}

TEST(RequestQueueRecordTest, ARecordForAWindowThatGoesWhileItWaitsStaysWithTheSender) {
    std::unique_ptr<ProgressRecord> progress(new ProgressRecord{});
    bool sent = true;
    std::thread sender;
    {
        MessageSink sink;
        sender = std::thread([&, window = sink.Hwnd()] { sent = SendRecord(window, kProgressMessage, progress, 1); });
        Sleep(300);  // the message now waits for this thread, which closes the window instead
    }
    Pump(300);
    sender.join();
    EXPECT_FALSE(sent);
    EXPECT_TRUE(progress);
}

TEST(RequestQueueRecordTest, ARecordThatArrivesIsTheReceivers) {
    MessageSink sink;
    std::unique_ptr<ProgressRecord> progress(new ProgressRecord{1, 2, 3, 4, 5});
    bool sent = false;
    // From another thread, as transfers send; the receiver answers 0 like most do.
    std::thread sender([&] { sent = SendRecord(sink.Hwnd(), kProgressMessage, progress, 9); });
    sink.PumpUntil([&] { return !sink.progress.empty(); }, 5000);
    sender.join();
    EXPECT_TRUE(sent);
    EXPECT_FALSE(progress);
    ASSERT_EQ(1u, sink.progress.size());
    EXPECT_EQ(9, sink.progress[0].taskId);
    EXPECT_EQ(2u, sink.progress[0].record.downloadNow);

    auto completion = std::make_unique<CompletionRecord>();
    completion->taskId = 4;
    EXPECT_TRUE(PostRecord(sink.Hwnd(), kDoneMessage, completion, kResultReady));
    EXPECT_FALSE(completion);
    ASSERT_TRUE(sink.WaitForCompletions(1, 5000));
    EXPECT_EQ(4, sink.completions[0].record->taskId);
}

namespace {

// A queue of its own per test, abandoned when a test fails: a task that never
// finishes would hold its destructor for ever, and the run with it.
class RequestQueueFailureTest : public ::testing::Test {
protected:
    void SetUp() override { ClearFaults(); }
    ~RequestQueueFailureTest() override {
        if (HasFailure()) (void)queue.release();
    }
    int Ping() { return queue->EnqueueRequest(BaseUrl() + "/helper/ping", {}, sink.Hwnd(), kDoneMessage); }
    const CompletionRecord* Completion(int taskId) const {
        for (const CompletionSeen& c : sink.completions)
            if (c.record->taskId == taskId) return c.record.get();
        return nullptr;
    }
    // The request that met the fault fails alone; the next one is served.
    void ExpectFailedAndThenServed(int failed) {
        ASSERT_TRUE(sink.PumpUntil([&] { return Completion(failed); }, 10000));
        EXPECT_EQ(http::ErrorCode::UnknownError, Completion(failed)->response.error.code);
        EXPECT_EQ(0, Completion(failed)->response.status_code);
        int next = Ping();
        ASSERT_TRUE(sink.PumpUntil([&] { return Completion(next); }, 10000));
        EXPECT_EQ(200, Completion(next)->response.status_code) << "the queue goes on";
        for (const CompletionSeen& c : sink.completions) EXPECT_EQ(kResultReady, c.lParam);
    }

    std::unique_ptr<RequestQueue> queue = std::make_unique<RequestQueue>();
    MessageSink sink;
};

}  // namespace

TEST_F(RequestQueueFailureTest, TransferThatThrowsStillCompletes) {
    queue->InjectFault(RequestQueue::InjectedFault::TransferThrows);
    ExpectFailedAndThenServed(Ping());
}

TEST_F(RequestQueueFailureTest, ThreadsThatCannotStartFailOnlyTheirRequest) {
    queue->InjectFault(RequestQueue::InjectedFault::NoThread);  // the first thread is the worker
    ExpectFailedAndThenServed(Ping());
    queue->InjectFault(RequestQueue::InjectedFault::NoThread);  // now a transfer's
    ExpectFailedAndThenServed(Ping());
    EXPECT_EQ(4u, sink.completions.size());
}

TEST_F(RequestQueueFailureTest, ADownloadThatThrowsLeavesNoTarget) {
    TempFolder folder;
    queue->InjectFault(RequestQueue::InjectedFault::TransferThrows);
    queue->EnqueueRequest(BaseUrl() + "/files/pattern-256k.bin", {}, sink.Hwnd(), kDoneMessage, kProgressMessage,
                          folder.Utf8(L"thrown.bin"));
    ASSERT_TRUE(sink.WaitForCompletions(1, 10000));
    EXPECT_EQ(http::ErrorCode::UnknownError, sink.completions[0].record->response.error.code);
    EXPECT_FALSE(FileExists(folder.Path() + L"\\thrown.bin"));
}

namespace {

// A listener whose queue is full: a connection to it is neither accepted nor
// refused, like a host that has gone quiet.
class FullListener {
public:
    FullListener() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 0);
        int length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        for (SOCKET& filler : fillers_) {
            filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ioctlsocket(filler, FIONBIO, &nonBlocking);
            connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        Sleep(200);  // let the fillers take the queue
    }
    ~FullListener() {
        for (SOCKET filler : fillers_) closesocket(filler);
        closesocket(listener_);
        WSACleanup();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/helper/ping"; }

private:
    SOCKET listener_;
    SOCKET fillers_[3];
    int port_ = 0;
};

// Limits of a second or so, so that a stall shows within a test's time.
class RequestQueueTimeoutTest : public RequestQueueTest {
protected:
    void SetUp() override {
        RequestQueueTest::SetUp();
        queue.SetLimits({1000, 1});
    }
    const http::Response& Answer() const { return sink.completions.at(0).record->response; }
};

}  // namespace

TEST_F(RequestQueueTimeoutTest, DownloadThatStallsEndsWithTimeoutAndNoTarget) {
    Json::Value fault;
    fault["path"] = "/files/pattern-8m.bin";
    fault["body"] = "stall";
    SetFault(fault);
    TempFolder folder;
    queue.EnqueueRequest(BaseUrl() + "/files/pattern-8m.bin", {}, sink.Hwnd(), kDoneMessage, kProgressMessage,
                         folder.Utf8(L"stalled.bin"));
    ASSERT_TRUE(sink.WaitForCompletions(1, 20000)) << "a stalled service must not hold the window for ever";
    EXPECT_EQ(http::ErrorCode::OperationTimedOut, Answer().error.code) << Answer().error.message;
    EXPECT_FALSE(FileExists(folder.Path() + L"\\stalled.bin"));
}

TEST_F(RequestQueueTimeoutTest, AnswerThatNeverComesEndsWithTimeout) {
    Json::Value fault;
    fault["path"] = "/helper/config";
    fault["delay_ms"] = 15000;
    SetFault(fault);
    queue.EnqueueRequest(BaseUrl() + "/helper/config", {}, sink.Hwnd(), kDoneMessage);
    ASSERT_TRUE(sink.WaitForCompletions(1, 12000));
    EXPECT_EQ(http::ErrorCode::OperationTimedOut, Answer().error.code) << Answer().error.message;
}

TEST_F(RequestQueueTimeoutTest, HostThatNeverAcceptsEndsWithTimeout) {
    FullListener quiet;
    queue.EnqueueRequest(quiet.Url(), {}, sink.Hwnd(), kDoneMessage);
    ASSERT_TRUE(sink.WaitForCompletions(1, 12000));
    EXPECT_EQ(0, Answer().status_code);
    EXPECT_EQ(http::ErrorCode::OperationTimedOut, Answer().error.code) << Answer().error.message;
}

TEST_F(RequestQueueTimeoutTest, TheCapHoldsAnswersInMemoryNotDownloadsToAFile) {
    queue.SetLimits({30000, 60, 1024, 1 << 20});
    TempFolder folder;
    queue.EnqueueRequest(BaseUrl() + "/files/pattern-8m.bin", {}, sink.Hwnd(), kDoneMessage, kNoMessage,
                         folder.Utf8(L"large.bin"));
    ASSERT_TRUE(sink.WaitForCompletions(1, 30000));
    EXPECT_FALSE(Answer().error) << Answer().error.message;
    EXPECT_TRUE(FileExists(folder.Path() + L"\\large.bin"));

    queue.EnqueueRequest(BaseUrl() + "/files/pattern-8m.bin", {}, sink.Hwnd(), kDoneMessage);
    ASSERT_TRUE(sink.WaitForCompletions(2, 30000));
    const http::Response& held = sink.completions.at(1).record->response;
    EXPECT_EQ(http::ErrorCode::NetworkReceiveError, held.error.code) << held.error.message;
    EXPECT_LE(held.text.size(), 1u << 20);
}

TEST_F(RequestQueueTimeoutTest, SlowButSteadyDownloadTakesAsLongAsItNeeds) {
    Json::Value fault;
    fault["path"] = "/files/pattern-8m.bin";
    fault["rate"] = 3 << 20;  // about three seconds, three times the stall limit
    SetFault(fault);
    TempFolder folder;
    queue.EnqueueRequest(BaseUrl() + "/files/pattern-8m.bin", {}, sink.Hwnd(), kDoneMessage, kProgressMessage,
                         folder.Utf8(L"steady.bin"));
    ASSERT_TRUE(sink.WaitForCompletions(1, 30000));
    EXPECT_EQ(200, Answer().status_code);
    EXPECT_FALSE(Answer().error) << Answer().error.message;
    EXPECT_TRUE(FileExists(folder.Path() + L"\\steady.bin"));
}
