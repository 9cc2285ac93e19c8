#include "updater/core/text_file_writer.h"

CTextFileWriter::~CTextFileWriter() { Close(); }

void CTextFileWriter::Open(const CString& path, int append, int keepOpen) {
    Close();
    m_path = path;
    // A held file that cannot be opened drops every write until Close; it must not fall back to
    // opening the file for each write.
    m_keepOpen = keepOpen != 0;
    auto file = std::make_unique<CFile>();
    unsigned flags = CFile::modeWrite | CFile::modeCreate;
    if (append) flags |= CFile::modeNoTruncate;
    if (!file->Open(path, flags)) return;
    try {
        if (append) file->Seek(0, CFile::end);
    } catch (const CFileException&) {
    }
    if (keepOpen) m_file = std::move(file);
}

void CTextFileWriter::Write(const CString& text) {
    if (m_path.empty()) return;
    try {
        if (m_file) {
            m_file->Write(text.data(), static_cast<UINT>(text.size()));
            return;
        }
        if (m_keepOpen) return;  // the held file could not be opened
        CFile file;
        if (!file.Open(m_path, CFile::modeWrite | CFile::modeCreate | CFile::modeNoTruncate)) return;
        file.Seek(0, CFile::end);
        file.Write(text.data(), static_cast<UINT>(text.size()));
        file.Close();
    } catch (const CFileException&) {
        // Write errors are not reported.
    }
}

void CTextFileWriter::Close() {
    if (m_file) {
        try {
            m_file->Close();
        } catch (const CFileException&) {
        }
        m_file.reset();
    }
    m_path.clear();
    m_keepOpen = false;
}
