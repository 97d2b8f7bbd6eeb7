// CDuiString: the UTF-16 string that crosses the toolkit's interface.
#pragma once
#include <string>
#include <string_view>

namespace DuiLib {

class CDuiString : public std::wstring {
public:
    CDuiString() = default;
    CDuiString(const wchar_t* text) : std::wstring(text ? text : L"") {}
    CDuiString(const wchar_t* text, size_t length) : std::wstring(text ? text : L"", text ? length : 0) {}
    CDuiString(std::wstring text) : std::wstring(std::move(text)) {}
    CDuiString(std::wstring_view text) : std::wstring(text) {}

    const wchar_t* GetData() const { return c_str(); }
    int GetLength() const { return static_cast<int>(size()); }
    bool IsEmpty() const { return empty(); }
    void Empty() { clear(); }
};

}  // namespace DuiLib
