// What tests need of the desktop around them under Wine: Windows names of
// Unix paths, waiting for files other processes write, pumping messages,
// a folder that is a link, and a stand-in browser that records the addresses
// it is given.
#pragma once
#include <windows.h>

#include <string>

namespace test {

// The Windows name of a Unix path, as Wine maps it; empty outside Wine.
std::wstring DosPath(const std::string& unixPath);
// Pumps this thread's messages (so timers and sent messages run) for ms.
void Pump(DWORD ms);
// Polls for a file that another process writes; its text, or "" after ms.
std::string AwaitFile(const std::wstring& path, DWORD ms = 10000);
// A visible top-level window with exactly this title (another process's too), or null.
HWND VisibleWindowTitled(const std::wstring& title);
// A folder of the build that is a Unix symbolic link, which Wine shows as a
// reparse point, and the folder it leads to; "" outside Wine.
std::wstring LinkedFolder();
std::wstring LinkTarget();

// Points Wine's browser setting at the recorder script for its lifetime and
// puts the previous setting back. Wine starts the browser as a Unix program,
// so the recorder is a script that logs beside itself.
class BrowserRecorder {
public:
    BrowserRecorder();
    ~BrowserRecorder();
    BrowserRecorder(const BrowserRecorder&) = delete;
    BrowserRecorder& operator=(const BrowserRecorder&) = delete;

    // False outside Wine or when the setting could not be changed.
    bool Active() const { return key_ != nullptr; }
    // Where every address given to the browser is written, one a line.
    const std::wstring& Log() const { return log_; }

private:
    void SetBrowsers(const std::wstring& value);

    std::wstring log_;
    HKEY key_ = nullptr;
    bool createdKey_ = false;
    bool hadOld_ = false;
    std::wstring old_;
};

}  // namespace test
