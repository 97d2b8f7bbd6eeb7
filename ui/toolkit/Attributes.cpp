#include "ui/toolkit/Attributes.h"

#include <climits>
#include <cwctype>

namespace DuiLib {
namespace {

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && iswspace(text.front())) text.remove_prefix(1);
    while (!text.empty() && iswspace(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<int> ParseInts(std::wstring_view text) {
    std::vector<int> values;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(L',', start);
        if (comma == std::wstring_view::npos) comma = text.size();
        std::wstring_view part = Trim(text.substr(start, comma - start));
        int value = ParseInt(part, INT_MIN);
        if (value == INT_MIN) return {};  // one bad number spoils the whole value
        values.push_back(value);
        start = comma + 1;
    }
    return values;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace

std::optional<DWORD> ParseColor(std::wstring_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == L'#') {
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        text.remove_prefix(2);
    } else {
        return std::nullopt;
    }
    if (text.size() != 6 && text.size() != 8) return std::nullopt;
    DWORD value = 0;
    for (wchar_t c : text) {
        int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<DWORD>(digit);
    }
    if (text.size() == 6) value |= 0xFF000000;
    return value;
}

RECT ParseRect(std::wstring_view text) {
    std::vector<int> v = ParseInts(text);
    if (v.size() == 1) return RECT{v[0], v[0], v[0], v[0]};
    if (v.size() == 4) return RECT{v[0], v[1], v[2], v[3]};
    return RECT{};
}

SIZE ParseSize(std::wstring_view text) {
    std::vector<int> v = ParseInts(text);
    if (v.size() == 1) return SIZE{v[0], v[0]};
    if (v.size() == 2) return SIZE{v[0], v[1]};
    return SIZE{};
}

int ParseInt(std::wstring_view text, int fallback) {
    text = Trim(text);
    if (text.empty()) return fallback;
    bool negative = false;
    if (text.front() == L'-' || text.front() == L'+') {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    if (text.empty()) return fallback;
    long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return fallback;
        value = value * 10 + (c - L'0');
        if (value > 0x7FFFFFFF) return fallback;
    }
    return static_cast<int>(negative ? -value : value);
}

bool ParseBool(std::wstring_view text) {
    text = Trim(text);
    return text == L"true" || text == L"TRUE" || text == L"True" || text == L"1";
}

std::vector<std::pair<std::wstring, std::wstring>> ParseAttributeList(std::wstring_view text) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && iswspace(text[i])) ++i;
        size_t nameStart = i;
        while (i < text.size() && text[i] != L'=' && !iswspace(text[i])) ++i;
        std::wstring_view name = text.substr(nameStart, i - nameStart);
        while (i < text.size() && iswspace(text[i])) ++i;
        if (name.empty() || i >= text.size() || text[i] != L'=') break;
        ++i;
        while (i < text.size() && iswspace(text[i])) ++i;
        if (i >= text.size()) break;
        wchar_t quote = text[i];
        if (quote != L'\'' && quote != L'"') break;
        size_t valueStart = ++i;
        size_t end = text.find(quote, valueStart);
        if (end == std::wstring_view::npos) break;
        pairs.emplace_back(std::wstring(name), std::wstring(text.substr(valueStart, end - valueStart)));
        i = end + 1;
    }
    return pairs;
}

UINT ParseAlign(std::wstring_view text, UINT current) {
    UINT horizontal = current & (DT_CENTER | DT_RIGHT);
    UINT vertical = current & (DT_VCENTER | DT_BOTTOM);
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (iswspace(text[i]) || text[i] == L',' || text[i] == L'|')) ++i;
        size_t start = i;
        while (i < text.size() && !iswspace(text[i]) && text[i] != L',' && text[i] != L'|') ++i;
        std::wstring_view word = text.substr(start, i - start);
        if (word == L"left") horizontal = DT_LEFT;
        else if (word == L"center") horizontal = DT_CENTER;
        else if (word == L"right") horizontal = DT_RIGHT;
        else if (word == L"top") vertical = DT_TOP;
        else if (word == L"vcenter") vertical = DT_VCENTER;
        else if (word == L"bottom") vertical = DT_BOTTOM;
    }
    return horizontal | vertical;
}

}  // namespace DuiLib
