// Writes a cabinet whose one folder is compressed with Quantum, for the end-to-end tests (no
// archiver on the test machines writes Quantum). Usage: make_quantum_cab OUT.cab WINDOW_BITS NAME=FILE ...
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/cabinet/support/cab_writer.h"
#include "tests/support/file_bytes.h"

int main(int argc, char** argv) {
    using namespace zel::cabinet::test;
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_quantum_cab OUT.cab WINDOW_BITS NAME=FILE ...\n");
        return 2;
    }
    int window_bits = std::atoi(argv[2]);
    WriterFolder folder;
    folder.compressionType = CompressionType(2, window_bits);
    for (int i = 3; i < argc; ++i) {
        std::string word = argv[i];
        auto equals = word.find('=');
        if (equals == std::string::npos || !std::filesystem::is_regular_file(word.substr(equals + 1))) return 2;
        folder.files.push_back({word.substr(0, equals), zel::testing::ReadBytes<Bytes>(word.substr(equals + 1))});
    }
    Bytes cabinet = WriteCabinet({folder});
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(cabinet.data()), static_cast<std::streamsize>(cabinet.size()));
    return out ? 0 : 1;
}
