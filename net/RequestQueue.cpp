#include "net/RequestQueue.h"

#include <cstring>
#include <new>
#include <system_error>
#include <vector>

#include "net/http/Session.h"
#include "platform/File.h"
#include "platform/StartupTrace.h"
#include "platform/Text.h"

namespace {

// curl's default 16 KiB buffer caps a Wine download at a few tens of MB/s.
constexpr long kDownloadBufferSize = 1024 * 1024;
constexpr DWORD kProgressInterval = 300;

std::wstring CachePath(const std::string& filePath) { return Utf8ToWide(filePath + ".cache"); }

// Opens a fresh ".cache" for the target; a stale one that cannot be removed
// means another process holds it, and the download must not mix with it.
// Nobody else may write, delete or rename it while it is ours; DELETE access
// lets it be renamed or removed through this very handle.
UniqueHandle OpenCacheFile(const std::string& filePath) {
    std::wstring cache = CachePath(filePath);
    if (GetFileAttributesW(cache.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileW(cache.c_str())) return {};
    return UniqueHandle(CreateFileW(cache.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Removes the open file itself, whatever its name is by now.
void DeleteThroughHandle(UniqueHandle& file) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition);
    file.Reset();
}

// Gives the open file the target's name, replacing what is there.
bool RenameThroughHandle(HANDLE file, const std::wstring& target) {
    const size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes + sizeof(wchar_t), 0);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, target.c_str(), nameBytes);
    return SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
}

std::wstring FileNameOfUtf8(const std::string& filePath) {
    std::wstring path = Utf8ToWide(filePath);
    return path.substr(path.find_last_of(L"\\/") + 1);
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
                                 UINT progressMessage, std::string filePath, DownloadCheck check) {
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
    task.check = std::move(check);
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

void RequestQueue::SetLimits(const TransferLimits& limits) {
    std::lock_guard lock(mutex_);
    limits_ = limits;
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
    std::unique_lock lock(mutex_);
    const int id = task.taskId = nextTaskId_++;
    try {
        tasks_.push_back(std::move(task));  // leaves task whole when it throws
    } catch (const std::exception&) {
        lock.unlock();
        Fail(task, "out of memory");
        return id;
    }
    try {
        if (!worker_.joinable()) {
            ThrowIfInjected(InjectedFault::NoThread);
            worker_ = std::thread(&RequestQueue::WorkerLoop, this);
        }
    } catch (const std::exception& e) {
        // Without a worker nobody would ever look at the task.
        RequestTask stranded = std::move(tasks_.back());
        tasks_.pop_back();
        lock.unlock();
        Fail(stranded, e.what());
        return id;
    }
    lock.unlock();
    wake_.notify_one();
    return id;
}

void RequestQueue::Fail(const RequestTask& task, const char* why) {
    try {
        http::Response response;
        response.error = {http::ErrorCode::UnknownError, why};
        Complete(task, std::move(response));
    } catch (const std::exception&) {  // out of memory for the message too
    }
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

std::list<RequestTask>::iterator RequestQueue::Find(bool (*matches)(const RequestTask&)) {
    for (auto it = tasks_.begin(); it != tasks_.end(); ++it)
        if (matches(*it)) return it;
    return tasks_.end();
}

// Sleeps until a task is enqueued or a transfer finishes: no polling, and a new
// request starts as soon as it is queued. One task per pass, so the loop needs
// no memory of its own and has nothing that could throw.
void RequestQueue::WorkerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return HasWork(); });
        auto pending = stopping_ ? tasks_.end() : Find([](const RequestTask& t) { return t.state == kPending; });
        if (pending != tasks_.end()) {
            pending->state = kRunning;
            lock.unlock();
            const bool started = Start(*pending);
            lock.lock();
            if (!started) pending->done = true;
            continue;
        }
        auto finished = Find([](const RequestTask& t) { return t.state == kRunning && t.done; });
        if (finished == tasks_.end()) return;  // stopping, and nothing runs any more
        finished->state = kFinished;
        finished->transferState = kResultReady;
        lock.unlock();
        try {
            Deliver(*finished);
        } catch (const std::exception& e) {
            Fail(*finished, e.what());
        }
        lock.lock();
        tasks_.erase(finished);
    }
}

// False when no thread could take the transfer; the task's result then holds
// the failure (or nothing, and Deliver says so).
bool RequestQueue::Start(RequestTask& task) {
    try {
        ThrowIfInjected(InjectedFault::NoThread);
        task.result = http::LaunchAsync([this, &task] { return Transfer(task); });
        return true;
    } catch (const std::exception& e) {
        try {
            std::promise<http::Response> failed;
            http::Response response;
            response.error = {http::ErrorCode::UnknownError, e.what()};
            failed.set_value(std::move(response));
            task.result = failed.get_future().share();
        } catch (const std::exception&) {
        }
        return false;
    }
}

// The transfer thread's whole life: whatever happens, the task ends done, or
// the worker (and the queue's destructor) would wait for it for ever.
http::Response RequestQueue::Transfer(RequestTask& task) {
    http::Response response;
    try {
        response = Perform(task);
    } catch (const std::exception& e) {
        response = {};
        response.error = {http::ErrorCode::UnknownError, e.what()};
    } catch (...) {
        response = {};
        response.error = {http::ErrorCode::UnknownError, "unknown failure"};
    }
    {
        std::lock_guard lock(mutex_);
        task.done = true;
    }
    wake_.notify_one();
    return response;
}

void RequestQueue::ThrowIfInjected(InjectedFault fault) {
    InjectedFault expected = fault;
    if (!injected_.compare_exchange_strong(expected, InjectedFault::None)) return;
    if (fault == InjectedFault::NoThread) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    throw std::bad_alloc();
}

