#include <gtest/gtest.h>

#include "ui/PercentEncode.h"

TEST(PercentEncode, KeepsOnlyTheUnreservedCharacters) {
    EXPECT_EQ(PercentEncode(L"AZaz09-_.~"), L"AZaz09-_.~");
    EXPECT_EQ(PercentEncode(L""), L"");
    // Everything a URL gives a meaning to is escaped, in upper-case hex.
    EXPECT_EQ(PercentEncode(L":/?#[]@!$&'()*,;=%\"<>\\^`{|}"),
              L"%3A%2F%3F%23%5B%5D%40%21%24%26%27%28%29%2A%2C%3B%3D%25%22%3C%3E%5C%5E%60%7B%7C%7D");
    EXPECT_EQ(PercentEncode(std::wstring(L"\x01\n\x7f\0z", 5)), L"%01%0A%7F%00z");
}

TEST(PercentEncode, SpaceIsPlusAndPlusIsEscaped) {
    EXPECT_EQ(PercentEncode(L"a b  c"), L"a+b++c");
    EXPECT_EQ(PercentEncode(L"1+1"), L"1%2B1");
}

TEST(PercentEncode, TextIsEncodedAsUtf8Bytes) {
    EXPECT_EQ(PercentEncode(L"状态码: 404"), L"%E7%8A%B6%E6%80%81%E7%A0%81%3A+404");
    EXPECT_EQ(PercentEncode(L"é"), L"%C3%A9");
    // A character outside the BMP is one four-byte sequence, not two surrogates.
    EXPECT_EQ(PercentEncode(L"\U0001F600"), L"%F0%9F%98%80");
    EXPECT_EQ(PercentEncodeUtf8("\xE4\xB8\xAD\xFF"), "%E4%B8%AD%FF");
}

TEST(ChatLink, NumbersTheValuesFromC1) {
    EXPECT_EQ(ChatLink(L"http://h/kefu?from=x", {L"a b", L"", L"中"}),
              L"http://h/kefu?from=x&c1=a+b&c2=&c3=%E4%B8%AD");
    EXPECT_EQ(ChatLink(L"http://h/kefu?from=x", {}), L"http://h/kefu?from=x");
}

TEST(PercentEncode, DecodingGivesTheBytesBack) {
    EXPECT_EQ(PercentDecodeUtf8("a+b%20c"), "a b c");
    EXPECT_EQ(PercentDecodeUtf8("%E4%B8%ad"), "\xE4\xB8\xAD");  // either case of hex digit
    EXPECT_EQ(PercentDecodeUtf8("%00"), std::string(1, '\0'));
    // Malformed escapes stay as they are.
    EXPECT_EQ(PercentDecodeUtf8("100%"), "100%");
    EXPECT_EQ(PercentDecodeUtf8("%4"), "%4");
    EXPECT_EQ(PercentDecodeUtf8("%G1%"), "%G1%");
}
