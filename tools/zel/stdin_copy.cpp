#include "tools/zel/stdin_copy.h"

#include <cstdio>
#include <vector>

#include "fileio/file.h"
#include "tools/zel/cli.h"

namespace zel::cli {

StdinCopy::StdinCopy(std::uint64_t cap) : m_folder("zel-stdin-") {
    if (m_folder.path().empty()) throw Failure{"cannot create a temporary folder for standard input"};
    m_path = m_folder.path() + "/stdin";
    CFile copy;
    CFileException error(CFileException::none);
    if (!copy.Open(m_path, CFile::modeWrite | CFile::modeCreate, &error)) throw Failure{error.m_detail};
    std::vector<char> chunk(256 * 1024);
    std::uint64_t kept = 0;
    try {
        while (kept < cap) {
            std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), cap - kept));
            std::size_t got = std::fread(chunk.data(), 1, want, stdin);
            copy.Write(chunk.data(), static_cast<UINT>(got));
            kept += got;
            if (got < want) break;
        }
        copy.Close();
    } catch (const CFileException& failure) {
        throw Failure{"cannot copy standard input: " + failure.m_detail};
    }
    if (std::ferror(stdin)) throw Failure{"cannot read standard input"};
    // One byte more tells whether input went on; it is not kept.
    m_cut = kept == cap && std::fgetc(stdin) != EOF;
}

}  // namespace zel::cli
