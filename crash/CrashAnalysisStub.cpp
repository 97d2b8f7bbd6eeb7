// TEMPORARY, until the analysis lands: parses the command line and reports at
// once that nothing was analysed, so that dumper.exe links and its window can
// be tried. Drop this file when the real analysis is added to crashanalysis.
#include <windows.h>

#include <thread>

#include "crash/CrashAnalysis.h"

namespace Crash {

bool ParseDumperCommandLine(int argc, wchar_t** argv, CrashArguments& out) {
    if (argc != 5 && argc != 7) return false;
    out = {argv[1], argv[2], argv[3], argv[4]};
    return true;
}

bool StartCrashAnalysis(const CrashArguments&, HWND window, AnalysisOutcome* outcome) {
    std::thread([window, outcome] {
        outcome->reportText = L"The crash analysis is not part of this build.";
        SendMessageW(window, kAnalysisDone, 1, 0);
    }).detach();
    return true;
}

bool WaitUntilCrashedProcessReleased(DWORD) { return true; }

}  // namespace Crash
