// Where the real test cabinets are. They are fetched before the tests run (scripts/test.sh does it);
// a test that needs them fails when they are missing, saying how to get them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zel::cabinet::test {

inline std::string FixturesDir() {
    const std::string dir = ZEL_CAB_FIXTURES;
    if (!std::filesystem::exists(dir + "/.done")) {
        ADD_FAILURE() << "the real test cabinets are missing from " << dir << ": fetch them with "
                      << "scripts/fetch-cab-fixtures.sh " << dir << " (scripts/test.sh does it before the tests)";
    }
    return dir + "/";
}

}  // namespace zel::cabinet::test
