// Downloads through the queue: the ".cache" file, the final rename, progress
// and what is left on disk after every kind of ending.
#include <gtest/gtest.h>

#include "net/RequestQueue.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "service/Pattern.h"
#include "tests/support/MessageSink.h"
#include "tests/support/TestService.h"

using namespace test;

namespace {

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearFaults();
        ClearRequestLog();
    }
    int Download(const std::string& file, const std::wstring& name, MessageSink& to) {
        return queue.EnqueueRequest(BaseUrl() + "/files/" + file, {}, to.Hwnd(), kDoneMessage, kProgressMessage,
                                    folder.Utf8(name));
    }
    int Download(const std::string& file, const std::wstring& name) { return Download(file, name, sink); }
    std::wstring PathOf(const std::wstring& name) const { return folder.Path() + L"\\" + name; }
    const http::Response& Answer(size_t i = 0) { return sink.completions.at(i).record->response; }

    test::TempFolder folder;
    RequestQueue queue;
    MessageSink sink;
};

bool IsPattern(const std::string& data, size_t expectedSize) {
    if (data.size() != expectedSize) return false;
    for (size_t i = 0; i < data.size(); ++i)
        if ((unsigned char)data[i] != PatternByte(i)) return false;
    return true;
}

void SlowDown(const std::string& file, int bytesPerSecond) {
    Json::Value fault;
    fault["path"] = "/files/" + file;
    fault["rate"] = bytesPerSecond;
    SetFault(fault);
}

}  // namespace

TEST_F(DownloadTest, CompleteDownloadLandsInTheTargetAndLeavesNoCache) {
    int id = Download("pattern-8m.bin", L"out.bin");
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(id, sink.completions[0].record->taskId);
    EXPECT_EQ(200, Answer().status_code);
    EXPECT_FALSE(Answer().error) << Answer().error.message;
    EXPECT_TRUE(Answer().text.empty()) << "the body goes to the file, not into memory";
    EXPECT_EQ(folder.Utf8(L"out.bin"), sink.completions[0].record->filePath);
    EXPECT_TRUE(IsPattern(ReadFile(PathOf(L"out.bin")), 8 << 20));
    EXPECT_FALSE(FileExists(PathOf(L"out.bin.cache")));
}

TEST_F(DownloadTest, ProgressIsThrottledAndCarriesTheTaskId) {
    SlowDown("pattern-8m.bin", 4 << 20);  // about two seconds
    int id = Download("pattern-8m.bin", L"slow.bin");
    ASSERT_TRUE(sink.WaitForCompletions(1));
    ASSERT_EQ(200, Answer().status_code);
    ASSERT_GE(sink.progress.size(), 3u);
    for (size_t i = 0; i < sink.progress.size(); ++i) {
        const ProgressSeen& p = sink.progress[i];
        EXPECT_EQ(id, p.taskId);
        EXPECT_LE(p.record.downloadNow, p.record.downloadTotal);
        if (i > 0) {
            EXPECT_GE(p.tick - sink.progress[i - 1].tick, 300u) << "message " << i;
            EXPECT_GE(p.record.downloadNow, sink.progress[i - 1].record.downloadNow);
            EXPECT_EQ(p.record.startTick, sink.progress[0].record.startTick);
        }
    }
    EXPECT_EQ(8u << 20, sink.progress.back().record.downloadTotal);
}

TEST_F(DownloadTest, TwoDownloadsAtOnceEachSeeOnlyTheirOwnMessages) {
    SlowDown("pattern-8m.bin", 6 << 20);
    MessageSink other;
    int a = Download("pattern-8m.bin", L"a.bin", sink);
    int b = Download("pattern-256k.bin", L"b.bin", other);
    ASSERT_TRUE(sink.PumpUntil([&] { return sink.completions.size() == 1 && other.completions.size() == 1; }));
    EXPECT_EQ(a, sink.completions[0].record->taskId);
    EXPECT_EQ(b, other.completions[0].record->taskId);
    for (const ProgressSeen& p : sink.progress) EXPECT_EQ(a, p.taskId);
    for (const ProgressSeen& p : other.progress) EXPECT_EQ(b, p.taskId);
    EXPECT_FALSE(sink.progress.empty());
    EXPECT_TRUE(IsPattern(ReadFile(PathOf(L"a.bin")), 8 << 20));
    EXPECT_TRUE(IsPattern(ReadFile(PathOf(L"b.bin")), 256 << 10));
}

