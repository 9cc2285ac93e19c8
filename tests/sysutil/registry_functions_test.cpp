#include "sysutil/registry_functions.h"

#include <gtest/gtest.h>

#include "platform/memory_registry.h"
#include "platform/services.h"

namespace {

using zel::platform::MemoryRegistry;
using zel::platform::RegistryRoot;
using zel::platform::RegistryValue;
using zel::platform::ScopedServices;

class RegistryFunctions : public ::testing::Test {
protected:
    void Put(RegistryRoot root, const std::string& key, const std::string& name, std::uint32_t type,
             const std::string& data) {
        ASSERT_EQ(m_registry.CreateKey(root, key), zel::platform::RegistryStatus::kOk);
        ASSERT_EQ(m_registry.SetValue(root, key, RegistryValue{name, type, data}), zel::platform::RegistryStatus::kOk);
    }
    MemoryRegistry m_registry;
    ScopedServices m_services{{.registry = &m_registry}};
};

TEST_F(RegistryFunctions, EnumGivesStringsSkipsOthersAndEndsWithMinusTwo) {
    const std::string key = "Software\\Test";
    Put(RegistryRoot::kLocalMachine, key, "a", zel::platform::kRegSz, std::string("one\0", 4));
    Put(RegistryRoot::kLocalMachine, key, "b", zel::platform::kRegDword, std::string("\1\0\0\0", 4));
    Put(RegistryRoot::kLocalMachine, key, "c", zel::platform::kRegSz, std::string("three\0", 6));
    CString name = "unchanged", data = "unchanged";
    EXPECT_EQ(RegistryEnumValue(HKEY_LOCAL_MACHINE, key, 0, name, data), 0);
    EXPECT_EQ(name, "a");
    EXPECT_EQ(data, "one");
    EXPECT_EQ(RegistryEnumValue(HKEY_LOCAL_MACHINE, key, 1, name, data), -1);
    EXPECT_EQ(name, "a");
    EXPECT_EQ(RegistryEnumValue(HKEY_LOCAL_MACHINE, key, 2, name, data), 0);
    EXPECT_EQ(data, "three");
    EXPECT_EQ(RegistryEnumValue(HKEY_LOCAL_MACHINE, key, 3, name, data), -2);
    EXPECT_EQ(RegistryEnumValue(HKEY_LOCAL_MACHINE, "Software\\Missing", 0, name, data), -2);
    EXPECT_EQ(RegistryEnumValue(HKEY_LOCAL_MACHINE, key, -1, name, data), -2);
    EXPECT_EQ(RegistryEnumValue(reinterpret_cast<HKEY>(std::uintptr_t{0x12345678}), key, 0, name, data), -2);
    EXPECT_EQ(RegistryEnumValue(HKEY_PERFORMANCE_DATA, "", 0, name, data), -2);
}

TEST_F(RegistryFunctions, BufferLimitsAreTheTerminatorIncluded) {
    const std::string key = "Limits";
    Put(RegistryRoot::kCurrentUser, key, "fits", zel::platform::kRegSz, std::string(1023, 'x') + '\0');
    Put(RegistryRoot::kCurrentUser, key, "long", zel::platform::kRegSz, std::string(1024, 'x') + '\0');
    Put(RegistryRoot::kCurrentUser, key, std::string(1024, 'n'), zel::platform::kRegSz, std::string("\0", 1));
    CString name, data;
    EXPECT_EQ(RegistryEnumValue(HKEY_CURRENT_USER, key, 0, name, data), 0);
    EXPECT_EQ(data.size(), 1023u);
    EXPECT_EQ(RegistryEnumValue(HKEY_CURRENT_USER, key, 1, name, data), -2);  // "long"
    EXPECT_EQ(RegistryEnumValue(HKEY_CURRENT_USER, key, 2, name, data), -2);  // 1024-byte name
    EXPECT_EQ(RegistryReadString(HKEY_CURRENT_USER, key, "long", "dflt"), "dflt");
    EXPECT_EQ(RegistryReadString(HKEY_CURRENT_USER, key, "FITS", "dflt").size(), 1023u);
}

TEST_F(RegistryFunctions, SetStringCreatesTheKeyAndAddressesTheDefaultValue) {
    EXPECT_EQ(RegistrySetString(HKEY_CLASSES_ROOT, "comfile\\shell\\open\\command", "", "\"%1\" %*"), 1);
    RegistryValue value;
    ASSERT_EQ(m_registry.QueryValue(RegistryRoot::kLocalMachine, "Software\\Classes\\comfile\\shell\\open\\command", "",
                                    value),
              zel::platform::RegistryStatus::kOk);
    EXPECT_EQ(value.type, zel::platform::kRegSz);
    EXPECT_EQ(value.data, std::string("\"%1\" %*\0", 8));
    EXPECT_EQ(RegistryReadString(HKEY_CLASSES_ROOT, "comfile\\shell\\open\\command", "", "x"), "\"%1\" %*");
    EXPECT_EQ(RegistrySetString(HKEY_DYN_DATA, "a", "b", "c"), 0);
}

TEST_F(RegistryFunctions, RefusedWritesReportFailure) {
    m_registry.RefuseWrites("Wine is running");
    EXPECT_EQ(RegistryCreateKey(HKEY_CURRENT_USER, "New"), 0);
    EXPECT_EQ(RegistrySetString(HKEY_CURRENT_USER, "", "v", "t"), 0);
    m_registry.RefuseWrites("");
    EXPECT_EQ(RegistryCreateKey(HKEY_CURRENT_USER, "New"), 1);
    EXPECT_EQ(RegistrySetString(HKEY_CURRENT_USER, "New", "v", "t"), 1);
}

TEST_F(RegistryFunctions, DeleteAndReadDefaults) {
    Put(RegistryRoot::kLocalMachine, "K", "v", zel::platform::kRegSz, std::string("x\0", 2));
    Put(RegistryRoot::kLocalMachine, "K", "n", zel::platform::kRegDword, std::string(4, '\0'));
    EXPECT_EQ(RegistryReadString(HKEY_LOCAL_MACHINE, "K", "n", "d"), "d");  // not a string
    EXPECT_EQ(RegistryReadString(HKEY_LOCAL_MACHINE, "K", "V", "d"), "x");
    RegistryDeleteValue(HKEY_LOCAL_MACHINE, "K", "V");
    RegistryDeleteValue(HKEY_LOCAL_MACHINE, "K", "absent");
    RegistryDeleteValue(HKEY_LOCAL_MACHINE, "Missing", "v");
    EXPECT_EQ(RegistryReadString(HKEY_LOCAL_MACHINE, "K", "v", "d"), "d");
    EXPECT_EQ(RegistryReadString(HKEY_LOCAL_MACHINE, "Missing", "v", "d"), "d");
}

}  // namespace
