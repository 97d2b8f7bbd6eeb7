// A registry key holder and the one-value reader both programs use.
#pragma once
#include <windows.h>

#include <string>

class Registry {
public:
    explicit Registry(HKEY root);
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;
    virtual ~Registry();

    // Opens subKey below the current key and holds it instead; the Win32 status.
    LONG Open(const wchar_t* subKey, REGSAM access);
    // Reads valueName into buffer; size is in bytes, in and out (the size
    // needed when the buffer is too small). type, when given, receives REG_*.
    bool Query(const wchar_t* valueName, void* buffer, DWORD* size, DWORD* type = nullptr);
    void Close();

private:
    HKEY key_;
    bool owned_ = false;  // a root key handed in is never closed
};

// A string value below HKEY_LOCAL_MACHINE, or "" when it cannot be read.
std::wstring ReadMachineString(const std::wstring& subKey, const std::wstring& valueName);
