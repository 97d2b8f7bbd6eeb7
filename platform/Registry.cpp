#include "platform/Registry.h"

#include <vector>

Registry::Registry(HKEY root) : key_(root) {}

Registry::~Registry() { Close(); }

LONG Registry::Open(const wchar_t* subKey, REGSAM access) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExW(key_, subKey, 0, access, &opened);
    if (status != ERROR_SUCCESS) return status;
    Close();  // a key opened before is replaced, not leaked
    key_ = opened;
    owned_ = true;
    return status;
}

bool Registry::Query(const wchar_t* valueName, void* buffer, DWORD* size, DWORD* type) {
    return RegQueryValueExW(key_, valueName, nullptr, type, static_cast<BYTE*>(buffer), size) ==
           ERROR_SUCCESS;
}

void Registry::Close() {
    if (key_ && owned_) RegCloseKey(key_);
    key_ = nullptr;
    owned_ = false;
}

namespace {

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The value as stored, without the terminating zeros (which the registry
// does not guarantee anyway).
std::wstring FromBuffer(const std::vector<wchar_t>& buffer, DWORD bytes) {
    std::wstring value(buffer.data(), bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

}  // namespace

std::wstring ReadMachineString(const std::wstring& subKey, const std::wstring& valueName) {
    Registry registry(HKEY_LOCAL_MACHINE);
    if (registry.Open(subKey.c_str(), KEY_READ) != ERROR_SUCCESS) return {};
    std::vector<wchar_t> buffer(260);
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!registry.Query(valueName.c_str(), buffer.data(), &bytes, &type)) {
        // Longer than the usual 260 characters: read it whole rather than lose it.
        if (bytes <= buffer.size() * sizeof(wchar_t)) return {};
        buffer.resize(bytes / sizeof(wchar_t) + 1);
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (!registry.Query(valueName.c_str(), buffer.data(), &bytes, &type)) return {};
    }
    return IsStringType(type) ? FromBuffer(buffer, bytes) : std::wstring();
}