TEST_F(DownloadTest, NotFoundLeavesTheBodyInTheCacheAndNoTarget) {
    Download("no-such-file.bin", L"missing.bin");
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(404, Answer().status_code);
    EXPECT_FALSE(Answer().error);
    EXPECT_FALSE(FileExists(PathOf(L"missing.bin")));
    std::string cached = ReadFile(PathOf(L"missing.bin.cache"));
    EXPECT_FALSE(cached.empty());
    EXPECT_EQ(Answer().downloaded_bytes, cached.size());
}

TEST_F(DownloadTest, ExistingTargetIsReplaced) {
    WriteFile(PathOf(L"old.bin"), "an older copy");
    Download("pattern-256k.bin", L"old.bin");
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_FALSE(Answer().error) << Answer().error.message;
    EXPECT_TRUE(IsPattern(ReadFile(PathOf(L"old.bin")), 256 << 10));
}

TEST_F(DownloadTest, RenameThatFailsIsReportedAsAFailure) {
    CreateDirectoryW(PathOf(L"taken.bin").c_str(), nullptr);  // a folder cannot be replaced by a file
    Download("pattern-256k.bin", L"taken.bin");
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(200, Answer().status_code);
    EXPECT_TRUE(Answer().error) << "a download that is not in place must not read as success";
    RemoveDirectoryW(PathOf(L"taken.bin").c_str());
}

TEST_F(DownloadTest, StaleCacheFromAnEarlierAttemptIsDiscarded) {
    WriteFile(PathOf(L"retry.bin.cache"), std::string(1 << 20, 'x'));
    Download("no-such-file.bin", L"retry.bin");
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(Answer().downloaded_bytes, ReadFile(PathOf(L"retry.bin.cache")).size());

    Download("pattern-256k.bin", L"retry.bin");
    ASSERT_TRUE(sink.WaitForCompletions(2));
    EXPECT_TRUE(IsPattern(ReadFile(PathOf(L"retry.bin")), 256 << 10));
    EXPECT_FALSE(FileExists(PathOf(L"retry.bin.cache")));
}

