// What a file-system entry is, in words, for refusing whatever is not a regular file: opening a
// FIFO for reading waits for a writer, and opening a device may act on it.
#pragma once

#include <sys/stat.h>

#include <string>

namespace zel::platform {

// "a FIFO", "a folder", ...; "" for a regular file.
inline std::string KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return "";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// "it is a FIFO, not a regular file", for a kind that KindOfMode gave.
inline std::string NotRegularReason(const std::string& kind) {
    return kind == "not a regular file" ? "it is not a regular file" : "it is " + kind + ", not a regular file";
}

}  // namespace zel::platform
