// Whole files read and replaced the careful way, for files that someone else may have put in our
// path (a registry hive, an initialisation file, a shortcut): anything that is not a regular file
// (a FIFO, a device, a folder, a socket) is refused before it is opened, so that reading never
// blocks and never wakes a device; a replacement keeps the owner, group and mode of what it replaces
// and never turns a symbolic link into a plain file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zel::platform {

enum class ReadOutcome {
    kOk,
    kMissing,  // nothing is there (a dangling symbolic link included)
    kFailed,   // something is there but could not be read whole; the reason says why
};

// Files larger than this are not read whole by default: no file we edit comes near it.
inline constexpr std::uint64_t kRegularFileReadLimit = 256u * 1024 * 1024;

// Reads the whole regular file at `path` (a final symbolic link is followed) into `bytes`.
ReadOutcome ReadRegularFile(const std::string& path, std::string& bytes, std::string& reason,
                            std::uint64_t limit = kRegularFileReadLimit);

// "a FIFO", "a folder", ...: what the thing at `path` is when it is not a regular file (a final
// symbolic link followed); "" for a regular file or nothing.
std::string NonRegularKind(const std::string& path);

// Replaces the content of the file at `path` by `bytes` atomically (a new file beside it, renamed
// over it; see ReplaceFileAtomically), or creates it. False, with `reason`, when it cannot be
// written; the old file is then untouched.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& reason);

}  // namespace zel::platform
