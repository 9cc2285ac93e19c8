// The two ends of a file, as a scanner reads every file it meets: the start, which it searches, and
// the end, where some archives keep their directory. Files come from folders that anyone may have
// written to, so anything that is not a regular file (a FIFO, a device, a socket, a folder) is
// refused once open, before anything is read from it and without waiting for it, even when it was
// swapped in after the caller looked at the path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zel::platform {

// What ReadFileEnds read: bytes at the start of `head`, bytes at the start of `tail`, the length.
struct FileEnds {
    std::size_t head = 0;
    std::size_t tail = 0;
    std::uint64_t length = 0;
};

// Reads up to head.size() bytes from the start of the regular file at `path` into `head` and, when
// the file is longer than that, its last bytes (up to tail.size()) into `tail`; the buffers are the
// caller's, to be used again for the next file. A final symbolic link is followed only when
// `follow_link` (a path the user named). False, with `reason` ("not a regular file", or the
// system's words for why it cannot be opened or read), when nothing could be read.
bool ReadFileEnds(const std::string& path, std::span<std::uint8_t> head, std::span<std::uint8_t> tail,
                  bool follow_link, FileEnds& read, std::string& reason);

}  // namespace zel::platform
