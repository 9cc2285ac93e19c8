// The walk of `zel scan` over what the user named: paths on the command line, paths in a file list,
// and standard input. It decides what each path is (folders are walked, symbolic links and special
// files inside them passed over; a named path that is neither a file nor a folder is an error and is
// never opened), leaves out what --exclude and --exclude-dir name, and hands each file to a worker.
#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "tools/zel/file_scan.h"
#include "tools/zel/scan_options.h"
#include "tools/zel/scan_report.h"
#include "tools/zel/worker_pool.h"

namespace zel::cli {

class ScanWalk {
public:
    // `scans` holds one FileScan per worker of `pool`, then one for the walk's own thread.
    ScanWalk(const ScanOptions& options, ScanReport& report, WorkerPool& pool,
             std::vector<std::unique_ptr<FileScan>>& scans, std::function<bool()> interrupted);

    // A path as the user named it; "-" is standard input only when `dash_is_input`.
    void Named(const std::string& path, bool dash_is_input);
    // Every line of `list` is a path (a carriage return before the line end is dropped, empty lines
    // are passed over).
    void NamedIn(std::istream& list);

private:
    void Folder(const std::string& path);
    void Submit(const std::string& path, bool named);
    void StandardInput();
    void StopIfInterrupted() const;

    const ScanOptions& m_options;
    ScanReport& m_report;
    WorkerPool& m_pool;
    std::vector<std::unique_ptr<FileScan>>& m_scans;
    std::function<bool()> m_interrupted;
};

}  // namespace zel::cli
