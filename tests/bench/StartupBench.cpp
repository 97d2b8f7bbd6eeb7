// Prints how long Vantoro.exe takes from its start to the landing page painted
// with the server configuration received (median and 95th percentile over
// several starts after one warm-up start), where that time goes, and the
// program's working set once idle. For comparison it times the same for a
// plain window of this program's own (--plain): what any Wine GUI start costs.
//   StartupBench <Vantoro.exe> [starts]
// The configuration's arrival is the program's own debugger-output line,
// read here as a debug-output monitor does (no debugger attached); "painted"
// is the window's pixels on the screen no longer being one flat colour.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Program.h"
#include "ui/toolkit/GdiHandles.h"

namespace {

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle) CloseHandle(handle);
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// Receives every process's OutputDebugString text through the shared buffer
// that debug-output monitors use, and notes when each of its marks first
// reached it from the watched process.
class DebugOutputMonitor {
public:
    explicit DebugOutputMonitor(std::vector<std::string> marks) : marks_(std::move(marks)), seenAt_(marks_.size()) {}
    ~DebugOutputMonitor() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

    bool Start() {
        mutex_.reset(CreateMutexW(nullptr, FALSE, L"DBWinMutex"));
        bufferReady_.reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY"));
        dataReady_.reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
        mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER"));
        if (!mutex_ || !bufferReady_ || !dataReady_ || !mapping_) return false;
        view_ = MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 4096);
        if (!view_) return false;
        thread_ = std::thread([this] { Run(); });
        return true;
    }
    void Watch(DWORD processId) {
        for (auto& seen : seenAt_) seen = 0;
        processId_ = processId;
    }
    // When mark i was seen, or 0.
    double SeenAt(size_t i) const { return seenAt_[i]; }

private:
    void Run() {
        SetEvent(bufferReady_.get());
        while (!stop_) {
            if (WaitForSingleObject(dataReady_.get(), 50) != WAIT_OBJECT_0) continue;
            double now = Seconds();
            const auto* buffer = static_cast<const char*>(view_);
            DWORD sender;
            std::memcpy(&sender, buffer, sizeof sender);
            std::string text(buffer + sizeof sender, strnlen(buffer + sizeof sender, 4096 - sizeof sender));
            for (size_t i = 0; sender == processId_ && i < marks_.size(); ++i)
                if (!seenAt_[i] && text.find(marks_[i]) != std::string::npos) seenAt_[i] = now;
            SetEvent(bufferReady_.get());
        }
        UnmapViewOfFile(view_);
    }

    std::vector<std::string> marks_;
    std::vector<std::atomic<double>> seenAt_;
    std::atomic<DWORD> processId_{0};
    std::atomic<bool> stop_{false};
    Handle mutex_, bufferReady_, dataReady_, mapping_;
    void* view_ = nullptr;
    std::thread thread_;
};

// The marks, in the order the program writes them.
enum Mark { kInitialised, kConfigured, kMarkCount };
const char* const kMarks[] = {"mainWnd: windowinit", "startup: configuration received"};

const wchar_t kPlainClass[] = L"StartupBenchPlain";

struct ScreenDC {
    HDC dc = GetDC(nullptr);
    ~ScreenDC() {
        if (dc) ReleaseDC(nullptr, dc);
    }
};

// True once the window's area on the screen holds more than a few colours:
// before its first paint it is one flat background.
bool Painted(HWND window) {
    RECT rc;
    if (!GetWindowRect(window, &rc)) return false;
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0) return false;
    ScreenDC screen;
    DuiLib::UniqueMemoryDC memory(CreateCompatibleDC(screen.dc));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    DuiLib::UniqueBitmap bitmap(CreateDIBSection(screen.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bits || !memory.SelectBitmap(std::move(bitmap))) return false;
    BitBlt(memory.Get(), 0, 0, width, height, screen.dc, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    std::set<DWORD> colours;
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int i = 0; i < width * height && colours.size() < 8; i += 7) colours.insert(pixels[i] & 0xFFFFFF);
    return colours.size() >= 4;
}

// The floor: a window of the landing page's size with a few coloured bands.
LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        const COLORREF colours[] = {RGB(35, 142, 249), RGB(255, 255, 255), RGB(51, 51, 51), RGB(230, 44, 44)};
        for (int i = 0; i < 4; ++i) {
            RECT band = {0, i * 140, 920, (i + 1) * 140};
            DuiLib::UniqueBrush brush(CreateSolidBrush(colours[i]));
            FillRect(dc, &band, brush.Get());
        }
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

int RunPlainWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kPlainClass;
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, kPlainClass, L"plain", WS_POPUP | WS_VISIBLE, 180, 230, 920, 560, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    if (!window) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

struct Start {
    bool ok = false;
    double window = 0, initialised = 0, painted = 0, configured = 0;  // seconds after CreateProcess
    double Ready() const { return std::max(painted, configured); }
};

