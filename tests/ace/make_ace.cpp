// Writes an ACE archive for the end-to-end tests with the test writer (there is no ACE archiver
// on the test machines). Usage: make_ace OUT.ace [--solid] [--method 0|1|2] NAME=FILE ...
// Each NAME is stored as given (use "\" between folders); FILE is read from disk.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/ace/ace_test_util.h"
#include "tests/ace/ace_writer.h"

int main(int argc, char** argv) {
    using namespace zel::ace::test;
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_ace OUT.ace [--solid] [--method N] NAME=FILE ...\n");
        return 2;
    }
    ArchiveLayout layout;
    std::uint8_t method = 1;
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--solid") {
            layout.solid = true;
        } else if (word == "--method" && i + 1 < argc) {
            method = static_cast<std::uint8_t>(std::atoi(argv[++i]));
        } else {
            auto equals = word.find('=');
            if (equals == std::string::npos) return 2;
            EntrySpec entry;
            entry.name = word.substr(0, equals);
            entry.method = method;
            const std::string file = word.substr(equals + 1);
            if (!std::filesystem::is_regular_file(file)) {
                std::fprintf(stderr, "make_ace: cannot read %s\n", file.c_str());
                return 2;
            }
            entry.data = ReadBytes<Bytes>(file);
            layout.entries.push_back(entry);
        }
    }
    WriteFileBytes(argv[1], BuildArchive(layout));
    return 0;
}
