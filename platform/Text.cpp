#include "platform/Text.h"

#include <windows.h>

namespace {

std::wstring ToWide(UINT codePage, DWORD flags, std::string_view text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(codePage, flags, text.data(), (int)text.size(), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(n, L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), (int)text.size(), out.data(), n);
    return out;
}

std::string FromWide(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(codePage, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(n, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), (int)text.size(), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

// Precomposed: decomposing would turn an accented file name into a different name.
std::wstring AnsiToWide(std::string_view text) { return ToWide(CP_ACP, MB_PRECOMPOSED, text); }
std::string WideToUtf8(std::wstring_view text) { return FromWide(CP_UTF8, text); }
std::wstring Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, 0, text); }
std::string WideToAnsi(std::wstring_view text) { return FromWide(CP_ACP, text); }
