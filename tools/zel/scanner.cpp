#include "tools/zel/scanner.h"

#include <vector>

#include "platform/file.h"
#include "platform/file_head.h"

namespace zel::cli {

Verdict Scanner::ScanFile(const std::string& path) {
    Verdict verdict;
    std::vector<BYTE> content;
    CFileException error(CFileException::none);
    if (!ReadFileHead(path, CFile::modeRead | CFile::shareDenyNone, kScanWindowBytes, content, nullptr, &error)) {
        verdict.status = Verdict::error;
        verdict.message = error.m_detail;
        return verdict;
    }
    if (content.size() < kMinimumScanBytes) return verdict;
    verdict.index = m_base.Find(content.data(), static_cast<int>(content.size()), 0, m_mode);
    if (verdict.index >= 0) verdict.status = Verdict::infected;
    return verdict;
}

}  // namespace zel::cli
