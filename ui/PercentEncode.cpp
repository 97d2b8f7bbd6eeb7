#include "ui/PercentEncode.h"

#include "platform/Text.h"

std::string PercentEncodeUtf8(std::string_view utf8) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8.size() * 3);
    for (char ch : utf8) {
        auto byte = static_cast<unsigned char>(ch);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '_' || byte == '.' || byte == '~') {
            out += ch;
        } else if (byte == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::wstring PercentEncode(std::wstring_view text) {
    std::string encoded = PercentEncodeUtf8(WideToUtf8(text));
    return std::wstring(encoded.begin(), encoded.end());  // ASCII only
}

std::wstring ChatLink(std::wstring_view base, std::initializer_list<std::wstring_view> values) {
    std::wstring link(base);
    int index = 1;
    for (std::wstring_view value : values) {
        link += L"&c" + std::to_wstring(index++) + L"=";
        link += PercentEncode(value);
    }
    return link;
}
