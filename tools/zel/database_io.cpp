#include "tools/zel/database_io.h"

#include <filesystem>

#include "framework/codepage.h"
#include "tools/zel/cli.h"

namespace zel::cli {

void LoadDatabase(CTrojanBase2& base, const std::string& path, bool missing_ok) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        if (missing_ok) return;
        throw Failure{path + ": no such database"};
    }
    if (!base.LoadFromCryptFile(path)) throw Failure{path + ": cannot load the database (unreadable or damaged)"};
}

void SaveDatabase(CTrojanBase2& base, const std::string& path) {
    if (!base.SaveToCryptFile(path)) throw Failure{path + ": cannot save the database"};
}

std::string ToAnsi(const std::string& utf8, const std::string& what) {
    auto ansi = codepage::Utf8ToWindows1252(utf8);
    if (!ansi) throw Failure{what + " has a character that Windows-1252 cannot hold: " + utf8};
    return *ansi;
}

std::string ToUtf8(const std::string& ansi) { return codepage::Windows1252ToUtf8(ansi); }

}  // namespace zel::cli
