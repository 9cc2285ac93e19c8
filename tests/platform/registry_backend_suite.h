// One suite for every registry backend, so that the in-memory double cannot drift from the real
// ones: each backend's test file instantiates RegistryBackend with its own Backend.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/support/temp_dir.h"

namespace zel::testing {

struct RegistryBackendParam {
    const char* name;
    // A fresh, empty registry; `dir` is a private folder it may keep files in. A backend whose writes
    // are refused by the outside world reads *refuse.
    std::function<std::unique_ptr<platform::Registry>(const std::filesystem::path& dir, bool* refuse)> make;
    // Refuses the registry's writes from now on, for a backend that is told so directly.
    std::function<void(platform::Registry&)> refuse;
};

class RegistryBackend : public ::testing::TestWithParam<RegistryBackendParam> {
protected:
    void SetUp() override { m_registry = GetParam().make(m_dir, &m_refuse); }
    void RefuseWrites() {
        m_refuse = true;
        if (GetParam().refuse) GetParam().refuse(*m_registry);
    }

    static platform::RegistryValue Sz(const std::string& name, const std::string& text) {
        return platform::RegistryValue{name, platform::kRegSz, text + std::string(1, '\0')};
    }
    std::vector<std::string> Names(platform::RegistryRoot root, const std::string& key) {
        std::vector<std::string> names;
        platform::RegistryValue value;
        while (m_registry->EnumValue(root, key, names.size(), value) == platform::RegistryStatus::kOk)
            names.push_back(value.name);
        return names;
    }

    TempDir m_temp;
    std::filesystem::path m_dir = m_temp.path();
    bool m_refuse = false;
    std::unique_ptr<platform::Registry> m_registry;
};

inline std::string RegistryBackendName(const ::testing::TestParamInfo<RegistryBackendParam>& info) {
    return info.param.name;
}

}  // namespace zel::testing
