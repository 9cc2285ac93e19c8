#include "platform/file_head.h"

#include <algorithm>
#include <limits>
#include <new>

namespace zel {

bool ReadFileHead(const CString& path, unsigned openFlags, std::size_t limit, std::vector<BYTE>& bytes,
                  std::uint64_t* length, CFileException* error) {
    bytes.clear();
    CFile file;
    if (!file.Open(path, openFlags, error)) return false;
    try {
        const std::uint64_t fileLength = file.GetLength();
        if (length) *length = fileLength;
        bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(fileLength, limit)));
        std::size_t done = 0;
        while (done < bytes.size()) {
            // Read takes a 32-bit count and returns fewer bytes only at the end of the file.
            auto piece = static_cast<UINT>(std::min<std::size_t>(bytes.size() - done, std::numeric_limits<UINT>::max()));
            UINT got = file.Read(bytes.data() + done, piece);
            done += got;
            if (got < piece) break;
        }
        bytes.resize(done);
    } catch (const CFileException& failure) {
        bytes.clear();
        if (error) *error = failure;
        return false;
    } catch (const std::bad_alloc&) {
        bytes.clear();
        if (error) *error = CFileException(CFileException::generic, 0, "not enough memory to read the file");
        return false;
    }
    return true;
}

}  // namespace zel
