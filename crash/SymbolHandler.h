// dbghelp's symbol handler for a crashed process, with line numbers and
// undecorated names, each module's symbols read only when a frame first needs
// them (Wine's own DLLs carry DWARF that takes seconds to read in full). Kept
// from the stack trace through the minidump: MiniDumpWriteDump under Wine
// starts a handler of its own when none runs, reading every module again.
#pragma once
#include <windows.h>

#include <string>

namespace Crash {

class SymbolHandler {
public:
    SymbolHandler(HANDLE process, const std::wstring& searchPath);
    ~SymbolHandler();
    SymbolHandler(const SymbolHandler&) = delete;
    SymbolHandler& operator=(const SymbolHandler&) = delete;

    bool Started() const { return error_ == ERROR_SUCCESS; }
    DWORD Error() const { return error_; }  // why it did not start

private:
    HANDLE process_;
    DWORD error_;
};

}  // namespace Crash
