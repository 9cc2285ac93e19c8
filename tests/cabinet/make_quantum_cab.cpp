// Writes a cabinet whose one folder is compressed with Quantum, for the end-to-end tests (no
// archiver on the test machines writes Quantum). Usage: make_quantum_cab OUT.cab WINDOW_BITS NAME=FILE ...
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/cabinet/support/cab_writer.h"

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
        std::ifstream in(word.substr(equals + 1), std::ios::binary);
        if (equals == std::string::npos || !in) return 2;
        folder.files.push_back({word.substr(0, equals), Bytes(std::istreambuf_iterator<char>(in), {})});
    }
    Bytes cabinet = WriteCabinet({folder});
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(cabinet.data()), static_cast<std::streamsize>(cabinet.size()));
    return out ? 0 : 1;
}
