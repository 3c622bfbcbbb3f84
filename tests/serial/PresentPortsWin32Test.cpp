// The ports Windows lists, read from a SERIALCOMM key of the test's own: each
// COM name once, by number, whatever else the key holds.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "serial/PresentPorts.h"

namespace {

constexpr const wchar_t* kKey = L"Software\\Tirvel tests\\SERIALCOMM";

class PresentPortsWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key_);
        RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
    }
    void Set(const wchar_t* name, const std::wstring& data, DWORD type = REG_SZ) {
        ASSERT_EQ(RegSetValueExW(key_, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    HKEY key_ = nullptr;
};

TEST_F(PresentPortsWin32, ComNamesInNaturalOrderFromTheKey) {
    const serial::SerialCommKey place{true, "Software\\Tirvel tests\\SERIALCOMM"};
    EXPECT_TRUE(serial::ListPresentPorts(place).empty());
    Set(L"\\Device\\Serial0", L"COM10");
    Set(L"\\Device\\Serial1", L"COM2");
    Set(L"\\Device\\VCP0", L"COM3");
    Set(L"\\Device\\Parallel0", L"LPT1");
    Set(L"\\Device\\Odd", L"COM4", REG_EXPAND_SZ);
    const auto ports = serial::ListPresentPorts(place);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].name, "COM2");
    EXPECT_EQ(ports[1].name, "COM3");
    EXPECT_EQ(ports[2].name, "COM10");
    EXPECT_EQ(ports[2].comNumber, 10);
    EXPECT_TRUE(serial::ListPresentPorts({true, "Software\\Tirvel tests\\absent"}).empty());
}

}  // namespace
