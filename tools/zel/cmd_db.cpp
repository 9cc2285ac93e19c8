// zel db: build and inspect the trojan database.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/file.h"
#include "platform/files.h"
#include "platform/services.h"
#include "tools/zel/commands.h"
#include "tools/zel/database_io.h"
#include "tools/zel/json.h"

namespace zel::cli {
namespace {

constexpr const char* kDbUsage =
    "usage: zel db SUBCOMMAND [--db FILE] ...\n"
    "  add --type T --name N --version V [--cure-flags N] [--image PATH]... [--registry 'ROOT\\subkey']...\n"
    "      add a record (or find the one with these texts) and print its index\n"
    "  generate INDEX... | --all   draw signatures from the records' image files\n"
    "  remove INDEX                remove a record\n"
    "  show INDEX                  dump the record's signatures\n"
    "  list [--json]               list the records\n"
    "The database is --db FILE, else $ZEL_DB, else default.tdb in the current folder.\n";

bool WantsHelp(Args& args) { return args.TakeFlag("--help") || args.TakeFlag("-h"); }

std::string Required(Args& args, const std::string& name) {
    auto value = args.TakeOption(name);
    if (!value) throw Failure{"db add needs " + name};
    return *value;
}

// "ROOT\subkey" with ROOT one of the seven root names.
std::pair<HKEY, std::string> ParseRegistry(const std::string& text) {
    auto slash = text.find('\\');
    std::string root = text.substr(0, slash);
    std::string subkey = slash == std::string::npos ? std::string() : text.substr(slash + 1);
    for (int i = 0; i < CTrojanBase2::kRootCount; ++i) {
        if (root == CTrojanBase2::kRootNames[i]) {
            return {CTrojanBase2::kRootHandles[i], ToAnsi(subkey, "registry key")};
        }
    }
    throw Failure{"unknown registry root '" + root + "' (use HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, ...)"};
}

// Why `path` cannot serve as a sample file, or "" when it can: it must be a regular file (a FIFO
// or device could block the reader or never end) that can be opened for reading.
std::string ImageProblem(const std::string& path) {
    switch (platform::KindOfTarget(path)) {
        case platform::EntryKind::file: break;
        case platform::EntryKind::missing: return "it does not exist or cannot be reached";
        default: return "it is not a regular file";
    }
    CFile file;
    CFileException error(CFileException::none);
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone, &error)) return std::strerror(error.m_osError);
    return "";
}

