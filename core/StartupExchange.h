// Fixer's start-up exchange with the service, one pass per process, no retry:
//   heartbeat "/helper/ping"       ok: configuration; failed (silently): fallback
//   fallback file (absolute URL)   ok: its "head" becomes the session's base URL,
//                                      then the configuration; failed: notice
//   "/helper/config", "quorvex"    ok: kept as the ServerConfig; failed: notice
// Requests go to the session's base URL at the time they are sent, so a
// "head" also moves every later request of the session.
// Start(window) sends from the window's thread, and the window hands every
// answer to Handle. StartEarly() sends before any window exists, from a
// thread of its own that follows the steps; their end (configuration kept or
// notice) waits for the window given to Attach and is handled on its thread
// (kEnded, through Handle). The main window owns one exchange and forwards its
// custom messages.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "net/Answer.h"
#include "platform/UniqueHandle.h"

class ServerConfig;

class StartupExchange {
public:
    static constexpr UINT kHeartbeatDone = 1177;
    static constexpr UINT kFallbackDone = 1176;
    static constexpr UINT kConfigDone = 1162;
    static constexpr UINT kEnded = 1178;

    // Answers are kept in config (the process's unless a test gives its own).
    explicit StartupExchange(ServerConfig& config);
    StartupExchange();
    // Stops the own thread; answers still on their way are freed by the queue.
    ~StartupExchange();
    StartupExchange(const StartupExchange&) = delete;
    StartupExchange& operator=(const StartupExchange&) = delete;

    // Sends the heartbeat; the exchange runs once, so later calls do nothing.
    void Start(HWND window);
    // Sends the heartbeat from the exchange's own thread (or, without one, on Attach).
    void StartEarly();
    // The window that handles the end; starts the exchange there if nothing started it.
    void Attach(HWND window);
    // True when message is one of the answers or kEnded; its record is then freed.
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
    void End(Answer answer);
    void OnEnded();
    void Apply(HWND owner, const Answer& answer);
    void RunOwnThread();
    void PumpOwnThread();

    ServerConfig& config_;
    HWND window_ = nullptr;  // receives the answers
    std::atomic<Step> step_{Step::NotStarted};
    bool early_ = false;  // set before the own thread starts, then only read
    bool endReached_ = false;  // own thread's, read by the owner after the hand-over
    std::atomic<DWORD> ownThreadId_{0};
    std::mutex mutex_;  // guards what follows
    HWND owner_ = nullptr;
    std::optional<Answer> ending_;
    bool handOver_ = false;  // the own thread has ended: ending_, or the whole exchange, is the owner's
    UniqueHandle stop_;
    std::thread thread_;
};