http::Response RequestQueue::Perform(RequestTask& task) {
    TransferLimits limits;
    {
        std::lock_guard lock(mutex_);
        limits = limits_;
    }
    http::Session session;
    session.SetUrl(task.url);
    session.SetParameters(task.parameters);
    session.SetConnectTimeout(limits.connectMs);
    session.SetStallTimeout(limits.stallSeconds, limits.floorBytesPerSecond);
    if (task.kind != RequestKind::Download) session.SetMaxBodySize(limits.maxAnswerBytes);
    if (task.kind == RequestKind::Download || task.kind == RequestKind::MultipartUpload) {
        session.SetProgressCallback([this, &task](auto dlTotal, auto dlNow, auto ulTotal, auto ulNow) {
            return OnProgress(task, dlTotal, dlNow, ulTotal, ulNow);
        });
    }
    if (task.kind == RequestKind::Download) {
        task.verifier = std::make_unique<DownloadVerifier>(task.check, FileNameOfUtf8(task.filePath));
        session.SetBufferSize(kDownloadBufferSize);
        session.SetWriteCallback([this, &task](std::string_view chunk) { return OnWrite(task, chunk); });
    }
    ThrowIfInjected(InjectedFault::TransferThrows);
    if (task.kind == RequestKind::MultipartUpload) {
        session.SetMultipart(task.multipart);
        return session.Post();
    }
    std::string path = task.url.substr(0, task.url.find('?'));
    path.erase(0, path.find('/', path.find("//") + 2));
    TraceStartup("request sent " + path);
    http::Response response = session.Get();
    TraceStartup("answer received " + path);
    // curl calls a refused write an abort; to the user it is a failure of this machine.
    if (task.writeError) {
        response.error = {http::ErrorCode::InternalError, "cannot write " + task.filePath + ".cache (error " +
                                                              std::to_string(task.writeError) + ")"};
    }
    return response;
}

bool RequestQueue::OnProgress(RequestTask& task, std::uint64_t dlTotal, std::uint64_t dlNow, std::uint64_t ulTotal,
                              std::uint64_t ulNow) {
    if (GetTickCount() - task.lastProgressTick > kProgressInterval && task.progressMessage != kNoMessage &&
        IsWindow(task.window)) {
        std::unique_ptr<ProgressRecord> record(new (std::nothrow)
                                                   ProgressRecord{dlTotal, dlNow, ulTotal, ulNow, task.startTick});
        if (record) SendRecord(task.window, task.progressMessage, record, task.taskId);
        // Measured after the receiver is done, so it never sees two closer than the interval.
        task.lastProgressTick = GetTickCount();
    }
    std::lock_guard lock(mutex_);
    return !task.cancelled;
}

bool RequestQueue::OnWrite(RequestTask& task, std::string_view chunk) {
    const bool opened = task.file || (task.file = OpenCacheFile(task.filePath));
    if (opened && WriteAll(task.file.Get(), chunk)) {
        task.verifier->Add(chunk);
        return true;
    }
    const DWORD error = GetLastError();
    task.writeError = error ? error : ERROR_WRITE_FAULT;
    // Ours, and in part: on a full disk it holds the space the user needs back.
    if (opened) DeleteThroughHandle(task.file);
    std::lock_guard lock(mutex_);
    task.transferState = kTransferWriteFailed;
    return false;
}

bool RequestQueue::IsCancelled(const RequestTask& task) {
    std::lock_guard lock(mutex_);
    return task.cancelled;
}

void RequestQueue::Deliver(RequestTask& task) {
    http::Response response;
    try {
        response = task.result.get();
    } catch (const std::exception& e) {  // the transfer thread could not be started
        response = {};
        response.error = {http::ErrorCode::UnknownError, e.what()};
    }
    if (task.kind == RequestKind::Download) Settle(task, response);
    Complete(task, std::move(response));
}

// Where a download's ".cache" goes: into place, away, or nowhere (a failed
// answer's body stays for a look, as before).
void RequestQueue::Settle(RequestTask& task, http::Response& response) {
    const bool complete = response.status_code == 200 && !response.error;
    // An empty body never opened the cache file; the target is still due.
    if (complete && !task.file) task.file = OpenCacheFile(task.filePath);
    if (!task.file) {
        if (complete) response.error = {http::ErrorCode::InternalError, "cannot create " + task.filePath + ".cache"};
        return;
    }
    if (!complete) {
        // The user stopped it: a partial file must not linger as if it were the download.
        if (IsCancelled(task)) DeleteThroughHandle(task.file);
        task.file.Reset();
        return;
    }
    const std::string problem = task.verifier ? task.verifier->Problem() : "not checked";
    if (!problem.empty()) {
        DeleteThroughHandle(task.file);
        task.rejected = true;
        response.error = {http::ErrorCode::InternalError, task.filePath + " was not kept: " + problem};
        return;
    }
    if (!RenameThroughHandle(task.file.Get(), Utf8ToWide(task.filePath))) {
        response.error = {http::ErrorCode::InternalError,
                          "cannot move the download into place (error " + std::to_string(GetLastError()) + ")"};
    }
    task.file.Reset();
}

// Out of memory even for the record leaves nothing to tell the window with.
void RequestQueue::Complete(const RequestTask& task, http::Response response) {
    if (task.kind == RequestKind::Get || task.doneMessage == kNoMessage) return;
    try {
        auto record = std::make_unique<CompletionRecord>();
        record->response = std::move(response);
        record->filePath = task.filePath;
        record->taskId = task.taskId;
        record->rejected = task.rejected;
        PostRecord(task.window, task.doneMessage, record, kResultReady);
    } catch (const std::exception&) {
    }
}
