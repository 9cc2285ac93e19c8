#include "tools/zel/database_io.h"

#include <cstdio>
#include <filesystem>

#include "framework/codepage.h"
#include "platform/files.h"
#include "tools/zel/cli.h"

namespace zel::cli {

void LoadDatabase(CTrojanBase2& base, const std::string& path, bool missing_ok) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        if (missing_ok) return;
        throw Failure{path + ": no such database"};
    }
    // Said plainly here; the load itself refuses such a file without waiting on it.
    if (std::string kind = platform::NonRegularKind(path); !kind.empty()) {
        throw Failure{path + ": cannot load the database: it is " + kind + ", not a regular file"};
    }
    if (!base.LoadFromCryptFile(path)) throw Failure{path + ": cannot load the database (unreadable or damaged)"};
}

void SaveDatabase(CTrojanBase2& base, const std::string& path) {
    if (!base.SaveToCryptFile(path)) throw Failure{path + ": cannot save the database"};
}

int UngeneratedSignatures(const CTrojan2& record) {
    int count = 0;
    for (int s = 0; s < record.GetSignatureCount(); ++s) count += record.GetSignature(s).IsSearchable() ? 0 : 1;
    return count;
}

void WarnOfUngeneratedSignatures(const CTrojanBase2& base) {
    int records = 0;
    for (int i = 0; i < base.GetSize(); ++i) records += UngeneratedSignatures(*base.GetTrojan(i)) > 0 ? 1 : 0;
    if (records == 0) return;
    std::fprintf(stderr,
                 "zel: warning: %d record%s of the database hold%s images with no signatures generated, which "
                 "match nothing (zel db list shows them, zel db generate draws them)\n",
                 records, records == 1 ? "" : "s", records == 1 ? "s" : "");
}

std::string ToAnsi(const std::string& utf8, const std::string& what) {
    auto ansi = codepage::Utf8ToWindows1252(utf8);
    if (!ansi) throw Failure{what + " has a character that Windows-1252 cannot hold: " + utf8};
    return *ansi;
}

std::string ToUtf8(const std::string& ansi) { return codepage::Windows1252ToUtf8(ansi); }

}  // namespace zel::cli
