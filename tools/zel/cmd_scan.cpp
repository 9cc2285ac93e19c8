// zel scan: search files and folders for known trojans, on every processor.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/interrupts.h"
#include "platform/services.h"
#include "tools/zel/commands.h"
#include "tools/zel/database_io.h"
#include "tools/zel/disinfection.h"
#include "tools/zel/file_scan.h"
#include "tools/zel/scan_options.h"
#include "tools/zel/scan_report.h"
#include "tools/zel/scan_walk.h"
#include "tools/zel/volume_sets.h"
#include "tools/zel/worker_pool.h"

namespace zel::cli {
namespace {

constexpr const char* kScanUsage =
    "usage: zel scan [OPTIONS] PATH...      (PATH - is standard input)\n"
    "Searches the first 2 MiB of each file (folders recursively, symbolic links inside them are not\n"
    "followed) for the trojans of the database. Archives (zip, rar, arj, cab, ace) are also searched\n"
    "entry by entry, with every format that reads them, archives inside them too (4 levels), reported\n"
    "as ARCHIVE/ENTRY; an archive is never changed. One line per file on standard output:\n"
    "PATH: OK, PATH: NAME FOUND (type T, version V), PATH: ERROR REASON or PATH: LIMIT REASON; then\n"
    "a summary. A named PATH that is neither a file nor a folder (a FIFO, a device) is an ERROR and\n"
    "is never read; such entries inside folders are passed over.\n"
    "  --db FILE            the database (else $ZEL_DB, else default.tdb)\n"
    "  --mode fixed|anywhere  signatures at their stored offsets (default) or anywhere in the file\n"
    "  -j, --threads N      N workers (default: one per online processor); with -j 1 the lines come\n"
    "                       in walk order, otherwise in any order, each line whole\n"
    "  -i, --infected       no line for clean files (found files, errors and limits only)\n"
    "  -q, --quiet          only errors, on standard error\n"
    "  --no-summary         no summary at the end\n"
    "  --json               one JSON object per line, no summary\n"
    "  --exclude REGEX      leave out files whose path matches (POSIX extended, anywhere in the path)\n"
    "  --exclude-dir REGEX  leave out folders whose path matches, and all below them\n"
    "  --file-list FILE     also scan the paths in FILE, one a line (- reads them from standard input)\n"
    "  --max-filesize SIZE  the most of one archive entry extracted to look inside it (default 100M;\n"
    "                       the scan itself reads 2 MiB); also the most of standard input kept\n"
    "  --max-scansize SIZE  the most decoded from one file, all levels together (default 400M)\n"
    "  --disinfect [--system-root DIR]  clean the system root of each trojan found (see below)\n"
    "Sizes take K, M or G. What a limit leaves unscanned is reported as LIMIT.\n"
    "Exit status: 0 nothing found, 1 something found, 2 an error (a file that cannot be read, or a\n"
    "damaged archive or entry, is reported and scanning goes on).\n"
    "--disinfect cleans the system root of each trojan found (ends the processes that run it, cleans\n"
    "the start-up places its record names, deletes it), one cure at a time, and names every step that\n"
    "could not be done; exit status 2 when a file stays or a step failed. The root is --system-root\n"
    "DIR, else $ZEL_SYSTEM_ROOT, else the private tree of `zel system info`.\n";

// The root to disinfect, checked and set up before anything is touched; null without --disinfect.
std::unique_ptr<platform::SystemRoot> PrepareSystemRoot(Args& args, bool disinfect) {
    if (!disinfect) {
        if (args.TakeOption("--system-root")) throw Failure{"--system-root goes with --disinfect"};
        return nullptr;
    }
    auto root = TakeSystemRoot(args);
    // Refused before anything is touched (Wine would overwrite every registry edit when it exits).
    if (std::string refusal = root->Refusal(); !refusal.empty()) throw Failure{"cannot disinfect: " + refusal};
    if (std::string problem = root->CreateSkeleton(); !problem.empty()) throw Failure{"cannot disinfect: " + problem};
    return root;
}

// The file list, opened before the database is loaded so that a wrong name fails at once.
std::unique_ptr<std::ifstream> OpenFileList(const ScanOptions& options) {
    if (!options.file_list || *options.file_list == "-") return nullptr;
    auto list = std::make_unique<std::ifstream>(*options.file_list, std::ios::binary);
    if (!*list) throw Failure{"cannot read the file list " + *options.file_list};
    return list;
}

void CheckStandardInputUse(const ScanOptions& options) {
    auto dashes = std::count(options.paths.begin(), options.paths.end(), "-");
    bool list_from_input = options.file_list && *options.file_list == "-";
    if (dashes + (list_from_input ? 1 : 0) > 1) {
        throw Failure{"standard input can be read only once: as one PATH - or as --file-list -"};
    }
    if (options.paths.empty() && !options.file_list)
        throw Failure{"scan needs at least one PATH (try zel scan --help)"};
}

int ExitStatus(const ScanTotals& totals, const Disinfection& disinfection) {
    if (!disinfection.AllDone()) return kError;
    if (totals.infected > 0) return kFound;
    return totals.errors > 0 ? kError : kOk;
}

}  // namespace

int RunScan(Args args) {
    auto started = std::chrono::steady_clock::now();
    if (args.TakeFlag("--help") || args.TakeFlag("-h")) {
        std::fputs(kScanUsage, stdout);
        return kOk;
    }
    std::string db_path = DatabasePath(args);
    ScanOptions options = TakeScanOptions(args);
    auto root = PrepareSystemRoot(args, options.disinfect);
    options.paths = args.Positionals();
    CheckStandardInputUse(options);
    auto list = OpenFileList(options);
    std::unique_ptr<platform::ScopedServices> services;
    if (root) services = std::make_unique<platform::ScopedServices>(platform::Services{.system_root = root.get()});

    CTrojanBase2 base;
    LoadDatabase(base, db_path, false);
    WarnOfUngeneratedSignatures(base);
    // Built before any worker starts: from then on the workers only read the database.
    base.PrepareSearch(options.mode);
    // An interrupt ends the scan between two entries, so that the temporary copies are removed.
    platform::ScopedInterruptWatch interrupts;
    auto interrupted = [&interrupts] { return interrupts.Requested(); };
    ScanReport report(base, options);
    Disinfection disinfection(base);
    Disinfection* cures = options.disinfect ? &disinfection : nullptr;
    VolumeSets volumes(options);
    std::vector<std::unique_ptr<FileScan>> scans;
    for (unsigned i = 0; i <= options.threads; ++i) {
        scans.push_back(std::make_unique<FileScan>(base, options, report, cures, volumes, interrupted));
    }
    {
        WorkerPool pool(options.threads);
        ScanWalk walk(options, report, pool, scans, interrupted);
        for (const auto& path : options.paths) walk.Named(path, true);
        if (list) walk.NamedIn(*list);
        if (options.file_list && *options.file_list == "-") walk.NamedIn(std::cin);
        pool.Finish();
    }

    if (options.summary && !options.quiet && !options.json) {
        std::uint64_t bytes = 0;
        for (const auto& scan : scans) bytes += scan->ScannedBytes();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        report.PrintSummary(bytes, seconds, options.disinfect ? disinfection.Summary() + "\n" : "");
    }
    return ExitStatus(report.Totals(), disinfection);
}

}  // namespace zel::cli
