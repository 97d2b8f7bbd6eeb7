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

namespace {

int HexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
}

}  // namespace

std::string PercentDecodeUtf8(std::string_view encoded) {
    std::string out;
    out.reserve(encoded.size());
    for (size_t i = 0; i < encoded.size(); ++i) {
        char ch = encoded[i];
        int high = -1, low = -1;
        if (ch == '%' && i + 2 < encoded.size() && (high = HexValue(encoded[i + 1])) >= 0 &&
            (low = HexValue(encoded[i + 2])) >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += ch == '+' ? ' ' : ch;
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
