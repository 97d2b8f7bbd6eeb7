// The layout's value syntax: colours, rectangles, attribute lists, image
// descriptions and label markup.
#include <gtest/gtest.h>

#include "ui/toolkit/Attributes.h"
#include "ui/toolkit/ImageDescription.h"
#include "ui/toolkit/Markup.h"

using namespace DuiLib;

TEST(ParseValues, ColoursRectsAndSizes) {
    EXPECT_EQ(ParseColor(L"#FF238EF9"), 0xFF238EF9u);
    EXPECT_EQ(ParseColor(L"#238ef9"), 0xFF238EF9u);  // no alpha: opaque
    EXPECT_EQ(ParseColor(L" 0x800081F3 "), 0x800081F3u);
    EXPECT_FALSE(ParseColor(L"238EF9"));
    EXPECT_FALSE(ParseColor(L"#FF238EF"));
    EXPECT_FALSE(ParseColor(L"#GG238EF9"));

    RECT r = ParseRect(L"1, 2,3 ,4");
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.bottom, 4);
    RECT all = ParseRect(L"5");
    EXPECT_EQ(all.top, 5);
    EXPECT_EQ(all.right, 5);
    RECT bad = ParseRect(L"1,2,x,4");
    EXPECT_EQ(bad.left, 0);
    SIZE s = ParseSize(L"920,560");
    EXPECT_EQ(s.cx, 920);
    EXPECT_EQ(s.cy, 560);
    EXPECT_EQ(ParseInt(L"-12"), -12);
    EXPECT_EQ(ParseInt(L"99999999999", 7), 7);
    EXPECT_EQ(ParseAlign(L"right vcenter", DT_LEFT | DT_TOP), UINT(DT_RIGHT | DT_VCENTER));
    EXPECT_EQ(ParseAlign(L"center", DT_LEFT | DT_BOTTOM), UINT(DT_CENTER | DT_BOTTOM));
}

TEST(ParseValues, AttributeListsKeepQuotedText) {
    auto pairs = ParseAttributeList(L"res='img/a b.png' source=\"0,0,42,30\"  fade='128'");
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[0].second, L"img/a b.png");
    EXPECT_EQ(pairs[1].first, L"source");
    EXPECT_EQ(pairs[1].second, L"0,0,42,30");
    // An unterminated value ends the list instead of swallowing the rest.
    EXPECT_EQ(ParseAttributeList(L"a='1' b='2").size(), 1u);
}

TEST(ImageDescription, PlainNameAndFullForm) {
    auto plain = ParseImageDescription(L"img/close.png");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->file, L"img/close.png");
    EXPECT_FALSE(plain->source);

    auto full = ParseImageDescription(L"res='img/close.png' source='42,0,84,30' corner='2,3,4,5' fade='200' dest='1,1,11,11'");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->file, L"img/close.png");
    ASSERT_TRUE(full->source);
    EXPECT_EQ(full->source->left, 42);
    EXPECT_EQ(full->source->right, 84);
    EXPECT_EQ(full->corner.bottom, 5);
    EXPECT_EQ(full->fade, 200);
    ASSERT_TRUE(full->dest);
    EXPECT_EQ(full->dest->right, 11);
    EXPECT_EQ(ParseImageDescription(L"file='x.png' fade='999'")->fade, 255);

    EXPECT_FALSE(ParseImageDescription(L""));
    EXPECT_FALSE(ParseImageDescription(L"source='0,0,1,1'"));  // no file
}

TEST(Markup, ColourAndFontRuns) {
    auto runs = ParseMarkup(L"共<c #e62c2c>3</c>个问题<f 60>大</f>");
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].text, L"共");
    EXPECT_FALSE(runs[0].color);
    EXPECT_EQ(runs[1].text, L"3");
    EXPECT_EQ(runs[1].color, 0xFFE62C2Cu);
    EXPECT_EQ(runs[2].text, L"个问题");
    EXPECT_FALSE(runs[2].color);
    EXPECT_EQ(runs[3].text, L"大");
    EXPECT_EQ(runs[3].font, 60);
}

TEST(Markup, NestingBreaksAndStrayText) {
    auto nested = ParseMarkup(L"<c #ff0000>a<b>b</b></c>c");
    ASSERT_EQ(nested.size(), 3u);
    EXPECT_TRUE(nested[1].bold);
    EXPECT_EQ(nested[1].color, 0xFFFF0000u);
    EXPECT_FALSE(nested[2].color);

    auto lines = ParseMarkup(L"one<n>two");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1].lineBreak);
    EXPECT_EQ(lines[1].text, L"two");

    // Text that only looks like markup stays text; stray closers vanish.
    auto stray = ParseMarkup(L"a < b </c> <x> <c nocolour>");
    std::wstring all;
    for (const auto& run : stray) all += run.text;
    EXPECT_EQ(all, L"a < b  <x> <c nocolour>");
    for (const auto& run : stray) EXPECT_FALSE(run.color);
}
