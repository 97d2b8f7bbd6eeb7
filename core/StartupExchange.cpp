#include "core/StartupExchange.h"

#include "net/Answer.h"
#include "net/Deployment.h"
#include "net/HttpSession.h"
#include "net/ServerConfig.h"
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

void StartupExchange::Start(HWND window) {
    if (step_ != Step::NotStarted) return;
    window_ = window;
    step_ = Step::Heartbeat;
    HttpSession::Instance().Get("/helper/ping", window_, kHeartbeatDone);
}

bool StartupExchange::Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case kHeartbeatDone: OnHeartbeat(wParam); return true;
    case kFallbackDone: OnFallback(wParam); return true;
    case kConfigDone: OnConfig(wParam); return true;
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
    if (!answer.Ok()) {
        step_ = Step::Finished;
        return Report(window_, answer);
    }
    // Without a text "head" the base becomes empty and the configuration
    // request fails visibly rather than going to the host that did not answer.
    HttpSession::Instance().SetBaseUrl(json::String(json::Member(answer.Body(), "head")));
    RequestConfig();
}

void StartupExchange::OnConfig(WPARAM wParam) {
    Answer answer = Answer::Take(wParam);
    if (step_ != Step::Config) return;
    step_ = Step::Finished;
    if (!answer.Ok()) return Report(window_, answer);
    config_.Replace(answer.Body());
    OutputDebugStringW(L"startup: configuration received\n");  // the start-up benchmark's mark
}

void StartupExchange::RequestConfig() {
    step_ = Step::Config;
    RequestServerConfig(window_, kConfigDone);
}
