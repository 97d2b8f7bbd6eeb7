// Prints how long Vantoro.exe takes from its start to the landing page painted
// with the server configuration received (median and 95th percentile over
// several starts after one warm-up start), where that time goes, and the
// program's working set once idle and at its peak. For comparison it times,
// start for start in turn with the program, a plain window of this program's
// own (--plain): what any Wine GUI start costs.
//   StartupBench <Vantoro.exe> [starts]
// The configuration's arrival is the program's own debugger-output line,
// read here as a debug-output monitor does (no debugger attached), and so are
// the "trace: " marks of a test build started with VANTORO_STARTUP_TRACE;
// "painted" is the window's pixels on the screen no longer being one flat colour.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/DebugOutput.h"
#include "tests/support/Program.h"
#include "ui/toolkit/GdiHandles.h"

namespace {

using test::DebugOutputMonitor;
using test::Seconds;

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
    std::map<std::string, double> trace;                            // the same, for each mark
    SIZE_T peakWorkingSet = 0;  // sampled on the way: Wine does not keep a process's peak
    double Ready() const { return std::max(painted, configured); }
};

// Where a process's memory is once idle: committed bytes by kind of region,
// and the working set with its peak.
struct Memory {
    SIZE_T workingSet = 0, peak = 0;
    SIZE_T privateBytes = 0, imageBytes = 0, mappedBytes = 0;
    SIZE_T later = 0;  // the working set 10 s after ready
};

Memory MemoryOf(HANDLE process) {
    Memory m;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        m.workingSet = counters.WorkingSetSize;
        m.peak = counters.PeakWorkingSetSize;
    }
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State != MEM_COMMIT) continue;
        if (region.Type == MEM_IMAGE) m.imageBytes += region.RegionSize;
        else if (region.Type == MEM_MAPPED) m.mappedBytes += region.RegionSize;
        else m.privateBytes += region.RegionSize;
    }
    return m;
}

// Closes the main window as a user would, so every start finds no instance.
void Close(const test::Program& program, const wchar_t* windowClass) {
    if (HWND window = program.Window(windowClass)) PostMessageW(window, WM_CLOSE, 0, 0);
    if (program.AwaitExit(10000) == STILL_ACTIVE) TerminateProcess(program.Handle(), 99);
}

// monitor null: the plain window, which has no configuration to wait for.
Start Measure(const std::wstring& exe, DebugOutputMonitor* monitor, Memory* idle) {
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
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(program.Handle(), &counters, sizeof counters))
            start.peakWorkingSet = std::max(start.peakWorkingSet, counters.WorkingSetSize);
        Sleep(2);
    }
    if (monitor && monitor->SeenAt(kConfigured)) start.configured = monitor->SeenAt(kConfigured) - begin;
    if (monitor && monitor->SeenAt(kInitialised)) start.initialised = monitor->SeenAt(kInitialised) - begin;
    start.ok = start.painted && configured();
    if (idle && start.ok) {
        Sleep(3000);
        *idle = MemoryOf(program.Handle());
        idle->peak = std::max({idle->peak, idle->workingSet, start.peakWorkingSet});
        Sleep(7000);  // an animation plays on: its memory should not grow
        idle->later = MemoryOf(program.Handle()).workingSet;
    }
    if (monitor) {
        Sleep(50);  // marks written just before ready are still on their way
        for (const auto& [label, at] : monitor->Trace()) start.trace[label] = at - begin;
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

double Median(const std::vector<double>& values) { return Percentile(values, 50); }

void PrintMemory(const char* what, const Memory& m) {
    std::printf("  %-44s %6.1f MiB   peak %6.1f MiB   committed: private %.1f, images of modules %.1f, mapped %.1f MiB\n",
                what, m.workingSet / 1048576.0, m.peak / 1048576.0, m.privateBytes / 1048576.0,
                m.imageBytes / 1048576.0, m.mappedBytes / 1048576.0);
    std::printf("  %-44s %6.1f MiB 10 s after ready\n", "", m.later / 1048576.0);
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
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    // Warm-ups, not counted: the page cache and Wine's server; also where memory is measured.
    Memory memory, plainMemory;
    Start warm = Measure(exe, &monitor, &memory);
    if (!warm.ok) {
        std::fprintf(stderr, "the warm-up start did not reach a painted, configured landing page (window %s, painted %s, "
                             "configuration line %s)\n",
                     warm.window ? "yes" : "no", warm.painted ? "yes" : "no", warm.configured ? "yes" : "no");
        return 1;
    }
    Measure(self, nullptr, &plainMemory);
    // In turn, so that the machine's load weighs on both alike.
    std::vector<double> window, initialised, painted, configured, ready, plain;
    std::map<std::string, std::vector<double>> trace;
    int failed = 0;
    for (int i = 0; i < starts; ++i) {
        Sleep(200);
        Start floor = Measure(self, nullptr, nullptr);
        if (floor.ok) plain.push_back(floor.painted);
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
        for (const auto& [label, at] : start.trace) trace[label].push_back(at);
    }
    if (ready.empty() || plain.empty()) {
        std::fprintf(stderr, "no start reached the landing page\n");
        return 1;
    }
    std::printf("Vantoro.exe start to the landing page painted with the configuration received, %zu starts%s:\n",
                ready.size(), failed ? " (some failed)" : "");
    PrintRow("a plain Win32 window painted (Wine's floor)", plain);
    PrintRow("ready (painted and configured)", ready);
    std::printf("  ready / floor: median %.2f, p95 %.2f (goal: at most 1.6)\n", Median(ready) / Median(plain),
                Percentile(ready, 95) / Percentile(plain, 95));
    std::printf("where the time goes:\n");
    PrintRow("main window visible", window);
    PrintRow("main window initialised (windowinit)", initialised);
    PrintRow("landing page painted", painted);
    PrintRow("configuration received", configured);
    if (!trace.empty()) {
        std::printf("the program's own marks, in order (median over the starts that wrote them):\n");
        std::vector<std::pair<double, std::string>> order;
        for (const auto& [label, at] : trace) order.emplace_back(Median(at), label);
        std::sort(order.begin(), order.end());
        for (const auto& [at, label] : order) PrintRow(label.c_str(), trace[label]);
    }
    if (failed) std::printf("  %d starts did not get there within 20 s\n", failed);
    std::printf("memory once idle (3 s after ready):\n");
    PrintMemory("Vantoro.exe working set", memory);
    PrintMemory("the plain window's", plainMemory);
    double over = (double(memory.workingSet) - double(plainMemory.workingSet)) / 1048576.0;
    double peakOver = (double(memory.peak) - double(memory.workingSet)) / 1048576.0;
    std::printf("  idle: plain + %.1f MiB (goal: at most + 24); peak during start: idle + %.1f MiB (goal: at most + 8)\n",
                over, peakOver);
    return failed ? 1 : 0;
}
