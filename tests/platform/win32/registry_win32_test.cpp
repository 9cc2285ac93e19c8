// The live registry backend: the shared suite in a private stand-in under HKEY_CURRENT_USER, and
// the system's own keys seen through it. Every key made lies below Software\ZelTest-<pid>-<n> and
// is removed again.
#include "platform/win32/registry_win32.h"

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "tests/platform/registry_backend_suite.h"

namespace {

using namespace zel::platform;

std::string PrivateKey() {
    static std::atomic<int> count{0};
    return "Software\\ZelTest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
}

void RemoveKey(const std::string& key) {
    RegDeleteTreeW(HKEY_CURRENT_USER, std::wstring(key.begin(), key.end()).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, std::wstring(key.begin(), key.end()).c_str());
}

// The stand-in registry, removed with the object.
class PrivateRegistry : public Win32Registry {
public:
    explicit PrivateRegistry(const std::string& key) : Win32Registry(key), m_key(key) {}
    ~PrivateRegistry() override { RemoveKey(m_key); }

private:
    std::string m_key;
};

using zel::testing::RegistryBackend;
INSTANTIATE_TEST_SUITE_P(
    Win32, RegistryBackend,
    ::testing::Values(zel::testing::RegistryBackendParam{
        "win32", [](const auto&, bool*) { return std::make_unique<PrivateRegistry>(PrivateKey()); },
        [](Registry& registry) { static_cast<Win32Registry&>(registry).RefuseWrites("refused"); }}),
    zel::testing::RegistryBackendName);

TEST(LiveRegistry, TextsReachTheSystemAsUtf16AndValuesEnumerateSorted) {
    const std::string key = PrivateKey();
    const std::wstring wide_key(key.begin(), key.end());
    Win32Registry live;
    ASSERT_EQ(live.CreateKey(RegistryRoot::kCurrentUser, key), RegistryStatus::kOk);
    // Windows-1252 in, UTF-16 at the system: e acute and the euro sign.
    ASSERT_EQ(live.SetValue(RegistryRoot::kCurrentUser, key, {"b", kRegSz, std::string("\xe9\x80\0", 3)}),
              RegistryStatus::kOk);
    wchar_t read[8] = {};
    DWORD size = sizeof read;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, wide_key.c_str(), L"b", RRF_RT_REG_SZ, nullptr, read, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(read), L"\u00e9\u20ac");
    // A name made by another program, outside Windows-1252, reads with '?' and sorts with the rest.
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, wide_key.c_str(), 0, KEY_SET_VALUE, &opened), ERROR_SUCCESS);
    const DWORD one = 1;
    RegSetValueExW(opened, L"\u0416", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegSetValueExW(opened, L"A", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(opened);
    std::vector<std::string> names;
    RegistryValue value;
    while (live.EnumValue(RegistryRoot::kCurrentUser, key, names.size(), value) == RegistryStatus::kOk)
        names.push_back(value.name);
    EXPECT_EQ(names, (std::vector<std::string>{"?", "A", "b"}));
    ASSERT_EQ(live.EnumValue(RegistryRoot::kCurrentUser, key, 0, value), RegistryStatus::kOk);
    EXPECT_EQ(value.data, std::string("\1\0\0\0", 4));  // the value found by its own name, not by "?"
    // A zero byte in a name never reaches the system as a shorter name.
    EXPECT_EQ(live.DeleteValue(RegistryRoot::kCurrentUser, key, std::string("b\0x", 3)), RegistryStatus::kNotFound);
    EXPECT_EQ(live.QueryValue(RegistryRoot::kCurrentUser, key, "b", value), RegistryStatus::kOk);
    EXPECT_EQ(live.OpenKey(RegistryRoot::kCurrentUser, key + std::string("\0\\x", 3)), RegistryStatus::kFailed);
    // The system's own keys, and the roots that never open.
    EXPECT_EQ(live.OpenKey(RegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion"),
              RegistryStatus::kOk);
    EXPECT_EQ(live.OpenKey(RegistryRoot::kPerformanceData, ""), RegistryStatus::kFailed);
    RemoveKey(key);
    EXPECT_EQ(live.OpenKey(RegistryRoot::kCurrentUser, key), RegistryStatus::kNotFound);
}

}  // namespace
