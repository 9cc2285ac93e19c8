#include "tools/zel/scanner.h"

#include <span>

#include "archive/qv_archive.h"
#include "platform/files.h"

namespace zel::cli {

static_assert(kScanWindowBytes >= CQVArchiveEngine::kSniffHeadSize);

Scanner::Scanner(CTrojanBase2& base, int mode)
    : m_base(base), m_mode(mode),
      // Left uninitialised: only what a read fills is ever looked at.
      m_head(new std::uint8_t[kScanWindowBytes]), m_tail(new std::uint8_t[CQVArchiveEngine::kSniffTailSize]) {}

Verdict Scanner::ScanFile(const std::string& path, bool follow_link) {
    Verdict verdict;
    m_lastMayBeArchive = false;
    std::span<std::uint8_t> head(m_head.get(), kScanWindowBytes);
    std::span<std::uint8_t> tail(m_tail.get(), CQVArchiveEngine::kSniffTailSize);
    platform::FileEnds read;
    if (!platform::ReadFileEnds(path, head, tail, follow_link, read, verdict.message)) {
        verdict.status = Verdict::error;
        return verdict;
    }
    m_scannedBytes += read.head;
    // The whole file when it fits in the head.
    std::span<const std::uint8_t> end = read.tail ? tail.first(read.tail) : head.first(read.head);
    m_lastMayBeArchive = CQVArchiveEngine::MayBeArchive(
        path.c_str(), head.first(std::min<std::size_t>(read.head, CQVArchiveEngine::kSniffHeadSize)),
        end.last(std::min(end.size(), CQVArchiveEngine::kSniffTailSize)));
    if (read.head < kMinimumScanBytes) return verdict;
    verdict.index = m_base.Find(head.data(), static_cast<int>(read.head), 0, m_mode);
    if (verdict.index >= 0) verdict.status = Verdict::infected;
    return verdict;
}

}  // namespace zel::cli
