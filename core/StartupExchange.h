// Fixer's start-up exchange with the service, one pass per process, no retry:
//   heartbeat "/helper/ping"       ok: configuration; failed (silently): fallback
//   fallback file (absolute URL)   ok: its "head" becomes the session's base URL,
//                                      then the configuration; failed: notice
//   "/helper/config", "quorvex"    ok: kept as the ServerConfig; failed: notice
// Requests go to the session's base URL at the time they are sent, so a
// "head" also moves every later request of the session. The window given to
// Start receives the answers and hands them to Handle (the main window owns
// one exchange and forwards its custom messages).
#pragma once
#include <windows.h>

class ServerConfig;

class StartupExchange {
public:
    static constexpr UINT kHeartbeatDone = 1177;
    static constexpr UINT kFallbackDone = 1176;
    static constexpr UINT kConfigDone = 1162;

    // Answers are kept in config (the process's unless a test gives its own).
    explicit StartupExchange(ServerConfig& config);
    StartupExchange();

    // Sends the heartbeat; the exchange runs once, so later calls do nothing.
    void Start(HWND window);
    // True when message is one of the three answers; its record is then freed.
    // A failure notice is modal: Handle returns once the user has closed it.
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // The exchange has ended, with or without a configuration.
    bool Finished() const { return step_ == Step::Finished; }

private:
    enum class Step { NotStarted, Heartbeat, Fallback, Config, Finished };

    void OnHeartbeat(WPARAM wParam);
    void OnFallback(WPARAM wParam);
    void OnConfig(WPARAM wParam);
    void RequestConfig();

    ServerConfig& config_;
    HWND window_ = nullptr;
    Step step_ = Step::NotStarted;
};
