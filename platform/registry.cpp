#include "platform/registry.h"

#include <array>

namespace zel::platform {
namespace {

// ASCII letters and the Latin-1 letters of the ANSI code page (0xE0-0xFE except the division
// sign) fold to their capitals.
unsigned char FoldCase(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    return c;
}

struct RootInfo {
    RegistryRoot root;
    std::uint32_t handle;
    const char* name;
};

constexpr std::array<RootInfo, 7> kRoots = {{
    {RegistryRoot::kClassesRoot, 0x80000000u, "HKEY_CLASSES_ROOT"},
    {RegistryRoot::kCurrentConfig, 0x80000005u, "HKEY_CURRENT_CONFIG"},
    {RegistryRoot::kCurrentUser, 0x80000001u, "HKEY_CURRENT_USER"},
    {RegistryRoot::kLocalMachine, 0x80000002u, "HKEY_LOCAL_MACHINE"},
    {RegistryRoot::kUsers, 0x80000003u, "HKEY_USERS"},
    {RegistryRoot::kPerformanceData, 0x80000004u, "HKEY_PERFORMANCE_DATA"},
    {RegistryRoot::kDynData, 0x80000006u, "HKEY_DYN_DATA"},
}};

}  // namespace

int CompareRegistryNames(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int x = FoldCase(static_cast<unsigned char>(a[i]));
        int y = FoldCase(static_cast<unsigned char>(b[i]));
        if (x != y) return x - y;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string FoldRegistryName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
    return folded;
}

bool RootFromHandle(std::uint32_t handle, RegistryRoot& root) {
    for (const auto& info : kRoots) {
        if (info.handle == handle) {
            root = info.root;
            return true;
        }
    }
    return false;
}

const char* RootName(RegistryRoot root) {
    for (const auto& info : kRoots) {
        if (info.root == root) return info.name;
    }
    return "?";
}

bool LocateRoot(RegistryRoot root, RootLocation& location) {
    switch (root) {
        case RegistryRoot::kClassesRoot: location = {RegistryHive::kMachine, "Software\\Classes"}; return true;
        case RegistryRoot::kCurrentConfig:
            location = {RegistryHive::kMachine, "System\\CurrentControlSet\\Hardware Profiles\\Current"};
            return true;
        case RegistryRoot::kCurrentUser: location = {RegistryHive::kUsers, kCurrentUserSid}; return true;
        case RegistryRoot::kLocalMachine: location = {RegistryHive::kMachine, ""}; return true;
        case RegistryRoot::kUsers: location = {RegistryHive::kUsers, ""}; return true;
        case RegistryRoot::kPerformanceData:
        case RegistryRoot::kDynData: return false;
    }
    return false;
}

std::string JoinKeyPath(const std::string& prefix, const std::string& subkey) {
    std::string result;
    for (const auto* part : {&prefix, &subkey}) {
        for (const auto& level : SplitKeyPath(*part)) {
            if (!result.empty()) result += '\\';
            result += level;
        }
    }
    return result;
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
    std::vector<std::string> levels;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) levels.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return levels;
}

}  // namespace zel::platform
