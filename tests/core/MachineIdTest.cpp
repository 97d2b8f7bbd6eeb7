// The machine identifier: its arithmetic on known inputs, and that the real
// one is three numbers that do not change while the process runs.
#include <gtest/gtest.h>

#include <regex>

#include "core/MachineId.h"
#include "platform/Text.h"

TEST(MachineIdParts, AddressSumAddsLittleEndianWordsModulo65536) {
    const unsigned char mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(0x1A00 + 0x3C2B + 0x5E4D, AddressSum(mac, 6));
    const unsigned char wraps[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0x00};
    EXPECT_EQ(0x0001, AddressSum(wraps, 6));
    const unsigned char odd[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(0x0201 + 0x03, AddressSum(odd, 3)) << "a last unpaired byte is added unshifted";
    EXPECT_EQ(0, AddressSum(mac, 0));
}

TEST(MachineIdParts, CpuAndVolumeSumsFoldWords) {
    // CPUID leaf 0 of an Intel processor: "Genu" "ntel" "ineI" with the top leaf 0x16.
    EXPECT_EQ(29548, CpuSum(0x16, 0x756E6547, 0x6C65746E, 0x49656E69));
    EXPECT_EQ(0xFFFC, CpuSum(0xFFFFFFFF, 0, 0, 0xFFFFFFFF));
    EXPECT_EQ(0x1234 + 0xABCD, VolumeSum(0x1234ABCD));
    EXPECT_EQ(0xFFFE, VolumeSum(0xFFFFFFFF));
}

TEST(MachineIdParts, Djb2RunsOverUtf16Units) {
    EXPECT_EQ(5381u, Djb2(L""));
    EXPECT_EQ(177670u, Djb2(L"a"));
    EXPECT_EQ(261238937u, Djb2(L"hello"));
    EXPECT_EQ(6737826u, Djb2(L"文件")) << "units, not UTF-8 bytes";
    EXPECT_EQ(7743522u, Djb2(L"\U0001F600")) << "a surrogate pair is two units";
}

TEST(MachineIdParts, SeedAndIdentifierText) {
    MachineFacts facts;
    facts.computerName = L"PC";
    facts.cpu = 12;
    facts.volume = 345;
    facts.macLow = 6;
    facts.macHigh = 78;
    facts.adaptersRead = true;
    EXPECT_EQ(L"PC12345678", SeedText(facts));
    EXPECT_EQ(L"-1312261892-6-78", MachineIdFrom(facts)) << "the hash is printed signed";

    MachineFacts noAdapters = facts;
    noAdapters.adaptersRead = false;
    noAdapters.macLow = noAdapters.macHigh = 0;
    EXPECT_EQ(L"PC12345", SeedText(noAdapters));
    EXPECT_EQ(L"-1311819945-0-0", MachineIdFrom(noAdapters));

    facts.computerName = L"";
    facts.macLow = 0;
    EXPECT_EQ(std::to_wstring(static_cast<std::int32_t>(Djb2(L"12345078"))) + L"-0-78", MachineIdFrom(facts));
}

TEST(MachineId, IsThreeNumbersAndStableOnThisMachine) {
    const std::wstring& id = MachineId();
    EXPECT_TRUE(std::regex_match(WideToUtf8(id), std::regex("-?[0-9]+-[0-9]+-[0-9]+"))) << WideToUtf8(id);
    EXPECT_EQ(&id, &MachineId()) << "computed once";

    MachineFacts facts = ReadMachineFacts();
    EXPECT_FALSE(facts.computerName.empty());
    EXPECT_LE(facts.macLow, facts.macHigh);
    if (!facts.adaptersRead) {
        EXPECT_EQ(0, facts.macLow + facts.macHigh);
    }
    EXPECT_EQ(id, MachineIdFrom(facts)) << "a second reading gives the same identifier";
}
