#include "net/Deployment.h"

#include <windows.h>

#include "platform/Text.h"

// The built-in values come from the CMake cache (see net/CMakeLists.txt).
namespace deployment {

std::wstring Setting(const wchar_t* name, const wchar_t* builtIn) {
    if (!VANTORO_ENV_OVERRIDES) return builtIn;
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size <= 1) return builtIn;  // unset, or set to ""
    std::wstring value(size, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    if (length == 0 || length >= size) return builtIn;  // changed between the two calls
    value.resize(length);
    return value;
}

std::string ServiceUrl() { return WideToUtf8(Setting(L"VANTORO_SERVICE_URL", L"" VANTORO_SERVICE_URL)); }
std::string FallbackUrl() { return WideToUtf8(Setting(L"VANTORO_FALLBACK_URL", L"" VANTORO_FALLBACK_URL)); }
std::wstring ChatUrl() { return Setting(L"VANTORO_CHAT_URL", L"" VANTORO_CHAT_URL); }
std::wstring QqNumber() { return Setting(L"VANTORO_QQ", L"" VANTORO_QQ); }
std::string DumperApiUrl() { return WideToUtf8(Setting(L"VANTORO_DUMPER_API_URL", L"" VANTORO_DUMPER_API_URL)); }
std::wstring SymbolServer() { return Setting(L"VANTORO_SYMBOL_SERVER", L"" VANTORO_SYMBOL_SERVER); }

}  // namespace deployment
