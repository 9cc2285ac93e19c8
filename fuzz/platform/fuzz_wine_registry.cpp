// Wine registry files: whatever parses must serialize back to the same bytes, survive edits, and
// parse again after them with the edited key reading exactly as edited (the check the registry
// backend makes before it writes a hive).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/wine/wine_registry_file.h"

using zel::platform::RegistryValue;
using zel::platform::WineRegistryFile;

namespace {

constexpr std::uint64_t kStamp = 0x1dd860c071a037eull;

// The file's bytes read back: same blocks, the key's values as the edited file holds them.
WineRegistryFile ReadBack(const WineRegistryFile& file, const std::string& key) {
    std::string error;
    auto again = WineRegistryFile::Parse(file.Serialize(), error);
    if (!again || again->BlockCount() != file.BlockCount() || again->Values(key) != file.Values(key)) std::abort();
    return *again;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string arch = WineRegistryFile::ArchOf(bytes);
    if (!arch.empty() && arch != "win32" && arch != "win64") std::abort();
    std::string error;
    auto file = WineRegistryFile::Parse(bytes, error);
    if (!file) return 0;
    if (file->Serialize() != bytes) std::abort();
    RegistryValue value;
    for (std::size_t i = 0; i < 64 && file->EnumValue("A", i, value); ++i) {
    }
    // Edits on a key the input may or may not hold, with the input's own bytes as data.
    const std::string key = size % 2 ? "A" : "a\\B";
    file->CreateKey(key, kStamp);
    RegistryValue written{std::string(bytes.substr(0, 8).c_str()), static_cast<std::uint32_t>(size % 12),
                          bytes.substr(0, 300)};
    if (written.type == 1 || written.type == 2 || written.type == 7) written.data += '\0';
    if (!file->SetValue(key, written, kStamp)) std::abort();
    file->DeleteValue(key, "x", kStamp);
    WineRegistryFile again = ReadBack(*file, key);
    RegistryValue read;
    if (!again.QueryValue(key, written.name, read) || read.type != written.type || read.data != written.data) {
        std::abort();
    }
    // Every appearance of a name goes, wherever the input repeated it.
    if (!again.DeleteValue(key, written.name, kStamp)) std::abort();
    if (ReadBack(again, key).QueryValue(key, written.name, read)) std::abort();
    return 0;
}
