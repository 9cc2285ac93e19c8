// Where the real test cabinets are: fetched on first use (see scripts/fetch-cab-fixtures.sh).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zel::cabinet::test {

inline std::string FixturesDir() {
    static const std::string dir = [] {
        std::string d = ZEL_CAB_FIXTURES;
        if (!std::filesystem::exists(d + "/.done")) {
            std::string command = std::string(ZEL_SOURCE_DIR) + "/scripts/fetch-cab-fixtures.sh '" + d + "'";
            (void)std::system(command.c_str());
        }
        return d + "/";
    }();
    return dir;
}

}  // namespace zel::cabinet::test
