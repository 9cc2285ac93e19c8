#include "tools/zel/scan_options.h"

#include <thread>

namespace zel::cli {
namespace {

int TakeMode(Args& args) {
    auto mode = args.TakeOption("--mode");
    if (!mode || *mode == "fixed") return 0;
    if (*mode == "anywhere") return 1;
    throw Failure{"--mode is fixed or anywhere, not " + *mode};
}

unsigned TakeThreads(Args& args) {
    auto threads = args.TakeOption("--threads", "-j");
    if (!threads) return OnlineProcessors();
    long long value = ParseNumber(*threads, "-j");
    if (value < 1 || value > kMaxThreads) {
        throw Failure{"-j takes a number of workers from 1 to " + std::to_string(kMaxThreads) + ", not " + *threads};
    }
    return static_cast<unsigned>(value);
}

}  // namespace

unsigned OnlineProcessors() {
    unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : count;
}

ScanOptions TakeScanOptions(Args& args) {
    ScanOptions options;
    options.mode = TakeMode(args);
    options.json = args.TakeFlag("--json");
    options.infected_only = args.TakeFlag("--infected", "-i");
    options.quiet = args.TakeFlag("--quiet", "-q");
    options.summary = !args.TakeFlag("--no-summary");
    options.disinfect = args.TakeFlag("--disinfect");
    options.threads = TakeThreads(args);
    if (auto size = args.TakeOption("--max-filesize")) options.limits.max_filesize = ParseSize(*size, "--max-filesize");
    if (auto size = args.TakeOption("--max-scansize")) options.limits.max_scansize = ParseSize(*size, "--max-scansize");
    for (const auto& expression : args.TakeAll("--exclude")) options.filter.ExcludeFiles(expression);
    for (const auto& expression : args.TakeAll("--exclude-dir")) options.filter.ExcludeFolders(expression);
    options.file_list = args.TakeOption("--file-list");
    if (options.file_list && options.file_list->empty())
        throw Failure{"--file-list needs a file (or - for standard input)"};
    return options;
}

}  // namespace zel::cli
