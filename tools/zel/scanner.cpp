#include "tools/zel/scanner.h"

#include <vector>

#include "fileio/file.h"

namespace zel::cli {

Verdict Scanner::ScanFile(const std::string& path) {
    Verdict verdict;
    CFile file;
    CFileException error(CFileException::none);
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone, &error)) {
        verdict.status = Verdict::error;
        verdict.message = error.m_detail;
        return verdict;
    }
    try {
        std::vector<BYTE> content(kScanWindowBytes);
        UINT length = file.Read(content.data(), kScanWindowBytes);
        if (length < kMinimumScanBytes) return verdict;
        verdict.index = m_base.Find(content.data(), static_cast<int>(length), 0, m_mode);
        if (verdict.index >= 0) verdict.status = Verdict::infected;
    } catch (const CFileException& read_error) {
        verdict.status = Verdict::error;
        verdict.message = read_error.m_detail;
    }
    return verdict;
}

}  // namespace zel::cli