// Closes the main window as a user would, so every start finds no instance.
void Close(const test::Program& program, const wchar_t* windowClass) {
    if (HWND window = program.Window(windowClass)) PostMessageW(window, WM_CLOSE, 0, 0);
    if (program.AwaitExit(10000) == STILL_ACTIVE) TerminateProcess(program.Handle(), 99);
}

// monitor null: the plain window, which has no configuration to wait for.
Start Measure(const std::wstring& exe, DebugOutputMonitor* monitor, SIZE_T* idleWorkingSet) {
    Start start;
    const wchar_t* windowClass = monitor ? L"mainWnd" : kPlainClass;
    double begin = Seconds();
    test::Program program(exe, monitor ? L"" : L"--plain");
    if (!program.Started()) return start;
    if (monitor) monitor->Watch(program.Id());  // its line comes two exchanges later
    auto configured = [&] { return !monitor || monitor->SeenAt(kConfigured); };
    HWND window = nullptr;
    while (Seconds() - begin < 20 && (!start.painted || !configured())) {
        if (!window && (window = program.Window(windowClass))) start.window = Seconds() - begin;
        if (window && !start.painted && Painted(window)) start.painted = Seconds() - begin;
        Sleep(2);
    }
    if (monitor && monitor->SeenAt(kConfigured)) start.configured = monitor->SeenAt(kConfigured) - begin;
    if (monitor && monitor->SeenAt(kInitialised)) start.initialised = monitor->SeenAt(kInitialised) - begin;
    start.ok = start.painted && configured();
    if (idleWorkingSet && start.ok) {
        Sleep(3000);
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(program.Handle(), &counters, sizeof counters))
            *idleWorkingSet = counters.WorkingSetSize;
    }
    Close(program, windowClass);
    return start;
}

// Nearest rank.
double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    size_t rank = static_cast<size_t>(p / 100 * values.size() + 0.999999);
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

void PrintRow(const char* what, const std::vector<double>& values) {
    if (values.empty()) return (void)std::printf("  %-44s no start got there\n", what);
    std::printf("  %-44s median %6.0f ms   p95 %6.0f ms   min %6.0f   max %6.0f\n", what,
                Percentile(values, 50) * 1000, Percentile(values, 95) * 1000, Percentile(values, 0) * 1000,
                Percentile(values, 100) * 1000);
}

std::vector<double> PlainStarts(int starts, SIZE_T* idleWorkingSet) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    Measure(self, nullptr, idleWorkingSet);
    std::vector<double> painted;
    for (int i = 0; i < starts; ++i) {
        Sleep(200);
        Start start = Measure(self, nullptr, nullptr);
        if (start.ok) painted.push_back(start.painted);
    }
    return painted;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"--plain") return RunPlainWindow();
    if (argc < 2) {
        std::fprintf(stderr, "usage: StartupBench <Vantoro.exe> [starts]\n");
        return 2;
    }
    std::wstring exe = argv[1];
    int starts = argc > 2 ? _wtoi(argv[2]) : 20;
    DebugOutputMonitor monitor({kMarks, kMarks + kMarkCount});
    if (!monitor.Start()) {
        std::fprintf(stderr, "cannot listen to debugger output\n");
        return 1;
    }
    SIZE_T workingSet = 0;
    Start warm = Measure(exe, &monitor, &workingSet);  // warms the page cache and Wine's server; not counted
    if (!warm.ok) {
        std::fprintf(stderr, "the warm-up start did not reach a painted, configured landing page (window %s, painted %s, "
                             "configuration line %s)\n",
                     warm.window ? "yes" : "no", warm.painted ? "yes" : "no", warm.configured ? "yes" : "no");
        return 1;
    }
    std::vector<double> window, initialised, painted, configured, ready;
    int failed = 0;
    for (int i = 0; i < starts; ++i) {
        Sleep(200);
        Start start = Measure(exe, &monitor, nullptr);
        if (!start.ok) {
            ++failed;
            continue;
        }
        window.push_back(start.window);
        initialised.push_back(start.initialised);
        painted.push_back(start.painted);
        configured.push_back(start.configured);
        ready.push_back(start.Ready());
    }
    if (ready.empty()) {
        std::fprintf(stderr, "no start reached the landing page\n");
        return 1;
    }
    std::printf("Vantoro.exe start to the landing page painted with the configuration received, %zu starts%s:\n",
                ready.size(), failed ? " (some failed)" : "");
    PrintRow("ready (painted and configured)", ready);
    std::printf("where the time goes:\n");
    PrintRow("main window visible", window);
    PrintRow("main window initialised (windowinit)", initialised);
    PrintRow("landing page painted", painted);
    PrintRow("configuration received", configured);
    SIZE_T plainWorkingSet = 0;
    PrintRow("a plain Win32 window painted (Wine's floor)", PlainStarts(starts, &plainWorkingSet));
    if (failed) std::printf("  %d starts did not get there within 20 s\n", failed);
    std::printf("working set once idle (3 s after ready): %.1f MiB (the plain window's: %.1f MiB)\n",
                workingSet / 1048576.0, plainWorkingSet / 1048576.0);
    return failed ? 1 : 0;
}
