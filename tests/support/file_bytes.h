// Whole files read and written by tests, byte for byte.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zel::testing {

// The content of the file at `path` as a std::string or a vector of bytes (ReadBytes<Bytes>(path));
// empty when the file cannot be read.
template <typename Bytes = std::string>
Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    Bytes bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    return bytes;
}

inline void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zel::testing
