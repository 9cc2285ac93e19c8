#include "tests/ace/ace_test_util.h"

#include <openssl/evp.h>

#include <fstream>
#include <stdexcept>

namespace zel::ace::test {

std::filesystem::path SamplesDir() { return std::filesystem::path(ZEL_SHARED_DIR) / "ace-samples"; }

void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Md5Hex(const std::vector<std::uint8_t>& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    static const char* hex = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

std::map<std::string, std::string> ReadMd5List(const std::filesystem::path& path) {
    std::map<std::string, std::string> list;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 34) continue;
        list[line.substr(34)] = line.substr(0, 32);
    }
    return list;
}

std::set<std::string> ReadDirList(const std::filesystem::path& path) {
    std::set<std::string> dirs;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) dirs.insert(line);
    }
    return dirs;
}

std::set<std::string> FilesUnder(const std::filesystem::path& root) {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files.insert(entry.path().lexically_relative(root).generic_string());
    }
    return files;
}

}  // namespace zel::ace::test
