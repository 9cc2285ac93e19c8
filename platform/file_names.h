// How a path held as stored text names a file on this system. Stored texts (the database's image
// paths among them) are in the ANSI code page, Windows-1252, whatever the system; the file system
// has an encoding of its own for names (UTF-8 on POSIX systems). Every path that comes from stored
// text is converted here before it is opened, and every path that goes into stored text is
// converted back here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zel::platform {

// The name on this file system of the path that `ansi` spells in Windows-1252.
std::string FileNameFromAnsi(std::string_view ansi);

// The Windows-1252 spelling of a path on this file system; nullopt when the path is not a name
// this system's encoding allows or holds a character that Windows-1252 cannot hold.
std::optional<std::string> AnsiFromFileName(std::string_view name);

}  // namespace zel::platform
