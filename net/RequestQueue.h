// The process-wide asynchronous request queue. A window enqueues a request and
// returns at once; the answer arrives later as window messages:
//   progressMessage: SendMessageW(window, msg, ProgressRecord*, taskId), at most
//                    one per 300 ms, from the transfer's own thread;
//   doneMessage:     PostMessageW(window, msg, CompletionRecord*, 4).
// Both records belong to the receiver, which frees them (TakeRecord).
// A download streams into target + ".cache", renamed to the target only after
// a complete answer with status 200.
#pragma once
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

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
};

// Takes ownership of a record that arrived in a message's wParam.
template <class Record>
std::unique_ptr<Record> TakeRecord(WPARAM wParam) {
    return std::unique_ptr<Record>(reinterpret_cast<Record*>(wParam));
}

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
};

class RequestQueue {
public:
    static RequestQueue& Instance();

    RequestQueue() = default;
    // Cancels what can be cancelled and waits for running transfers.
    ~RequestQueue();
    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    // Download when filePath is set; fire-and-forget when doneMessage is kNoMessage.
    // Returns the task id (the task itself may be gone by the time the caller looks).
    int EnqueueRequest(http::Url url, http::Parameters parameters, HWND window, UINT doneMessage,
                       UINT progressMessage = kNoMessage, std::string filePath = {});
    int EnqueueMultipartUpload(http::Url url, http::Parameters parameters, http::Multipart multipart, HWND window,
                               UINT doneMessage, UINT progressMessage = kNoMessage);
    // Takes effect at the transfer's next progress callback; unknown ids are ignored.
    void CancelRequest(int taskId);

private:
    int Append(RequestTask task);
    void WorkerLoop();
    bool HasWork() const;
    http::Response Perform(RequestTask& task);
    bool OnProgress(RequestTask& task, std::uint64_t dlTotal, std::uint64_t dlNow, std::uint64_t ulTotal,
                    std::uint64_t ulNow);
    bool OnWrite(RequestTask& task, std::string_view chunk);
    void Deliver(RequestTask& task);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::list<RequestTask> tasks_;  // a list, so a task never moves while a transfer uses it
    int nextTaskId_ = 0;
    bool stopping_ = false;
    std::thread worker_;
};
