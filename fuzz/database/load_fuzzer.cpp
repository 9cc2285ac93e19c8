// Any bytes as a database file: loading either succeeds or fails cleanly with an empty database,
// and whatever loaded stores and loads again to the same size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "database/trojan_base2.h"
#include "fileio/mem_file.h"
#include "tests/support/temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A private folder, removed when the run ends.
    static const zel::testing::TempDir folder;
    static const std::string path = folder.File("input.tdb");
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 0;
    if (size) std::fwrite(data, 1, size, out);
    std::fclose(out);

    CTrojanBase2 base;
    int loaded = base.LoadFromCryptFile(path);
    if (!loaded) {
        if (base.GetSize() != 0 || !base.GetTypeTable().empty()) std::abort();
        return 0;
    }
    CMemFile stored;
    CArchive writer(&stored, CArchive::store);
    base.Serialize(writer);
    writer.Close();
    stored.Seek(0, CFile::begin);
    CTrojanBase2 again;
    CArchive reader(&stored, CArchive::load);
    again.Serialize(reader);
    if (again.GetSize() != base.GetSize() || again.GetTotalSignatureCount() != base.GetTotalSignatureCount()) {
        std::abort();
    }
    for (int i = 0; i < base.GetSize(); ++i) {
        base.GetTrojanType(i);
        base.GetTrojanName(i);
    }
    return 0;
}
