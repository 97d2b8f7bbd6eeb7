// The name a downloaded resource is saved under, taken from its address. The
// address comes from the service, so the name is treated as hostile: whatever
// it decodes to, the result is one plain Windows file name that stays in the
// folder it is joined to.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace Windows {

// Used when nothing usable is left of the address's last segment.
inline constexpr wchar_t kFallbackFileName[] = L"download";
// Longest name produced, in UTF-16 units, so that folder, name and ".cache" fit.
inline constexpr size_t kMaxFileNameLength = 180;

// The URL-decoded last segment of address (after its last "/", query and
// fragment left out), read as UTF-8 and made safe:
//   separators, ":", the characters Windows forbids and control characters
//   become "_", as does every byte that is not valid UTF-8;
//   trailing dots and spaces go; a device name (CON, NUL, COM1, LPT9.txt ...)
//   gets a leading "_"; an over-long name is shortened, keeping its extension;
//   nothing left gives kFallbackFileName.
std::wstring FileNameFromUrl(std::string_view address);

// The names for the files of several addresses saved into one folder, in the
// same order. Different addresses never share a file: an address keeps its
// FileNameFromUrl name unless a different address's name equals it ignoring
// case, and then it gets " (xxxxxxxx)" before its extension, eight hex digits
// of a hash of the address itself, so the name stays the same from one list
// to the next. The same address given twice gets the same name.
std::vector<std::wstring> DistinctFileNames(const std::vector<std::string>& addresses);

}  // namespace Windows
