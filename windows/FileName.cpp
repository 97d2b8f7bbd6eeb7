#include "windows/FileName.h"

#include <windows.h>

#include <cstdint>
#include <cwctype>
#include <utility>

#include "ui/PercentEncode.h"

namespace Windows {

namespace {

constexpr wchar_t kReplacement = L'_';

int TrailingBytes(unsigned char lead) {
    if (lead < 0x80) return 0;
    if ((lead & 0xE0) == 0xC0) return 1;
    if ((lead & 0xF0) == 0xE0) return 2;
    if ((lead & 0xF8) == 0xF0) return 3;
    return -1;
}

// The code point of the sequence at bytes[at] and its length; length 0 when
// it is not strict UTF-8 (overlong forms, surrogates and values past
// U+10FFFF are not).
std::pair<char32_t, size_t> CodePointAt(std::string_view bytes, size_t at) {
    static const char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    static const unsigned char kLeadBits[] = {0x7F, 0x1F, 0x0F, 0x07};
    int trailing = TrailingBytes(static_cast<unsigned char>(bytes[at]));
    if (trailing < 0 || at + trailing >= bytes.size()) return {0, 0};
    char32_t value = static_cast<unsigned char>(bytes[at]) & kLeadBits[trailing];
    for (int k = 1; k <= trailing; ++k) {
        auto next = static_cast<unsigned char>(bytes[at + k]);
        if ((next & 0xC0) != 0x80) return {0, 0};
        value = (value << 6) | (next & 0x3F);
    }
    if (value < kSmallest[trailing] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {0, 0};
    return {value, static_cast<size_t>(trailing) + 1};
}

// Each byte of an invalid sequence becomes one kReplacement.
std::wstring DecodeUtf8(std::string_view bytes) {
    std::wstring out;
    for (size_t at = 0; at < bytes.size();) {
        auto [value, length] = CodePointAt(bytes, at);
        if (length == 0) {
            out += kReplacement;
            ++at;
            continue;
        }
        if (value >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((value - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(value);
        }
        at += length;
    }
    return out;
}

bool Forbidden(wchar_t ch) {
    return ch < 0x20 || ch == 0x7F || std::wstring_view(L"<>:\"/\\|?*").find(ch) != std::wstring_view::npos;
}

void TrimTrailingDotsAndSpaces(std::wstring& name) {
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (and the superscript digits Windows
// also reserves), whatever follows the first dot, trailing spaces ignored.
bool IsDeviceName(const std::wstring& name) {
    std::wstring stem = name.substr(0, name.find(L'.'));
    TrimTrailingDotsAndSpaces(stem);
    for (wchar_t& ch : stem) ch = static_cast<wchar_t>(towupper(ch));
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL") return true;
    if (stem.size() != 4 || (stem.compare(0, 3, L"COM") != 0 && stem.compare(0, 3, L"LPT") != 0)) return false;
    return (stem[3] >= L'1' && stem[3] <= L'9') || stem[3] == L'\u00B9' || stem[3] == L'\u00B2' || stem[3] == L'\u00B3';
}

// Cuts the stem so that the whole fits, without splitting a surrogate pair.
void Shorten(std::wstring& name) {
    if (name.size() <= kMaxFileNameLength) return;
    size_t dot = name.rfind(L'.');
    std::wstring extension = dot != std::wstring::npos && name.size() - dot <= 16 ? name.substr(dot) : L"";
    size_t keep = kMaxFileNameLength - extension.size();
    if (keep > 0 && name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF) --keep;
    name = name.substr(0, keep);
    TrimTrailingDotsAndSpaces(name);
    name += extension;
}

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    // Ordinal and case-blind, as the file system compares names.
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// FNV-1a: short, and the same on every machine and run.
std::wstring AddressTag(std::string_view address) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char byte : address) hash = (hash ^ byte) * 16777619u;
    wchar_t tag[16];
    swprintf(tag, 16, L" (%08x)", hash);
    return tag;
}

// name with tag before its extension, its stem cut so that the whole fits.
std::wstring Tagged(const std::wstring& name, const std::wstring& tag) {
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0 || name.size() - dot > 16) dot = name.size();
    std::wstring stem = name.substr(0, dot), extension = name.substr(dot);
    const size_t room = kMaxFileNameLength - tag.size() - extension.size();
    if (stem.size() > room) {
        size_t keep = room;
        if (keep > 0 && stem[keep - 1] >= 0xD800 && stem[keep - 1] <= 0xDBFF) --keep;
        stem.resize(keep);
    }
    return stem + tag + extension;
}

}  // namespace

std::vector<std::wstring> DistinctFileNames(const std::vector<std::string>& addresses) {
    std::vector<std::wstring> names;
    for (const std::string& address : addresses) names.push_back(FileNameFromUrl(address));
    std::vector<std::wstring> result = names;
    for (size_t i = 0; i < names.size(); ++i) {
        for (size_t j = 0; j < names.size(); ++j) {
            if (addresses[i] == addresses[j] || !SameNameIgnoringCase(names[i], names[j])) continue;
            result[i] = Tagged(names[i], AddressTag(addresses[i]));
            break;
        }
    }
    return result;
}

std::wstring FileNameFromUrl(std::string_view address) {
    address = address.substr(0, address.find_first_of("?#"));
    size_t slash = address.rfind('/');
    std::string_view segment = slash == std::string_view::npos ? address : address.substr(slash + 1);
    std::wstring name = DecodeUtf8(PercentDecodeUtf8(segment));
    for (wchar_t& ch : name)
        if (Forbidden(ch)) ch = kReplacement;
    TrimTrailingDotsAndSpaces(name);
    Shorten(name);
    if (IsDeviceName(name)) name.insert(name.begin(), kReplacement);
    return name.empty() ? kFallbackFileName : name;
}

}  // namespace Windows
