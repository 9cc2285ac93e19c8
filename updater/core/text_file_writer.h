// Writes texts to one named file, either held open between writes or opened and closed around each
// write (appending). Nothing is reported: a file that cannot be opened drops the texts.
#pragma once

#include <memory>

#include "fileio/file.h"
#include "framework/framework_types.h"

class CTextFileWriter {
public:
    CTextFileWriter() = default;
    CTextFileWriter(const CTextFileWriter&) = delete;
    CTextFileWriter& operator=(const CTextFileWriter&) = delete;
    virtual ~CTextFileWriter();

    // Sets the target. append 0 creates or empties the file, otherwise it is kept and written at
    // its end; keepOpen 0 closes it again at once, so every Write opens, appends and closes.
    void Open(const CString& path, int append, int keepOpen);
    // Writes the bytes of `text` as they are (no terminator, no line end added).
    void Write(const CString& text);
    // Closes a held file and forgets the path; later writes do nothing until the next Open.
    void Close();

private:
    CString m_path;
    std::unique_ptr<CFile> m_file;
    bool m_keepOpen = false;
};