// A ".cache" that cannot be written is this machine's failure, worded like
// one: "cancelled" would be passed over by the failure notice.
TEST_F(DownloadTest, CacheHeldByAnotherProcessFailsTheDownload) {
    std::wstring cache = PathOf(L"held.bin.cache");
    WriteFile(cache, "someone else's");
    HANDLE held = CreateFileW(cache.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Download("pattern-256k.bin", L"held.bin");
    ASSERT_TRUE(sink.WaitForCompletions(1));
    CloseHandle(held);
    EXPECT_EQ(http::ErrorCode::InternalError, Answer().error.code) << Answer().error.message;
    EXPECT_FALSE(FileExists(PathOf(L"held.bin")));
    EXPECT_EQ("someone else's", ReadFile(cache));
}

TEST_F(DownloadTest, FullDiskFailsTheDownloadAndLeavesNoTarget) {
    // Its ".cache" is a link to /dev/full (made by tests/net/CMakeLists.txt).
    const std::wstring target = FolderOf() + L"\\full-disk\\download.bin";
    queue.EnqueueRequest(BaseUrl() + "/files/pattern-256k.bin", {}, sink.Hwnd(), kDoneMessage, kProgressMessage,
                         WideToUtf8(target));
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(200, Answer().status_code);
    EXPECT_EQ(http::ErrorCode::InternalError, Answer().error.code) << Answer().error.message;
    EXPECT_NE(std::string::npos, Answer().error.message.find("error 112")) << "ERROR_DISK_FULL: " << Answer().error.message;
    EXPECT_FALSE(FileExists(target));
}

TEST_F(DownloadTest, EmptyFileStillArrives) {
    Download("empty.bin", L"empty.bin");
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_FALSE(Answer().error) << Answer().error.message;
    EXPECT_TRUE(FileExists(PathOf(L"empty.bin")));
    EXPECT_TRUE(ReadFile(PathOf(L"empty.bin")).empty());
}

TEST_F(DownloadTest, DroppedConnectionEndsWithTheTransportCodeAndNoTarget) {
    Json::Value fault;
    fault["path"] = "/files/pattern-256k.bin";
    fault["body"] = "drop";
    SetFault(fault);
    Download("pattern-256k.bin", L"dropped.bin");
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(http::ErrorCode::NetworkReceiveError, Answer().error.code);
    EXPECT_FALSE(FileExists(PathOf(L"dropped.bin")));
}

TEST_F(DownloadTest, ChineseFileNameSurvivesTheCodePage) {
    if (const char* acp = getenv("VANTORO_EXPECT_ACP")) {
        ASSERT_EQ((UINT)atoi(acp), GetACP());
    }
    std::wstring name = L"修复工具 测试+1.bin";
    Download("pattern-256k.bin", name);
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_FALSE(Answer().error) << Answer().error.message;
    EXPECT_EQ(folder.Utf8(name), sink.completions[0].record->filePath);
    EXPECT_TRUE(IsPattern(ReadFile(PathOf(name)), 256 << 10));
}

// What a download must be before it takes its name: anything else is deleted,
// the completion says rejected, and neither the target nor the ".cache" stays.
TEST_F(DownloadTest, OnlyBytesThatPassTheirCheckAreKept) {
    const std::string kEmptySha256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    struct Case {
        const char* path;
        const wchar_t* name;
        DownloadCheck check;
        bool kept;
    };
    const Case cases[] = {
        {"/files/empty.bin", L"empty-digest.bin", {0, kEmptySha256}, true},
        {"/files/pattern-256k.bin", L"wrong-digest.bin", {256 << 10, kEmptySha256}, false},
        {"/files/pattern-256k.bin", L"wrong-size.bin", {256 << 10 | 1, ""}, false},
        {"/files/pattern-256k.bin", L"program.exe", {}, true},  // the pattern starts as a PE image
        {"/files/pattern-256k.bin", L"installer.msi", {}, false},
        {"/hostile/portal/setup.exe", L"setup.exe", {}, false},
        {"/files/empty.bin", L"empty.exe", {}, false},
    };
    size_t done = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.name));
        queue.EnqueueRequest(BaseUrl() + c.path, {}, sink.Hwnd(), kDoneMessage, kProgressMessage, folder.Utf8(c.name),
                             c.check);
        ASSERT_TRUE(sink.WaitForCompletions(++done));
        const CompletionRecord& record = *sink.completions.back().record;
        EXPECT_EQ(200, record.response.status_code);
        EXPECT_EQ(!c.kept, record.rejected);
        EXPECT_EQ(c.kept, !record.response.error) << record.response.error.message;
        EXPECT_EQ(c.kept, FileExists(PathOf(c.name)));
        EXPECT_FALSE(FileExists(PathOf(c.name) + L".cache"));
    }
}

// Nobody else may change the bytes between the last write and the rename.
TEST_F(DownloadTest, CacheCannotBeWrittenByOthersWhileItDownloads) {
    SlowDown("pattern-8m.bin", 2 << 20);
    int id = Download("pattern-8m.bin", L"guarded.bin");
    ASSERT_TRUE(sink.PumpUntil([&] { return !sink.progress.empty() && FileExists(PathOf(L"guarded.bin.cache")); }));
    HANDLE other = CreateFileW(PathOf(L"guarded.bin.cache").c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD error = GetLastError();
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    queue.CancelRequest(id);
    ASSERT_TRUE(sink.WaitForCompletions(1));
    EXPECT_EQ(INVALID_HANDLE_VALUE, other);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), error);
}
