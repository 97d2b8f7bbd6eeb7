#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Registry.h"

namespace {

// A key of this test's own below HKEY_LOCAL_MACHINE, removed afterwards.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        subKey_ = L"Software\\VantoroPlatformTest" + std::to_wstring(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (subKey_ + L"\\Inner").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, subKey_.c_str());
    }
    void SetBytes(const wchar_t* name, DWORD type, const void* data, size_t bytes) {
        RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
    }
    void SetString(const wchar_t* name, const std::wstring& value) {
        SetBytes(name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
    }
    std::wstring Inner() const { return subKey_ + L"\\Inner"; }

    std::wstring subKey_;
    HKEY key_ = nullptr;
};

}  // namespace

TEST_F(RegistryTest, ReadsStringsWhole) {
    std::wstring value200(200, L'v');
    value200[199] = L'z';
    SetString(L"Long", value200);
    EXPECT_EQ(ReadMachineString(Inner(), L"Long"), value200);

    std::wstring value600(600, L'w');
    SetString(L"Longer", value600);
    EXPECT_EQ(ReadMachineString(Inner(), L"Longer"), value600);

    SetString(L"Chinese", L"修复");
    EXPECT_EQ(ReadMachineString(Inner(), L"Chinese"), L"修复");
}

TEST_F(RegistryTest, StringStoredWithoutTerminatorGainsNothing) {
    SetBytes(L"Bare", REG_SZ, L"abc", 3 * sizeof(wchar_t));
    EXPECT_EQ(ReadMachineString(Inner(), L"Bare"), L"abc");
}

TEST_F(RegistryTest, AnythingUnreadableIsEmpty) {
    DWORD number = 0x00410041;
    SetBytes(L"Number", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(ReadMachineString(Inner(), L"Number"), L"");
    EXPECT_EQ(ReadMachineString(Inner(), L"Missing"), L"");
    EXPECT_EQ(ReadMachineString(subKey_ + L"\\NoSuchKey", L"Long"), L"");
}

TEST_F(RegistryTest, OpensStepByStepAndQueries) {
    DWORD number = 42;
    SetBytes(L"Number", REG_DWORD, &number, sizeof(number));

    Registry registry(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(registry.Open(L"Software\\VantoroNoSuchKeyAtAll", KEY_READ), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(registry.Open(subKey_.c_str(), KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(registry.Open(L"Inner", KEY_READ), ERROR_SUCCESS);  // below the key opened first

    DWORD read = 0, size = sizeof(read);
    EXPECT_TRUE(registry.Query(L"Number", &read, &size));
    EXPECT_EQ(read, 42u);
    EXPECT_FALSE(registry.Query(L"Missing", &read, &size));

    registry.Close();
    size = sizeof(read);
    EXPECT_FALSE(registry.Query(L"Number", &read, &size));
    registry.Close();  // twice is harmless
}