// The image path to store: absolute, since a relative one names another file (or none) when the
// database is used from another folder. The folder is resolved to its real location, so that
// ".." after a symbolic link cannot lead elsewhere than it does now; the file keeps its name.
std::string StoredImagePath(const std::string& path) {
    if (std::string problem = ImageProblem(path); !problem.empty()) {
        throw Failure{"image " + path + " cannot be read: " + problem};
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    std::filesystem::path folder = error ? absolute : std::filesystem::canonical(absolute.parent_path(), error);
    if (error) throw Failure{"image " + path + ": cannot make the path absolute: " + error.message()};
    std::string stored_path = (folder / absolute.filename()).string();
    auto ansi = platform::AnsiFromFileName(stored_path);
    if (!ansi) {
        throw Failure{"image " + stored_path +
                      " cannot be stored: the database spells paths in Windows-1252, "
                      "which cannot hold every character of this one"};
    }
    return *ansi;
}

// "record 3 (Backdoor Alpha 1.0)", for messages about one record.
std::string RecordLabel(const CTrojanBase2& base, int index) {
    return "record " + std::to_string(index) + " (" + ToUtf8(base.GetTrojanType(index)) + " " +
           ToUtf8(base.GetTrojanName(index)) + " " + ToUtf8(base.GetTrojanVer(index)) + ")";
}

int RecordIndex(const CTrojanBase2& base, const std::string& text) {
    long long index = ParseNumber(text, "record index");
    if (index < 0 || index >= base.GetSize()) throw Failure{"no record " + text};
    return static_cast<int>(index);
}

int Add(Args& args) {
    std::string path = DatabasePath(args);
    std::string type = ToAnsi(Required(args, "--type"), "type");
    std::string name = ToAnsi(Required(args, "--name"), "name");
    std::string version = ToAnsi(Required(args, "--version"), "version");
    long long flags = 0;
    if (auto text = args.TakeOption("--cure-flags")) flags = ParseNumber(*text, "cure flags");
    if (flags < 0 || flags > 0xFFFF) throw Failure{"cure flags must be 0 to 65535"};
    auto images = args.TakeAll("--image");
    auto registries = args.TakeAll("--registry");
    if (!args.Positionals().empty()) throw Failure{"db add takes no other arguments"};
    for (auto& image : images) image = StoredImagePath(image);

    CTrojanBase2 base;
    LoadDatabase(base, path, true);
    int index = base.Add(type, name, version, static_cast<WORD>(flags));
    if (index < 0) throw Failure{"the database holds 256 types or 65536 names already"};
    CTrojan2* record = base.GetTrojan(index);
    for (const auto& image : images) {
        if (record->GetSignatureCount() >= CTrojan2::kMaxSignatures) throw Failure{"a record holds at most 255 images"};
        base.AddImage(index, image);
    }
    for (const auto& text : registries) {
        auto [root, subkey] = ParseRegistry(text);
        base.AddRegistry(index, root, subkey);
    }
    SaveDatabase(base, path);
    std::printf("%d\n", index);
    return kOk;
}

// Records the timeout message instead of showing it, so that the command can fail with it.
class CollectingMessages final : public platform::MessageSink {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

// Fails naming the record and the image unless every image of the record can give a signature:
// one that cannot keeps windows that match nothing.
void CheckSamples(const CTrojanBase2& base, int index) {
    const CTrojan2& record = *base.GetTrojan(index);
    for (int s = 0; s < record.GetSignatureCount(); ++s) {
        CSignature probe;
        probe.SetImagePath(record.GetSignature(s).GetImagePath());
        const std::string file = platform::FileNameFromAnsi(probe.GetImagePath());
        const std::string image = RecordLabel(base, index) + ": image " + file;
        if (std::string problem = ImageProblem(file); !problem.empty()) {
            throw Failure{image + " cannot be read: " + problem};
        }
        if (!probe.AttachFile()) throw Failure{image + " cannot be read"};
        if (probe.GetUniqueCount() <= 3) {
            throw Failure{image + " has " + std::to_string(probe.GetUniqueCount()) +
                          " windows of 16 distinct bytes past its first 1024 bytes and within its first 2 MiB;"
                          " a signature needs at least 4"};
        }
    }
}

int Generate(Args& args) {
    std::string path = DatabasePath(args);
    bool all = args.TakeFlag("--all");
    auto words = args.Positionals();
    CTrojanBase2 base;
    LoadDatabase(base, path, false);
    std::vector<int> targets;
    if (all) {
        for (int i = 0; i < base.GetSize(); ++i) targets.push_back(i);
    } else {
        if (words.empty()) throw Failure{"db generate needs record indices or --all"};
        for (const auto& word : words) targets.push_back(RecordIndex(base, word));
    }
    for (int index : targets) CheckSamples(base, index);
    // Every readable sample file is attached while generating, so that no new signature
    // recognises another trojan's file.
    for (int i = 0; i < base.GetSize(); ++i) base.LoadImages(i);
    CollectingMessages messages;
    platform::ScopedServices scope({nullptr, &messages});
    for (int index : targets) {
        base.GenerateSignatures(index);
        if (!messages.messages.empty()) throw Failure{RecordLabel(base, index) + ": " + messages.messages.front()};
    }
    for (int i = 0; i < base.GetSize(); ++i) base.UnloadImages(i);
    SaveDatabase(base, path);
    return kOk;
}

int Remove(Args& args) {
    std::string path = DatabasePath(args);
    auto words = args.Positionals();
    if (words.size() != 1) throw Failure{"db remove needs one record index"};
    CTrojanBase2 base;
    LoadDatabase(base, path, false);
    base.Remove(RecordIndex(base, words[0]));
    SaveDatabase(base, path);
    return kOk;
}

std::string WithoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

int Show(Args& args) {
    std::string path = DatabasePath(args);
    auto words = args.Positionals();
    if (words.size() != 1) throw Failure{"db show needs one record index"};
    CTrojanBase2 base;
    LoadDatabase(base, path, false);
    int index = RecordIndex(base, words[0]);
    const CTrojan2* record = base.GetTrojan(index);
    std::printf("%d: %s %s %s\n", index, ToUtf8(base.GetTrojanType(index)).c_str(),
                ToUtf8(base.GetTrojanName(index)).c_str(), ToUtf8(base.GetTrojanVer(index)).c_str());
    for (int s = 0; s < record->GetSignatureCount(); ++s) {
        CString dump;
        record->GetSignature(s).Show(dump);
        std::fputs(ToUtf8(WithoutCarriageReturns(dump)).c_str(), stdout);
    }
    return kOk;
}

std::string HexWindow(const BYTE* window) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (int i = 0; i < CSignature::kWindowSize; ++i) {
        hex += kDigits[window[i] >> 4];
        hex += kDigits[window[i] & 15];
    }
    return hex;
}

std::string JsonTable(const CStringArray& table) {
    std::string out = "[";
    for (size_t i = 0; i < table.size(); ++i) out += (i ? ", " : "") + JsonString(ToUtf8(table[i]));
    return out + "]";
}

std::string JsonRecord(const CTrojanBase2& base, int index) {
    const CTrojan2& record = *base.GetTrojan(index);
    std::string out = "{\"index\": " + std::to_string(index) +
                      ", \"type\": " + JsonString(ToUtf8(base.GetTrojanType(index))) +
                      ", \"name\": " + JsonString(ToUtf8(base.GetTrojanName(index))) +
                      ", \"version\": " + JsonString(ToUtf8(base.GetTrojanVer(index))) +
                      ", \"cure_flags\": " + std::to_string(record.m_cureFlags) + ", \"regentries\": [";
    for (int i = 0; i < record.GetRegentryCount(); ++i) {
        HKEY root;
        CString subkey;
        WORD entry = record.GetRegentry(i);
        base.GetRegistry(entry, root, subkey);
        int root_index = entry >> 8;
        std::string root_name = root_index < CTrojanBase2::kRootCount ? CTrojanBase2::kRootNames[root_index] : "";
        out += (i ? ", " : "") + std::string("{\"root\": ") + JsonString(root_name) +
               ", \"subkey\": " + JsonString(ToUtf8(subkey)) + "}";
    }
    out += "], \"generated\": " + std::string(UngeneratedSignatures(record) == 0 ? "true" : "false") +
           ", \"signatures\": [";
    for (int s = 0; s < record.GetSignatureCount(); ++s) {
        const CSignature& signature = record.GetSignature(s);
        out += (s ? ", " : "") + std::string("{\"image\": ") + JsonString(ToUtf8(signature.GetImagePath())) +
               ", \"generated\": " + (signature.IsSearchable() ? "true" : "false") + ", \"offsets\": [" +
               std::to_string(signature.GetOffset(0)) + ", " + std::to_string(signature.GetOffset(1)) + ", " +
               std::to_string(signature.GetOffset(2)) + "], \"windows\": [" +
               JsonString(HexWindow(signature.GetWindow(0))) + ", " + JsonString(HexWindow(signature.GetWindow(1))) +
               ", " + JsonString(HexWindow(signature.GetWindow(2))) + "]}";
    }
    return out + "]}";
}

// " - no signatures generated" (for N of M images), or "" for a record whose signatures all were.
std::string UngeneratedNote(const CTrojan2& record) {
    int ungenerated = UngeneratedSignatures(record);
    if (ungenerated == 0) return "";
    std::string note = " - no signatures generated";
    if (ungenerated < record.GetSignatureCount()) {
        note += " for " + std::to_string(ungenerated) + " of " + std::to_string(record.GetSignatureCount()) + " images";
    }
    return note;
}

int List(Args& args) {
    std::string path = DatabasePath(args);
    bool json = args.TakeFlag("--json");
    if (!args.Positionals().empty()) throw Failure{"db list takes no arguments"};
    CTrojanBase2 base;
    LoadDatabase(base, path, false);
    if (json) {
        std::string out = "{\"header\": " + JsonString(ToUtf8(base.GetHeaderText())) +
                          ", \"types\": " + JsonTable(base.GetTypeTable()) +
                          ", \"names\": " + JsonTable(base.GetNameTable()) +
                          ", \"subkeys\": " + JsonTable(base.GetSubkeyTable()) + ", \"records\": [";
        for (int i = 0; i < base.GetSize(); ++i) out += (i ? ", " : "") + JsonRecord(base, i);
        std::printf("%s]}\n", out.c_str());
        return kOk;
    }
    for (int i = 0; i < base.GetSize(); ++i) {
        const CTrojan2& record = *base.GetTrojan(i);
        std::printf("%d: %s %s %s (%d signatures, %d registry entries, cure flags 0x%02X)%s\n", i,
                    ToUtf8(base.GetTrojanType(i)).c_str(), ToUtf8(base.GetTrojanName(i)).c_str(),
                    ToUtf8(base.GetTrojanVer(i)).c_str(), record.GetSignatureCount(), record.GetRegentryCount(),
                    record.m_cureFlags, UngeneratedNote(record).c_str());
    }
    return kOk;
}

}  // namespace

int RunDb(Args args) {
    std::string sub = args.TakeFirst();
    if (sub.empty() || sub == "--help" || sub == "-h") {
        std::fputs(kDbUsage, sub.empty() ? stderr : stdout);
        return sub.empty() ? kError : kOk;
    }
    if (WantsHelp(args)) {
        std::fputs(kDbUsage, stdout);
        return kOk;
    }
    if (sub == "add") return Add(args);
    if (sub == "generate") return Generate(args);
    if (sub == "remove") return Remove(args);
    if (sub == "show") return Show(args);
    if (sub == "list") return List(args);
    throw Failure{"unknown db subcommand '" + sub + "' (try zel db --help)"};
}

}  // namespace zel::cli
