// Exception family of the framework: file and archive errors raised by CFile and CArchive.
#pragma once

#include <string>

class CException {
public:
    virtual ~CException() = default;
    virtual const char* What() const noexcept = 0;
};

// Raised by CFile for failed reads, writes, seeks and opens (when the caller asks for an exception).
class CFileException : public CException {
public:
    enum ECause { none, generic, fileNotFound, accessDenied, diskFull, endOfFile, badSeek, hardIO };

    explicit CFileException(ECause cause, int os_error = 0, std::string detail = {})
        : m_cause(cause), m_osError(os_error), m_detail(std::move(detail)) {}
    const char* What() const noexcept override { return m_detail.c_str(); }

    ECause m_cause;
    int m_osError;
    std::string m_detail;
};

// Raised by CArchive when the stored form cannot be read: premature end of the data or a malformed field.
class CArchiveException : public CException {
public:
    enum ECause { none, generic, endOfFile, badIndex, badSchema };

    explicit CArchiveException(ECause cause, std::string detail = {}) : m_cause(cause), m_detail(std::move(detail)) {}
    const char* What() const noexcept override { return m_detail.c_str(); }

    ECause m_cause;
    std::string m_detail;
};
