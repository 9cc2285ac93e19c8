#include "updater/core/download_worker.h"

#include <cstring>

namespace zel::updater {

CString CDownloadWorker::GetErrorText() const { return CString(m_errorText); }

void CDownloadWorker::SetErrorText(const CString& text) {
    std::size_t n = std::min(text.size(), kErrorTextSize - 1);
    std::memcpy(m_errorText, text.data(), n);
    m_errorText[n] = 0;
}

}  // namespace zel::updater
