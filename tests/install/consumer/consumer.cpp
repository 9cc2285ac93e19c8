// A program of someone else's that uses Zel only as installed: it loads a database, scans one file
// and lists one archive, printing what `zel scan -j 1 --no-summary FILE` and `zel archive list
// ARCHIVE` print for them, so that the test can compare the two.
// Usage: consumer DATABASE FILE ARCHIVE
#include <algorithm>
#include <cstdio>
#include <memory>

#include "archive/qv_archive.h"
#include "cure/trojan_cure_module.h"
#include "database/trojan_base2.h"

namespace {

int Scan(const char* database, const char* file) {
    CTrojanBase2 base;
    if (!base.LoadFromCryptFile(database) || base.GetSize() == 0) {
        std::fprintf(stderr, "consumer: cannot load %s\n", database);
        return 2;
    }
    CTrojanCureModule cure(&base);
    if (!cure.AttachFile(file)) {
        std::fprintf(stderr, "consumer: cannot read %s\n", file);
        return 2;
    }
    int index = cure.SearchTrojan(0, 0);
    if (index < 0) {
        std::printf("%s: OK\n", file);
        return 0;
    }
    std::printf("%s: %s FOUND (type %s, version %s)\n", file, base.GetTrojanName(index).c_str(),
                base.GetTrojanType(index).c_str(), base.GetTrojanVer(index).c_str());
    return 1;
}

int List(const char* path) {
    std::unique_ptr<CQVArchive> archive(CQVArchiveEngine::CreateUnpacker(path));
    if (!archive || !archive->Open(path)) {
        std::fprintf(stderr, "consumer: cannot open %s\n", path);
        return 2;
    }
    std::printf("%s\n", archive->GetType().c_str());
    try {
        for (archive->MoveFirst();; archive->MoveNext()) {
            CString name = archive->GetName();
            std::replace(name.begin(), name.end(), '\\', '/');
            std::printf("%s\n", name.c_str());
        }
    } catch (const CQVArchiveException& error) {
        if (error.GetError() != CQVArchiveException::eEndOfArchive) return 2;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: consumer DATABASE FILE ARCHIVE\n");
        return 2;
    }
    int found = Scan(argv[1], argv[2]);
    if (found == 2) return 2;
    return List(argv[3]) == 0 ? found : 2;
}
