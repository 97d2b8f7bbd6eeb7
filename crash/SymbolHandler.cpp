#include "crash/SymbolHandler.h"

#include <dbghelp.h>

namespace Crash {

SymbolHandler::SymbolHandler(HANDLE process, const std::wstring& searchPath) : process_(process) {
    // Unattended: no symbol server or drive prompt may wait for a user.
    SymSetOptions(SymGetOptions() | SYMOPT_LOAD_LINES | SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS |
                  SYMOPT_NO_PROMPTS | SYMOPT_FAIL_CRITICAL_ERRORS);
    error_ = ERROR_SUCCESS;
    if (!SymInitializeW(process, searchPath.c_str(), TRUE)) {
        DWORD error = GetLastError();
        error_ = error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;  // still reads as not started
    }
}

SymbolHandler::~SymbolHandler() {
    if (Started()) SymCleanup(process_);
}

}  // namespace Crash
