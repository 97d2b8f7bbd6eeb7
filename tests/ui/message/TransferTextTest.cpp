#include <gtest/gtest.h>

#include "ui/TransferText.h"

TEST(TransferTextTest, LongNamesKeepTheirStartAndExtension) {
    EXPECT_EQ(ShortenName(L"abcdefghijklmnopq.x"), L"abcdefghijklmn...q.x");
    EXPECT_EQ(ShortenName(L"abcdefghijklmnopqrstuvwxyz.exe"), L"abcdefghijkl...z.exe");
    EXPECT_EQ(ShortenName(L"abcdefghijklmnopqrstuvwxyz.exe").size(), 20u);
    EXPECT_EQ(ShortenName(L"系统重装助手专业版安装程序正式版本最新版.exe"), L"系统重装助手专业版安装程...版.exe");
    EXPECT_EQ(ShortenName(L"exactly17chars.ab"), L"exactly17chars.ab");
    EXPECT_EQ(ShortenName(L"abcdefghijklmnopqrstuvwxyz"), L"abcdefghijklmnopqrstuvwxyz") << "no dot";
    EXPECT_EQ(ShortenName(L"a.bcdefghijklmnopqrstuvwxyz"), L"a.bcdefghijklmnopqrstuvwxyz") << "dot too early";
    EXPECT_EQ(ShortenName(L""), L"");
}

TEST(TransferTextTest, SizesStepUpPastAThousand) {
    EXPECT_EQ(SizeText(0), L"0KB");
    EXPECT_EQ(SizeText(1023), L"0KB");
    EXPECT_EQ(SizeText(1025023), L"1000KB");
    EXPECT_EQ(SizeText(1025024), L"1MB");
    EXPECT_EQ(SizeText(350ull << 20), L"350MB");
    EXPECT_EQ(SizeText(1025024ull * 1024 - 1), L"1000MB");
    EXPECT_EQ(SizeText(1025024ull * 1024), L"1GB");
    EXPECT_EQ(SizeText(5ull << 30), L"5GB") << "a 5 GiB image must not wrap at 32 bits";
}

TEST(TransferTextTest, SpeedIsWholeKilobytesPerWholeSecond) {
    EXPECT_EQ(SpeedText(10 << 20, 999), L"0KB/s") << "the first second";
    EXPECT_EQ(SpeedText(0, 5000), L"0.00KB/s");
    EXPECT_EQ(SpeedText(512 * 1024, 1000), L"512.00KB/s");
    EXPECT_EQ(SpeedText(1000 * 1024, 1999), L"1000.00KB/s");
    EXPECT_EQ(SpeedText(1280 * 1024, 1000), L"1.25MB/s");
    EXPECT_EQ(SpeedText(5ull << 30, 10000), L"512.00MB/s") << "bytes past 4 GiB";
}

TEST(TransferTextTest, PercentStaysWithinTheBar) {
    EXPECT_EQ(Percent(0, 0), 0);
    EXPECT_EQ(Percent(500, 0), 0) << "unknown total";
    EXPECT_DOUBLE_EQ(Percent(256, 512), 50) << "a total under 1 KiB has no kilobytes to divide";
    EXPECT_DOUBLE_EQ(Percent(512, 512), 100);
    EXPECT_DOUBLE_EQ(Percent(1 << 20, 4 << 20), 25);
    EXPECT_DOUBLE_EQ(Percent(6ull << 30, 4ull << 30), 100) << "more than announced";
    EXPECT_DOUBLE_EQ(Percent(5ull << 30, 5ull << 30), 100);
}

TEST(TransferTextTest, PercentTextHasTwoDigitsAndReadsOneHundredAtTheEnd) {
    EXPECT_EQ(PercentText(0), L"0%");
    EXPECT_EQ(PercentText(5.24), L"5.2%");
    EXPECT_EQ(PercentText(55.4), L"55%");
    EXPECT_EQ(PercentText(99.7), L"99%") << "not done until done";
    EXPECT_EQ(PercentText(100), L"100%");
    EXPECT_EQ(PercentText(250), L"100%");
    EXPECT_EQ(PercentText(-3), L"0%");
}
