// The process-wide asynchronous request queue. A window enqueues a request and
// returns at once; the answer arrives later as window messages:
//   progressMessage: SendMessageW(window, msg, ProgressRecord*, taskId), at most
//                    one per 300 ms, from the transfer's own thread;
//   doneMessage:     PostMessageW(window, msg, CompletionRecord*, 4), once per
//                    request; every failure arrives this way, nothing is thrown.
// A record that arrives belongs to the receiver, which frees it (TakeRecord).
// A record that does not (no completion message asked for, the window gone or
// never given) is freed by the queue: see SendRecord and PostRecord.
// A download streams into target + ".cache", opened without write or delete
// sharing, and becomes the target only after a complete answer with status 200
// whose bytes pass its DownloadCheck (size, SHA-256, the header its name
// promises): the very file written is renamed through its own handle, so
// nothing can be swapped in between. Bytes that fail the check are deleted and
// the completion says rejected (with InternalError). A ".cache" that cannot be
// created or written ends it with InternalError; one it wrote in part is
// removed, and so is the partial ".cache" of a cancelled download.
// A request that cannot connect within 30 s, or moves less than 1 KiB/s for
// 60 s, ends with OperationTimedOut; one that keeps moving may take any time.
// An answer held in memory (anything but a download) larger than 8 MiB ends
// with NetworkReceiveError: a 32-bit process, and the window parses it whole
// (the largest catalogue answer, 50 000 rows, is 6.7 MB).
#pragma once
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/DownloadCheck.h"
#include "net/http/Multipart.h"
#include "net/http/Parameters.h"
#include "net/http/Response.h"
#include "platform/UniqueHandle.h"

constexpr UINT kNoMessage = UINT(-1);

enum class RequestKind { Get, GetWithReply, Download, MultipartUpload };

enum TaskState { kPending = 0, kRunning = 1, kFinished = 2, kDelivered = 3 };

// Values of RequestTask::transferState; kResultReady travels as the completion's lParam.
enum TransferState { kTransferNormal = 0, kTransferWriteFailed = 1, kTransferCancelled = 3, kResultReady = 4 };

struct ProgressRecord {
    std::uint64_t downloadTotal;
    std::uint64_t downloadNow;
    std::uint64_t uploadTotal;
    std::uint64_t uploadNow;
    DWORD startTick;  // when the task was created
};

struct CompletionRecord {
    http::Response response;
    std::string filePath;  // UTF-8; empty unless a download
    int taskId;
    bool rejected = false;  // the download failed its DownloadCheck: deleted, nothing saved
};

// Takes ownership of a record that arrived in a message's wParam.
template <class Record>
std::unique_ptr<Record> TakeRecord(WPARAM wParam) {
    return std::unique_ptr<Record>(reinterpret_cast<Record*>(wParam));
}

// Hand a record to a window from another thread. True when the message was
// delivered and the record is the receiver's; false leaves it with the caller.
// Receivers keep their habit of freeing what they get, so a failed send is told
// by SendMessageW's own report: the window is gone, or went while the message
// waited (access denied, which is also how a blocked message is reported).
template <class Record>
bool SendRecord(HWND window, UINT msg, std::unique_ptr<Record>& record, LPARAM lParam) {
    SetLastError(ERROR_SUCCESS);
    LRESULT result = SendMessageW(window, msg, reinterpret_cast<WPARAM>(record.get()), lParam);
    DWORD error = result == 0 ? GetLastError() : ERROR_SUCCESS;
    if (error == ERROR_INVALID_WINDOW_HANDLE || error == ERROR_ACCESS_DENIED) return false;
    record.release();
    return true;
}
template <class Record>
bool PostRecord(HWND window, UINT msg, std::unique_ptr<Record>& record, LPARAM lParam) {
    // A null window would post to the calling thread, which has no message loop.
    if (!window || !PostMessageW(window, msg, reinterpret_cast<WPARAM>(record.get()), lParam)) return false;
    record.release();
    return true;
}

// How long a transfer may wait before it ends with OperationTimedOut, and how
// much of an answer is held in memory.
struct TransferLimits {
    long connectMs = 30000;           // to open the connection
    long stallSeconds = 60;           // below the floor rate
    long floorBytesPerSecond = 1024;  // received or sent
    std::uint64_t maxAnswerBytes = 8 << 20;
};

struct RequestTask {
    http::Url url;
    http::Parameters parameters;
    std::shared_future<http::Response> result;
    std::string filePath;  // UTF-8 download target
    int state = kPending;
    RequestKind kind = RequestKind::Get;
    HWND window = nullptr;
    UINT doneMessage = kNoMessage;
    UINT progressMessage = kNoMessage;
    UniqueHandle file;  // the open ".cache" file during a download
    http::Multipart multipart;
    bool cancelled = false;
    int taskId = 0;
    int transferState = kTransferNormal;
    DWORD lastProgressTick = 0;
    DWORD startTick = 0;
    bool done = false;  // the transfer thread has finished; the worker may deliver
    DWORD writeError = 0;  // why the ".cache" could not be written; transfer thread only
    DownloadCheck check;
    std::unique_ptr<DownloadVerifier> verifier;  // made by the transfer thread
    bool rejected = false;
};

class RequestQueue {
public:
    static RequestQueue& Instance();

    RequestQueue() = default;
    // Cancels what can be cancelled and waits for running transfers.
    ~RequestQueue();
    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    // Download when filePath is set, kept only when it passes check; fire-and-forget
    // when doneMessage is kNoMessage. Returns the task id (the task itself may be
    // gone by the time the caller looks).
    int EnqueueRequest(http::Url url, http::Parameters parameters, HWND window, UINT doneMessage,
                       UINT progressMessage = kNoMessage, std::string filePath = {}, DownloadCheck check = {});
    int EnqueueMultipartUpload(http::Url url, http::Parameters parameters, http::Multipart multipart, HWND window,
                               UINT doneMessage, UINT progressMessage = kNoMessage);
    // Takes effect at the transfer's next progress callback; unknown ids are ignored.
    void CancelRequest(int taskId);
    // For requests started afterwards.
    void SetLimits(const TransferLimits& limits);

    // Test seam: the next transfer throws while it builds its request, or the
    // next thread the queue starts (the worker, else a transfer's) cannot be created.
    enum class InjectedFault { None, TransferThrows, NoThread };
    void InjectFault(InjectedFault fault) { injected_ = fault; }

private:
    int Append(RequestTask task);
    void Fail(const RequestTask& task, const char* why);
    void WorkerLoop();
    bool HasWork() const;
    std::list<RequestTask>::iterator Find(bool (*matches)(const RequestTask&));
    bool Start(RequestTask& task);
    http::Response Transfer(RequestTask& task);
    http::Response Perform(RequestTask& task);
    void ThrowIfInjected(InjectedFault fault);
    bool OnProgress(RequestTask& task, std::uint64_t dlTotal, std::uint64_t dlNow, std::uint64_t ulTotal,
                    std::uint64_t ulNow);
    bool OnWrite(RequestTask& task, std::string_view chunk);
    void Deliver(RequestTask& task);
    void Settle(RequestTask& task, http::Response& response);
    bool IsCancelled(const RequestTask& task);
    void Complete(const RequestTask& task, http::Response response);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::list<RequestTask> tasks_;  // a list, so a task never moves while a transfer uses it
    int nextTaskId_ = 0;
    bool stopping_ = false;
    TransferLimits limits_;
    std::atomic<InjectedFault> injected_{InjectedFault::None};
    std::thread worker_;
};
