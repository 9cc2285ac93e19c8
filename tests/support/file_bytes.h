// Whole files read and written by tests, byte for byte.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace zel::testing {

// Paths in our code are UTF-8 text. A std::filesystem::path made from a narrow string (or turned
// back into one) takes the ANSI code page on Windows, so tests cross between the two only here.
inline std::filesystem::path Utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8String(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

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
template <typename Bytes = std::string>
Bytes ReadBytes(const std::string& path) {
    return ReadBytes<Bytes>(Utf8Path(path));
}
template <typename Bytes = std::string>
Bytes ReadBytes(const char* path) {
    return ReadBytes<Bytes>(Utf8Path(path));
}

inline void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(Utf8Path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zel::testing
