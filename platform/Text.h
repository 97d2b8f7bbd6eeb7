// Conversions between UTF-16 (everything shown and every wide Win32 call),
// UTF-8 (JSON, HTTP, the request queue's paths) and the ANSI code page.
// Lengths come from the strings, so embedded zeros survive.
#pragma once
#include <string>
#include <string_view>

std::wstring AnsiToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);
