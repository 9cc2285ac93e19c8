// zel: the command-line tool over the Zelbase and Arcopen libraries.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/zel/commands.h"
#include "tools/zel/safe_text.h"

namespace {

struct Command {
    const char* name;
    int (*run)(zel::cli::Args);
    const char* summary;
};

constexpr Command kCommands[] = {
    {"db", zel::cli::RunDb, "build and inspect the trojan database"},
    {"scan", zel::cli::RunScan, "search files for known trojans"},
    {"archive", zel::cli::RunArchive, "list and extract archives (zip, rar, arj, cab, ace)"},
    {"system", zel::cli::RunSystem, "show the system root that disinfection works on"},
    {"update", zel::cli::RunUpdate, "run one update from a mirror"},
};

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "usage: zel COMMAND [ARGS...]   (zel COMMAND --help for details)\n"
                 "       zel --version\n\ncommands:\n");
    for (const auto& command : kCommands) std::fprintf(out, "  %-8s %s\n", command.name, command.summary);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
        std::printf("zel %s\n", ZEL_VERSION);
        return zel::cli::kOk;
    }
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? zel::cli::kError : zel::cli::kOk;
    }
    std::vector<std::string> words(argv + 2, argv + argc);
    for (const auto& command : kCommands) {
        if (std::strcmp(argv[1], command.name) != 0) continue;
        try {
            return command.run(zel::cli::Args(std::move(words), command.name));
        } catch (const zel::cli::Interrupted&) {
            std::fflush(stdout);
            std::fprintf(stderr, "zel: interrupted\n");
            return zel::cli::kError;
        } catch (const zel::cli::Failure& failure) {
            std::fprintf(stderr, "zel: %s\n", zel::cli::TerminalText(failure.message).c_str());
            return zel::cli::kError;
        }
    }
    std::fprintf(stderr, "zel: unknown command '%s' (try zel --help)\n", zel::cli::TerminalText(argv[1]).c_str());
    return zel::cli::kError;
}
