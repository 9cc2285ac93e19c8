// One of Wine's registry files (system.reg, user.reg, userdef.reg), held so that it can be edited
// without disturbing a byte it does not have to change: the text is kept as it was read, line by
// line, and an edit replaces only the lines of the value it touches and the time stamp lines of
// its key. The format is described in docs/formats/wine-registry.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace zel::platform {

class WineRegistryFile {
public:
    // Reads a file's bytes; nullopt, with `error` set, when the first line is not Wine's header.
    static std::optional<WineRegistryFile> Parse(std::string_view bytes, std::string& error);
    // A new, empty file in Wine's form; `relative_to` is the hive's name as its header line says it,
    // e.g. "REGISTRY\\Machine"; `arch` the prefix's architecture ("win32" or "win64"), which every
    // hive of a prefix must name alike.
    static WineRegistryFile CreateEmpty(const std::string& relative_to, const std::string& arch = "win64");
    // The architecture a file's "#arch=" line names, read from its first bytes; "" when none.
    static std::string ArchOf(std::string_view bytes);
    // The file's bytes.
    std::string Serialize() const;

    // Key paths are 8-bit texts below the file's root with "\" between the levels. A key exists
    // when it has a block of its own or lies above one; "" (the root) always exists.
    bool HasKey(const std::string& path) const;
    // Value names and data as the 8-bit registry functions see them (see RegistryValue), read as Wine
    // reads them: a key whose block is repeated, or a value name that appears more than once (in any
    // letter case), has each name once, in the place and spelling of its first appearance, with the
    // data of its last.
    bool EnumValue(const std::string& path, std::size_t index, RegistryValue& value) const;
    bool QueryValue(const std::string& path, const std::string& name, RegistryValue& value) const;
    // Every value of the key, in enumeration order.
    std::vector<RegistryValue> Values(const std::string& path) const;
    std::size_t BlockCount() const { return m_blocks.size(); }

    // Edits. `filetime` (100 ns units since 1601) becomes the touched key's time stamp.
    // CreateKey adds a block for a key that does not exist; nothing changes for one that does.
    void CreateKey(const std::string& path, std::uint64_t filetime);
    // False when the key does not exist. A name that appears more than once keeps only its first
    // appearance, which takes the new data.
    bool SetValue(const std::string& path, const RegistryValue& value, std::uint64_t filetime);
    // Removes every appearance of the name. False when the key or the value does not exist.
    bool DeleteValue(const std::string& path, const std::string& name, std::uint64_t filetime);

    // The text of one value line (without its line end) in Wine's form, wrapped as Wine wraps
    // long hex data.
    static std::string FormatValue(const RegistryValue& value, const std::string& eol);

private:
    enum class LineKind { kValue, kTime, kOther };
    struct Entry {
        LineKind kind = LineKind::kOther;
        std::string text;  // the lines with their line ends, exactly as in the file
        std::string name;  // value name (kValue only)
    };
    struct Block {
        std::string raw_path;  // the bytes between "[" and "]" of the header line
        std::string path;      // decoded
        std::string header;    // the header line with its line end
        std::vector<Entry> entries;
    };

    // A value as it reads: the spelling of its first appearance, the line of its last.
    struct ValueRef {
        std::string name;
        const Entry* last = nullptr;
    };

    Block* FindBlock(const std::string& path);
    const Block* FindBlock(const std::string& path) const;
    // Every block of the key, in file order: Wine merges repeated blocks of one key.
    std::vector<Block*> BlocksOf(const std::string& path);
    std::vector<ValueRef> ValueRefs(const std::string& path) const;
    // Makes sure a line put after `entry` starts a line of its own: a line end, and for hex data
    // whose last line asks for a continuation (a file cut short), a blank line that ends the data.
    void CloseEntry(Entry& entry) const;
    Block& InsertBlock(const std::string& path, std::uint64_t filetime);
    void Touch(Block& block, std::uint64_t filetime);
    static void EnsureLineEnd(std::string& text, const std::string& eol);

    std::string m_prologue;  // everything before the first key block
    std::vector<Block> m_blocks;
    std::string m_eol = "\n";
};

}  // namespace zel::platform
