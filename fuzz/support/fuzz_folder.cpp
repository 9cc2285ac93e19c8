#include "fuzz/support/fuzz_folder.h"

#include <cstdlib>
#include <fstream>

#include "platform/files.h"

namespace zel::fuzz {

const std::string& WorkFolder() {
    static const std::string folder = [] {
        std::string made = platform::MakeTempFolder("zel-fuzz-");
        if (made.empty()) std::abort();
        static std::string to_remove;
        to_remove = made;
        std::atexit([] { platform::RemoveTree(to_remove); });
        return made;
    }();
    return folder;
}

std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::string path = WorkFolder() + "/" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) std::abort();
    return path;
}

}  // namespace zel::fuzz
