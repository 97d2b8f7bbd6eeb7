#include "net/RequestQueue.h"

#include "net/http/Session.h"
#include "platform/File.h"
#include "platform/Text.h"

namespace {

// curl's default 16 KiB buffer caps a Wine download at a few tens of MB/s.
constexpr long kDownloadBufferSize = 1024 * 1024;
constexpr DWORD kProgressInterval = 300;

std::wstring CachePath(const std::string& filePath) { return Utf8ToWide(filePath + ".cache"); }

// Opens a fresh ".cache" for the target; a stale one that cannot be removed
// means another process holds it, and the download must not mix with it.
UniqueHandle OpenCacheFile(const std::string& filePath) {
    std::wstring cache = CachePath(filePath);
    if (GetFileAttributesW(cache.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileW(cache.c_str())) return {};
    return UniqueHandle(CreateFileW(cache.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

RequestQueue& RequestQueue::Instance() {
    // Never destroyed: requests still running at exit are abandoned, not awaited.
    static RequestQueue* queue = new RequestQueue;
    return *queue;
}

RequestQueue::~RequestQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (RequestTask& task : tasks_) task.cancelled = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

int RequestQueue::EnqueueRequest(http::Url url, http::Parameters parameters, HWND window, UINT doneMessage,
                                 UINT progressMessage, std::string filePath) {
    RequestTask task;
    task.kind = !filePath.empty()            ? RequestKind::Download
                : doneMessage == kNoMessage ? RequestKind::Get
                                            : RequestKind::GetWithReply;
    task.url = std::move(url);
    task.parameters = std::move(parameters);
    task.window = window;
    task.doneMessage = doneMessage;
    task.progressMessage = progressMessage;
    task.filePath = std::move(filePath);
    return Append(std::move(task));
}

int RequestQueue::EnqueueMultipartUpload(http::Url url, http::Parameters parameters, http::Multipart multipart,
                                         HWND window, UINT doneMessage, UINT progressMessage) {
    RequestTask task;
    task.kind = RequestKind::MultipartUpload;
    task.url = std::move(url);
    task.parameters = std::move(parameters);
    task.multipart = std::move(multipart);
    task.window = window;
    task.doneMessage = doneMessage;
    task.progressMessage = progressMessage;
    return Append(std::move(task));
}

void RequestQueue::CancelRequest(int taskId) {
    std::lock_guard lock(mutex_);
    for (RequestTask& task : tasks_) {
        if (task.taskId != taskId) continue;
        task.transferState = kTransferCancelled;
        task.cancelled = true;
        return;
    }
}

int RequestQueue::Append(RequestTask task) {
    task.startTick = task.lastProgressTick = GetTickCount();
    int id;
    {
        std::lock_guard lock(mutex_);
        id = task.taskId = nextTaskId_++;
        tasks_.push_back(std::move(task));
        if (!worker_.joinable()) worker_ = std::thread(&RequestQueue::WorkerLoop, this);
    }
    wake_.notify_one();
    return id;
}

bool RequestQueue::HasWork() const {
    bool running = false;
    for (const RequestTask& task : tasks_) {
        if (task.state == kRunning && task.done) return true;
        if (task.state == kPending && !stopping_) return true;
        running |= task.state == kRunning;
    }
    return stopping_ && !running;
}

// Sleeps until a task is enqueued or a transfer finishes: no polling, and a new
// request starts as soon as it is queued.
void RequestQueue::WorkerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return HasWork(); });
        std::vector<RequestTask*> toStart, toDeliver;
        bool running = false;
        for (RequestTask& task : tasks_) {
            if (task.state == kPending && !stopping_) {
                task.state = kRunning;
                toStart.push_back(&task);
            } else if (task.state == kRunning && task.done) {
                task.state = kFinished;
                task.transferState = kResultReady;
                toDeliver.push_back(&task);
            } else if (task.state == kRunning) {
                running = true;
            }
        }
        if (stopping_ && toDeliver.empty() && !running) return;
        lock.unlock();

        for (RequestTask* task : toStart) {
            task->result = http::LaunchAsync([this, task] {
                http::Response response = Perform(*task);
                {
                    std::lock_guard done(mutex_);
                    task->done = true;
                }
                wake_.notify_one();
                return response;
            });
        }
        for (RequestTask* task : toDeliver) Deliver(*task);

        lock.lock();
        for (RequestTask* task : toDeliver) task->state = kDelivered;
        tasks_.remove_if([](const RequestTask& task) { return task.state == kDelivered; });
    }
}

http::Response RequestQueue::Perform(RequestTask& task) {
    http::Session session;
    session.SetUrl(task.url);
    session.SetParameters(task.parameters);
    if (task.kind == RequestKind::Download || task.kind == RequestKind::MultipartUpload) {
        session.SetProgressCallback([this, &task](auto dlTotal, auto dlNow, auto ulTotal, auto ulNow) {
            return OnProgress(task, dlTotal, dlNow, ulTotal, ulNow);
        });
    }
    if (task.kind == RequestKind::Download) {
        session.SetBufferSize(kDownloadBufferSize);
        session.SetWriteCallback([this, &task](std::string_view chunk) { return OnWrite(task, chunk); });
    }
    if (task.kind == RequestKind::MultipartUpload) {
        session.SetMultipart(task.multipart);
        return session.Post();
    }
    return session.Get();
}

bool RequestQueue::OnProgress(RequestTask& task, std::uint64_t dlTotal, std::uint64_t dlNow, std::uint64_t ulTotal,
                              std::uint64_t ulNow) {
    if (GetTickCount() - task.lastProgressTick > kProgressInterval && task.progressMessage != kNoMessage &&
        IsWindow(task.window)) {
        auto* record = new ProgressRecord{dlTotal, dlNow, ulTotal, ulNow, task.startTick};
        SendMessageW(task.window, task.progressMessage, reinterpret_cast<WPARAM>(record), task.taskId);
        // Measured after the receiver is done, so it never sees two closer than the interval.
        task.lastProgressTick = GetTickCount();
    }
    std::lock_guard lock(mutex_);
    return !task.cancelled;
}

bool RequestQueue::OnWrite(RequestTask& task, std::string_view chunk) {
    if (!task.file) task.file = OpenCacheFile(task.filePath);
    if (task.file && WriteAll(task.file.Get(), chunk)) return true;
    std::lock_guard lock(mutex_);
    task.transferState = kTransferWriteFailed;
    return false;
}

void RequestQueue::Deliver(RequestTask& task) {
    if (task.kind == RequestKind::Get) return;
    auto record = std::make_unique<CompletionRecord>();
    try {
        record->response = task.result.get();
    } catch (const std::exception& e) {  // the transfer thread could not be started
        record->response.error = {http::ErrorCode::UnknownError, e.what()};
    }
    record->filePath = task.filePath;
    record->taskId = task.taskId;

    if (task.kind == RequestKind::Download) {
        http::Response& r = record->response;
        bool complete = r.status_code == 200 && !r.error;
        // An empty body never opened the cache file; the target is still due.
        if (complete && !task.file) task.file = OpenCacheFile(task.filePath);
        task.file.Reset();
        if (complete && !MoveFileExW(CachePath(task.filePath).c_str(), Utf8ToWide(task.filePath).c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
            r.error = {http::ErrorCode::InternalError,
                       "cannot move the download into place (error " + std::to_string(GetLastError()) + ")"};
        }
    }
    if (task.window && PostMessageW(task.window, task.doneMessage, reinterpret_cast<WPARAM>(record.get()), kResultReady))
        record.release();
}
