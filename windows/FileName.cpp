#include "windows/FileName.h"

#include <cwctype>

#include "ui/PercentEncode.h"

namespace Windows {

namespace {

constexpr wchar_t kReplacement = L'_';

// Strict UTF-8: overlong forms, surrogates and values past U+10FFFF are
// invalid, and each byte of an invalid sequence becomes one kReplacement.
std::wstring DecodeUtf8(std::string_view bytes) {
    std::wstring out;
    size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
        char32_t value = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
        bool valid = extra >= 0 && i + extra < bytes.size();
        for (int k = 1; valid && k <= extra; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3F);
        }
        static const char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        valid = valid && value >= kSmallest[extra] && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
        if (!valid) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (value >= 0x10000) {
            value -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (value >> 10));
            out += static_cast<wchar_t>(0xDC00 + (value & 0x3FF));
        } else {
            out += static_cast<wchar_t>(value);
        }
        i += extra + 1;
    }
    return out;
}

bool Forbidden(wchar_t ch) { return ch < 0x20 || ch == 0x7F || std::wstring_view(L"<>:\"/\\|?*").find(ch) != std::wstring_view::npos; }

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

}  // namespace

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
