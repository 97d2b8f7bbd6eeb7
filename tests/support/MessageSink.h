// A message-only window that plays the requesting window in queue tests: it
// records every progress and completion message and frees their records. Any
// other application message (a record sent under an id nobody asked for, such
// as kNoMessage) fails the running test.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "net/RequestQueue.h"

namespace test {

constexpr UINT kDoneMessage = WM_APP + 1;
constexpr UINT kProgressMessage = WM_APP + 2;

struct ProgressSeen {
    ProgressRecord record;
    LPARAM taskId;
    DWORD tick;  // when it arrived
};

struct CompletionSeen {
    std::unique_ptr<CompletionRecord> record;
    LPARAM lParam;
};

struct StraySeen {
    UINT msg;
    WPARAM wParam;  // a record of unknown type, left unfreed
    LPARAM lParam;
};

class MessageSink {
public:
    MessageSink();
    ~MessageSink();

    HWND Hwnd() const { return hwnd_; }
    // Pumps this thread's messages until done() holds or timeoutMs passes.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);
    // Pumps for a fixed time; used to show that nothing arrives.
    void PumpFor(DWORD ms);
    bool WaitForCompletions(size_t count, DWORD timeoutMs = 20000) {
        return PumpUntil([&] { return completions.size() >= count; }, timeoutMs);
    }

    // Whether a posted message waits for this thread. Wine handles ids with the
    // top bit set (kNoMessage among them) itself, so such a record is never
    // dispatched here and only shows while it waits.
    static bool MessageWaiting() { return HIWORD(GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE; }

    std::vector<ProgressSeen> progress;
    std::vector<CompletionSeen> completions;
    std::vector<StraySeen> strays;
    std::function<void(const ProgressSeen&)> onProgress;  // runs on this thread, inside the SendMessageW

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

}  // namespace test
