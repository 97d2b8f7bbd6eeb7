// Drives message boxes from inside their modal loops: a timer on the test's
// thread finds the open box, reads its controls and clicks them with real
// mouse messages at their rectangles.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/Desktop.h"

namespace DuiLib {
class CControlUI;
}

namespace test {

// Registers the archive embedded in this test program with the toolkit.
bool UseOwnArchive();
// Registers the archive embedded in another program (for its layouts).
bool UseArchiveOf(const std::wstring& exePath);


// The topmost visible top-level window of the class that this program owns.
HWND ShownWindow(const wchar_t* windowClass);
// This program's top-level windows of class and text "msgwnd", in z order.
std::vector<HWND> OpenBoxes();
DuiLib::CControlUI* ControlOf(HWND window, const wchar_t* name);
std::wstring TextOf(HWND window, const wchar_t* name);
bool Shown(HWND window, const wchar_t* name);
// Moves the mouse onto the control and presses and releases the left button.
void Click(HWND window, const wchar_t* name);

// A plain visible window to own the boxes, one for the whole run: under Wine
// without a window manager, hiding a window waits two seconds for a manager
// that never answers.
HWND SharedOwner();

// Calls step every 30 ms on this thread (also inside modal loops) until it
// returns true. A step is not re-entered while it runs.
class Ticker {
public:
    explicit Ticker(std::function<bool()> step);
    ~Ticker();
    bool Finished() const { return finished_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    std::function<bool()> step_;
    UINT_PTR id_ = 0;
    bool busy_ = false;
    bool finished_ = false;
};

// Runs fn while a Ticker answers every box that opens by clicking the named
// button (after check(box), when given); returns how many boxes it answered.
// Boxes still open after 15 s are closed, so that a fault cannot hang a test.
int Answering(const wchar_t* button, const std::function<void()>& fn,
              const std::function<void(HWND)>& check = nullptr);


}  // namespace test
