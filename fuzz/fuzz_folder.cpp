#include "fuzz/fuzz_folder.h"

#include <cstdlib>

#include "platform/directories.h"
#include "platform/file.h"

namespace zel::fuzz {

const std::string& WorkFolder() {
    static const std::string folder = [] {
        std::string made = platform::MakeTempDirectory("zel-fuzz-");
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
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite)) std::abort();
    file.Write(data, static_cast<UINT>(size));
    file.Close();
    return path;
}

}  // namespace zel::fuzz
