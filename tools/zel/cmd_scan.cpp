// zel scan: search files and folders for known trojans.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/interrupts.h"
#include "platform/regular_file.h"
#include "platform/services.h"
#include "tools/zel/archive_scan.h"
#include "tools/zel/commands.h"
#include "tools/zel/database_io.h"
#include "tools/zel/disinfection.h"
#include "tools/zel/json.h"
#include "tools/zel/safe_text.h"
#include "tools/zel/scanner.h"

namespace zel::cli {
namespace {

constexpr const char* kScanUsage =
    "usage: zel scan [--db FILE] [--mode fixed|anywhere] [--json] [--infected] [--max-filesize SIZE]\n"
    "                [--max-scansize SIZE] [--disinfect [--system-root DIR]] PATH...\n"
    "Searches the first 2 MiB of each file (folders recursively, symbolic links inside them are not\n"
    "followed) for the trojans of the database. Archives (zip, rar, arj, cab, ace) are also searched\n"
    "entry by entry, with every format that reads them, archives inside them too (4 levels), reported\n"
    "as ARCHIVE/ENTRY; an archive is never changed. Each entry is extracted as far as the scan needs:\n"
    "2 MiB, or up to --max-filesize (default 100M) for an archive inside; at most --max-scansize\n"
    "(default 400M) is decoded from one file. What a limit leaves unscanned is reported as LIMIT.\n"
    "Exit status: 0 nothing found, 1 something found, 2 an error (a file that cannot be read, or a\n"
    "damaged archive or entry, is reported and scanning goes on).\n"
    "--disinfect cleans the system root of each trojan found (ends the processes that run it, cleans\n"
    "the start-up places its record names, deletes it) and names every step that could not be done;\n"
    "exit status 2 when a file stays or a step failed. The root is --system-root DIR, else\n"
    "$ZEL_SYSTEM_ROOT, else the private tree of `zel system info`.\n";

struct Options {
    int mode = 0;
    ScanLimits limits;
    bool json = false;
    bool infected_only = false;
    bool disinfect = false;
};

struct Totals {
    int files = 0;
    int infected = 0;
    int errors = 0;
    int limits = 0;
};

class ScanRun {
public:
    ScanRun(CTrojanBase2& base, const Options& options, const platform::ScopedInterruptWatch& interrupts)
        : m_base(base),
          m_options(options),
          m_interrupts(interrupts),
          m_scanner(base, options.mode),
          m_disinfection(base),
          m_archives(
              m_scanner, options.limits,
              [this](const std::string& shown, const Verdict& verdict) { Report(shown, verdict, false); },
              [this] { return m_interrupts.Requested(); }) {}

    // Throws Interrupted when an interrupt stops the scan.
    void ScanPath(const std::string& path, bool named_by_user) {
        if (m_interrupts.Requested()) throw Interrupted{};
        platform::EntryKind kind = named_by_user ? platform::KindOfTarget(path) : platform::KindOf(path);
        if (kind == platform::EntryKind::directory) {
            ScanFolder(path);
        } else if (kind == platform::EntryKind::file) {
            Report(path, m_scanner.ScanFile(path), true, m_archives.VolumeOf(path));
            // Entries are reported, never disinfected: what is scanned is a temporary copy.
            m_archives.ScanEntries(path, path);
        } else if (kind == platform::EntryKind::missing) {
            Report(path, {Verdict::error, -1, "no such file or folder"});
        } else if (named_by_user) {
            // Never opened: a FIFO would wait for a writer, a device may act on being opened.
            Report(path, {Verdict::error, -1, "it is " + platform::NonRegularKind(path) + ", not a regular file"});
        }
        // Symbolic links and special files inside folders are passed over.
    }

    const Totals& totals() const { return m_totals; }
    const Disinfection& disinfection() const { return m_disinfection; }

private:
    void ScanFolder(const std::string& path) {
        std::vector<std::string> names;
        if (!platform::ListDirectory(path, names)) {
            Report(path, {Verdict::error, -1, "cannot read the folder"});
            return;
        }
        std::string prefix = path.ends_with('/') ? path : path + "/";
        for (const auto& name : names) ScanPath(prefix + name, false);
    }

    // Reports one verdict; a file found on disk (not an archive entry) is disinfected when asked.
    // `volume_of`: the archive whose walk of a volume set went through this file.
    void Report(const std::string& path, const Verdict& verdict, bool on_disk = true,
                const std::string& volume_of = {}) {
        ++m_totals.files;
        if (verdict.status == Verdict::infected) ++m_totals.infected;
        if (verdict.status == Verdict::error) ++m_totals.errors;
        if (verdict.status == Verdict::limit) ++m_totals.limits;
        const CureReport* cure = nullptr;
        if (m_options.disinfect && on_disk && verdict.status == Verdict::infected) {
            cure = &m_disinfection.Run(path, verdict.index);
        }
        if (m_options.json) {
            PrintJson(path, verdict, cure, volume_of);
        } else if (verdict.status == Verdict::infected) {
            std::printf("%s: %s FOUND (type %s, version %s)%s\n%s", TerminalText(path).c_str(),
                        TerminalText(ToUtf8(m_base.GetTrojanName(verdict.index))).c_str(),
                        TerminalText(ToUtf8(m_base.GetTrojanType(verdict.index))).c_str(),
                        TerminalText(ToUtf8(m_base.GetTrojanVer(verdict.index))).c_str(),
                        cure ? Disinfection::Outcome(*cure).c_str() : "",
                        cure ? Disinfection::FailureLines(path, *cure).c_str() : "");
        } else if (verdict.status == Verdict::error) {
            std::printf("%s: ERROR %s\n", TerminalText(path).c_str(), TerminalText(verdict.message).c_str());
        } else if (verdict.status == Verdict::limit) {
            std::printf("%s: LIMIT %s\n", TerminalText(path).c_str(), TerminalText(verdict.message).c_str());
        } else if (!m_options.infected_only) {
            std::string note = volume_of.empty() ? "" : " (volume of " + TerminalText(volume_of) + ")";
            std::printf("%s: OK%s\n", TerminalText(path).c_str(), note.c_str());
        }
        std::fflush(stdout);
    }

