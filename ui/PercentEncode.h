// Query values that the programs encode themselves (the customer-service chat
// links), and the way back for names taken from addresses. Every chat link
// goes through here, so they all read the same.
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

// UTF-8 bytes as a query value: ASCII letters, digits, "-", "_", ".", "~"
// stay, a space becomes "+", every other byte "%" and two upper-case hex digits.
std::string PercentEncodeUtf8(std::string_view utf8);
// The same for UTF-16 text, which is converted to UTF-8 first.
std::wstring PercentEncode(std::wstring_view text);

// The bytes behind an encoded text: "+" is a space, "%" and two hex digits
// that byte; everything else, a malformed escape included, stays as it is.
std::string PercentDecodeUtf8(std::string_view encoded);

// base + "&c1=" + enc(values[0]) + "&c2=" + ... : base already carries a query.
std::wstring ChatLink(std::wstring_view base, std::initializer_list<std::wstring_view> values);
