// Reader of the shell-link (.lnk) format: the shortcuts in a Start-up folder. Only what the cure
// code needs is read: the target from LinkInfo (local base path, or network name, joined with the
// common path suffix; the Unicode forms when present) and the strings that follow. The format is
// described in docs/formats/shell-link.md.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zel::platform {

struct ShellLink {
    std::string target;  // Windows path in the ANSI code page; "" when the link has no LinkInfo
    std::string name, relative_path, working_dir, arguments, icon_location;
};

// Parses a shortcut file's bytes; nullopt when the header or the LinkInfo structure is damaged or
// cut short. Damage after the target (string data, extra data) is tolerated.
std::optional<ShellLink> ParseShellLink(std::string_view bytes);

// The target of the shortcut file at `path` (a path on disk), or "" when the file cannot be read
// or the shortcut is damaged or names no target. Anything but a regular file is refused unopened;
// `unreadable`, when given, then says why (it stays "" for a damaged shortcut or a missing file).
// On Windows the system's shell-link object reads it (and may derive a target from an item list
// that names no LinkInfo); a target that the ANSI code page cannot spell is unreadable there.
std::string ReadShortcutTarget(const std::string& path, std::string* unreadable = nullptr);

}  // namespace zel::platform