    void PrintJson(const std::string& path, const Verdict& verdict, const CureReport* cure,
                   const std::string& volume_of) {
        static constexpr const char* kStatus[] = {"clean", "infected", "error", "limit"};
        if (m_options.infected_only && verdict.status != Verdict::infected) return;
        std::string line = "{\"path\": " + JsonString(path) + ", \"status\": \"" + kStatus[verdict.status] + "\"";
        if (verdict.status == Verdict::infected) {
            line += ", \"index\": " + std::to_string(verdict.index) +
                    ", \"type\": " + JsonString(ToUtf8(m_base.GetTrojanType(verdict.index))) +
                    ", \"name\": " + JsonString(ToUtf8(m_base.GetTrojanName(verdict.index))) +
                    ", \"version\": " + JsonString(ToUtf8(m_base.GetTrojanVer(verdict.index)));
        }
        if (cure) line += Disinfection::JsonFields(*cure);
        if (verdict.status == Verdict::error) line += ", \"error\": " + JsonString(verdict.message);
        if (verdict.status == Verdict::limit) line += ", \"limit\": " + JsonString(verdict.message);
        if (!volume_of.empty()) line += ", \"volume_of\": " + JsonString(volume_of);
        std::printf("%s}\n", line.c_str());
    }

    CTrojanBase2& m_base;
    Options m_options;
    const platform::ScopedInterruptWatch& m_interrupts;
    Scanner m_scanner;
    Disinfection m_disinfection;
    ArchiveScan m_archives;
    Totals m_totals;
};

}  // namespace

int RunScan(Args args) {
    if (args.TakeFlag("--help") || args.TakeFlag("-h")) {
        std::fputs(kScanUsage, stdout);
        return kOk;
    }
    std::string db_path = DatabasePath(args);
    Options options;
    if (auto mode = args.TakeOption("--mode")) {
        if (*mode == "fixed") {
            options.mode = 0;
        } else if (*mode == "anywhere") {
            options.mode = 1;
        } else {
            throw Failure{"--mode is fixed or anywhere, not " + *mode};
        }
    }
    options.json = args.TakeFlag("--json");
    options.infected_only = args.TakeFlag("--infected");
    options.disinfect = args.TakeFlag("--disinfect");
    if (auto size = args.TakeOption("--max-filesize")) options.limits.max_filesize = ParseSize(*size, "--max-filesize");
    if (auto size = args.TakeOption("--max-scansize")) options.limits.max_scansize = ParseSize(*size, "--max-scansize");
    std::unique_ptr<platform::SystemRoot> root;
    if (options.disinfect) {
        root = TakeSystemRoot(args);
    } else if (args.TakeOption("--system-root")) {
        throw Failure{"--system-root goes with --disinfect"};
    }
    auto paths = args.Positionals();
    if (paths.empty()) throw Failure{"scan needs at least one PATH (try zel scan --help)"};
    std::unique_ptr<platform::ScopedServices> services;
    if (root) {
        // Refused before anything is touched (Wine would overwrite every registry edit when it exits).
        if (std::string refusal = root->Refusal(); !refusal.empty()) throw Failure{"cannot disinfect: " + refusal};
        if (std::string problem = root->CreateSkeleton(); !problem.empty()) {
            throw Failure{"cannot disinfect: " + problem};
        }
        services = std::make_unique<platform::ScopedServices>(platform::Services{.system_root = root.get()});
    }

    CTrojanBase2 base;
    LoadDatabase(base, db_path, false);
    WarnOfUngeneratedSignatures(base);
    // An interrupt ends the scan between two entries, so that the temporary copies are removed.
    platform::ScopedInterruptWatch interrupts;
    ScanRun run(base, options, interrupts);
    for (const auto& path : paths) run.ScanPath(path, true);

    const Totals& totals = run.totals();
    if (!options.json) {
        std::string limits = totals.limits ? ", " + std::to_string(totals.limits) + " limits reached" : "";
        std::printf("Scanned %d files: %d infected, %d errors%s.\n", totals.files, totals.infected, totals.errors,
                    limits.c_str());
        if (options.disinfect) std::printf("%s\n", run.disinfection().Summary().c_str());
    }
    if (!run.disinfection().AllDone()) return kError;
    if (totals.infected > 0) return kFound;
    return totals.errors > 0 ? kError : kOk;
}

}  // namespace zel::cli
