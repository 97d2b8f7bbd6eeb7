#include "core/StartupExchange.h"

#include "net/Deployment.h"
#include "net/HttpSession.h"
#include "net/ServerConfig.h"
#include "platform/StartupTrace.h"
#include "platform/Text.h"
#include "ui/Notices.h"

namespace {

// Shows a failed answer with the network failure notice.
void Report(HWND window, const Answer& answer) {
    ReportRequestFailure(window, Utf8ToWide(answer.Url()), static_cast<int>(answer.Status()), answer.ErrorCode());
}

}  // namespace

StartupExchange::StartupExchange(ServerConfig& config) : config_(config) {}

StartupExchange::StartupExchange() : StartupExchange(ServerConfig::Instance()) {}

StartupExchange::~StartupExchange() {
    if (!thread_.joinable()) return;
    SetEvent(stop_.Get());
    thread_.join();
}

void StartupExchange::Start(HWND window) {
    if (step_ != Step::NotStarted) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        owner_ = window;
    }
    window_ = window;
    step_ = Step::Heartbeat;
    HttpSession::Instance().Get("/helper/ping", window_, kHeartbeatDone);
}

void StartupExchange::StartEarly() {
    if (early_ || step_ != Step::NotStarted) return;
    stop_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop_) return;
    early_ = true;
    try {
        thread_ = std::thread([this] { RunOwnThread(); });
    } catch (...) {
        early_ = false;  // Attach starts it on the window instead
    }
}

void StartupExchange::Attach(HWND window) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        owner_ = window;
        if (early_) {
            if (handOver_) PostMessageW(window, kEnded, 0, 0);
            return;
        }
    }
    Start(window);
}

bool StartupExchange::Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case kHeartbeatDone: OnHeartbeat(wParam); return true;
    case kFallbackDone: OnFallback(wParam); return true;
    case kConfigDone: OnConfig(wParam); return true;
    case kEnded: OnEnded(); return true;
    default: return false;
    }
}

// Each handler takes its record first, so an answer out of turn is freed and
// ignored instead of starting a step twice.
void StartupExchange::OnHeartbeat(WPARAM wParam) {
    Answer answer = Answer::Take(wParam);
    if (step_ != Step::Heartbeat) return;
    if (answer.Ok()) return RequestConfig();
    step_ = Step::Fallback;
    HttpSession::Instance().GetUrl(deployment::FallbackUrl(), window_, kFallbackDone);
}

void StartupExchange::OnFallback(WPARAM wParam) {
    Answer answer = Answer::Take(wParam);
    if (step_ != Step::Fallback) return;
    if (!answer.Ok()) return End(std::move(answer));
    // Without a text "head" the base becomes empty and the configuration
    // request fails visibly rather than going to the host that did not answer.
    HttpSession::Instance().SetBaseUrl(json::String(json::Member(answer.Body(), "head")));
    RequestConfig();
}

void StartupExchange::OnConfig(WPARAM wParam) {
    Answer answer = Answer::Take(wParam);
    if (step_ != Step::Config) return;
    End(std::move(answer));
}

void StartupExchange::RequestConfig() {
    step_ = Step::Config;
    RequestServerConfig(window_, kConfigDone);
}

// The end is shown by the owner: at once on its thread, else handed over.
void StartupExchange::End(Answer answer) {
    if (GetCurrentThreadId() != ownThreadId_) {
        HWND owner;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            owner = owner_;
        }
        return Apply(owner, answer);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = std::move(answer);
    endReached_ = true;
}

void StartupExchange::OnEnded() {
    std::optional<Answer> ending;
    HWND owner;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!handOver_) return;
        ending.swap(ending_);
        owner = owner_;
    }
    if (ending) return Apply(owner, *ending);
    Start(owner);  // the own thread could not run it
}

void StartupExchange::Apply(HWND owner, const Answer& answer) {
    step_ = Step::Finished;
    if (!answer.Ok()) return Report(owner, answer);
    config_.Replace(answer.Body());
    OutputDebugStringW(L"startup: configuration received\n");  // the start-up benchmark's mark
}

// No exception leaves a thread's entry: whatever fails here hands the
// exchange to the owner, which runs it the old way.
void StartupExchange::RunOwnThread() {
    ownThreadId_ = GetCurrentThreadId();
    try {
        // Message-only: never shown or enumerated, it only receives the answers.
        HWND own = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (own) {
            window_ = own;
            step_ = Step::Heartbeat;
            TraceStartup("exchange started");
            HttpSession::Instance().Get("/helper/ping", own, kHeartbeatDone);
            PumpOwnThread();
            DestroyWindow(own);
        }
    } catch (...) {
    }
    if (WaitForSingleObject(stop_.Get(), 0) == WAIT_OBJECT_0) return;
    try {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!endReached_) step_ = Step::NotStarted;
        handOver_ = true;
        if (owner_) PostMessageW(owner_, kEnded, 0, 0);
    } catch (...) {
    }
}

// Until the exchange reaches its end or the owner goes away.
void StartupExchange::PumpOwnThread() {
    HANDLE stop = stop_.Get();
    while (!endReached_) {
        DWORD woke = MsgWaitForMultipleObjectsEx(1, &stop, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        while (!endReached_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return;
            if (msg.hwnd != window_ || !Handle(msg.message, msg.wParam, msg.lParam)) DispatchMessageW(&msg);
        }
    }
}
