// libmspack as a black-box oracle: decodes the same cabinet bytes as our decompressor, from
// memory, so that tests and a fuzz target can compare the two.
#pragma once

#include <string>
#include <vector>

#include "tests/cabinet/support/cab_harness.h"

namespace zel::cabinet::test {

struct OracleFile {
    std::string name;
    bool ok = false;
    Bytes data;
};

struct OracleResult {
    bool opened = false;            // libmspack accepted the cabinet's headers
    std::vector<OracleFile> files;  // every file it lists, each extracted on its own
    bool AllOk() const {
        for (const auto& f : files)
            if (!f.ok) return false;
        return opened;
    }
};

// Opens `cabinet` (the bytes of one cabinet) with libmspack and extracts each listed file. With
// `outputLimit`, a file that grows beyond that many bytes fails with a write error.
OracleResult MspackExtract(const Bytes& cabinet, std::size_t outputLimit = 0);

// Compares an oracle run with one of ours on the same bytes. Returns "" when every file that both
// extracted has the same bytes, else a description of the first difference.
std::string CompareWithOracle(const RunResult& ours, const OracleResult& oracle);

// One cabinet decoded by both sides, file by file (matched by name in list order).
struct Differential {
    int agree = 0;       // both extracted the file, with the same bytes
    int oursOnly = 0;    // we extracted it, libmspack failed (or did not open the cabinet)
    int theirsOnly = 0;  // libmspack extracted it, we failed
    int bothFail = 0;
    std::string mismatch;  // "" unless both extracted a file with different bytes
    RunResult ours;
    OracleResult theirs;
};

// Runs our decompressor (from memory, every file) and libmspack on the same bytes. With
// `outputLimit`, each side stops writing (and so fails) past about that many bytes of output.
Differential DecodeBoth(const Bytes& cabinet, std::size_t outputLimit = 0);

}  // namespace zel::cabinet::test
