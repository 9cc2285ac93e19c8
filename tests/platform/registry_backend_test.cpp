// The registry suite's cases, and its run on the in-memory double (the other backends' test files
// run it on theirs).
#include "tests/platform/registry_backend_suite.h"

#include "platform/memory_registry.h"

namespace {

using namespace zel::platform;
using zel::testing::RegistryBackend;

TEST_P(RegistryBackend, KeysAreCreatedLevelByLevelAndFoundInAnyCase) {
    auto& r = *m_registry;
    EXPECT_EQ(r.OpenKey(RegistryRoot::kLocalMachine, "Software\\A\\B"), RegistryStatus::kNotFound);
    EXPECT_EQ(r.CreateKey(RegistryRoot::kLocalMachine, "Software\\A\\B"), RegistryStatus::kOk);
    EXPECT_EQ(r.OpenKey(RegistryRoot::kLocalMachine, "software\\a"), RegistryStatus::kOk);
    EXPECT_EQ(r.OpenKey(RegistryRoot::kLocalMachine, "SOFTWARE\\A\\B"), RegistryStatus::kOk);
    EXPECT_EQ(r.CreateKey(RegistryRoot::kLocalMachine, "software\\a\\b"), RegistryStatus::kOk);
    EXPECT_EQ(r.OpenKey(RegistryRoot::kLocalMachine, ""), RegistryStatus::kOk);
    EXPECT_EQ(r.OpenKey(RegistryRoot::kPerformanceData, ""), RegistryStatus::kFailed);
    EXPECT_EQ(r.CreateKey(RegistryRoot::kDynData, "X"), RegistryStatus::kFailed);
}

TEST_P(RegistryBackend, RootsShareTheirHives) {
    auto& r = *m_registry;
    ASSERT_EQ(r.CreateKey(RegistryRoot::kClassesRoot, "exefile\\shell\\open\\command"), RegistryStatus::kOk);
    ASSERT_EQ(r.SetValue(RegistryRoot::kClassesRoot, "exefile\\shell\\open\\command", Sz("", "\"%1\" %*")),
              RegistryStatus::kOk);
    RegistryValue value;
    EXPECT_EQ(r.QueryValue(RegistryRoot::kLocalMachine, "Software\\Classes\\exefile\\shell\\open\\command", "", value),
              RegistryStatus::kOk);
    EXPECT_EQ(value, Sz("", "\"%1\" %*"));
    ASSERT_EQ(r.CreateKey(RegistryRoot::kCurrentUser, "Software\\Run"), RegistryStatus::kOk);
    ASSERT_EQ(r.SetValue(RegistryRoot::kCurrentUser, "Software\\Run", Sz("x", "y")), RegistryStatus::kOk);
    EXPECT_EQ(r.QueryValue(RegistryRoot::kUsers, std::string(kCurrentUserSid) + "\\Software\\Run", "X", value),
              RegistryStatus::kOk);
    ASSERT_EQ(r.CreateKey(RegistryRoot::kCurrentConfig, "Software\\Cfg"), RegistryStatus::kOk);
    EXPECT_EQ(
        r.OpenKey(RegistryRoot::kLocalMachine, "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Cfg"),
        RegistryStatus::kOk);
    EXPECT_EQ(r.OpenKey(RegistryRoot::kUsers, ".DEFAULT"), RegistryStatus::kOk);
    EXPECT_EQ(r.OpenKey(RegistryRoot::kUsers, ""), RegistryStatus::kOk);
    EXPECT_EQ(r.CreateKey(RegistryRoot::kUsers, "S-1-5-99\\X"), RegistryStatus::kFailed);
}

TEST_P(RegistryBackend, ValuesStaySortedWithTheDefaultFirst) {
    auto& r = *m_registry;
    const std::string key = "Software\\Sorted";
    ASSERT_EQ(r.CreateKey(RegistryRoot::kLocalMachine, key), RegistryStatus::kOk);
    for (const char* name : {"b", "C", "a", "", "_x"}) {
        ASSERT_EQ(r.SetValue(RegistryRoot::kLocalMachine, key, Sz(name, name)), RegistryStatus::kOk);
    }
    EXPECT_EQ(Names(RegistryRoot::kLocalMachine, key), (std::vector<std::string>{"", "a", "b", "C", "_x"}));
    // Replacing keeps the first spelling and the place.
    ASSERT_EQ(r.SetValue(RegistryRoot::kLocalMachine, key, Sz("c", "new")), RegistryStatus::kOk);
    RegistryValue value;
    ASSERT_EQ(r.EnumValue(RegistryRoot::kLocalMachine, key, 3, value), RegistryStatus::kOk);
    EXPECT_EQ(value, Sz("C", "new"));
    ASSERT_EQ(r.DeleteValue(RegistryRoot::kLocalMachine, key, "A"), RegistryStatus::kOk);
    EXPECT_EQ(r.DeleteValue(RegistryRoot::kLocalMachine, key, "A"), RegistryStatus::kNotFound);
    EXPECT_EQ(Names(RegistryRoot::kLocalMachine, key), (std::vector<std::string>{"", "b", "C", "_x"}));
    EXPECT_EQ(r.SetValue(RegistryRoot::kLocalMachine, "Software\\Missing", Sz("a", "b")), RegistryStatus::kNotFound);
    EXPECT_EQ(r.DeleteValue(RegistryRoot::kLocalMachine, "Software\\Missing", "a"), RegistryStatus::kNotFound);
}

TEST_P(RegistryBackend, EveryTypeRoundTrips) {
    auto& r = *m_registry;
    const std::string key = "Software\\Types";
    ASSERT_EQ(r.CreateKey(RegistryRoot::kCurrentUser, key), RegistryStatus::kOk);
    std::vector<RegistryValue> values = {
        {"bin", kRegBinary, std::string("\0\1\xff", 3)},
        {"dw", kRegDword, std::string("\x78\x56\x34\x12", 4)},
        {"empty", kRegSz, std::string("\0", 1)},
        {"exp", kRegExpandSz, std::string("%SystemRoot%\\x.dll\0", 19)},
        {"multi", kRegMultiSz, std::string("a\0b\0\0", 5)},
        {"none", kRegNone, ""},
        {"odd", kRegMultiSz, std::string("no end", 6)},
        {"qw", kRegQword, std::string("\xf0\xde\xbc\x9a\x78\x56\x34\x12", 8)},
        {"sz", kRegSz, std::string("tab\there \"q\" \\ \xe9\xfc\x80 \x01\x37\0", 21)},
        {"t123", 0x123, std::string("\1\2", 2)},
        {"wide", kRegBinary, std::string(100, '\x5a')},
    };
    for (const auto& value : values) ASSERT_EQ(r.SetValue(RegistryRoot::kCurrentUser, key, value), RegistryStatus::kOk);
    for (std::size_t i = 0; i < values.size(); ++i) {
        RegistryValue read;
        ASSERT_EQ(r.EnumValue(RegistryRoot::kCurrentUser, key, i, read), RegistryStatus::kOk);
        EXPECT_EQ(read, values[i]) << values[i].name;
    }
}

TEST_P(RegistryBackend, RefusedWritesChangeNothing) {
    auto& r = *m_registry;
    ASSERT_EQ(r.CreateKey(RegistryRoot::kLocalMachine, "K"), RegistryStatus::kOk);
    ASSERT_EQ(r.SetValue(RegistryRoot::kLocalMachine, "K", Sz("v", "1")), RegistryStatus::kOk);
    RefuseWrites();
    EXPECT_NE(r.WriteRefusal(), "");
    EXPECT_EQ(r.CreateKey(RegistryRoot::kLocalMachine, "K2"), RegistryStatus::kLocked);
    EXPECT_EQ(r.CreateKey(RegistryRoot::kLocalMachine, "K"), RegistryStatus::kOk);  // exists: nothing to write
    EXPECT_EQ(r.SetValue(RegistryRoot::kLocalMachine, "K", Sz("v", "2")), RegistryStatus::kLocked);
    EXPECT_EQ(r.DeleteValue(RegistryRoot::kLocalMachine, "K", "v"), RegistryStatus::kLocked);
    RegistryValue value;
    ASSERT_EQ(r.QueryValue(RegistryRoot::kLocalMachine, "K", "v", value), RegistryStatus::kOk);
    EXPECT_EQ(value, Sz("v", "1"));
}

INSTANTIATE_TEST_SUITE_P(Memory, RegistryBackend,
                         ::testing::Values(zel::testing::RegistryBackendParam{
                             "memory", [](const auto&, bool*) { return std::make_unique<MemoryRegistry>(); },
                             [](Registry& registry) {
                                 static_cast<MemoryRegistry&>(registry).RefuseWrites("running");
                             }}),
                         zel::testing::RegistryBackendName);

}  // namespace
