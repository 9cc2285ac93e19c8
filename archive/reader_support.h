// Small helpers that every back-end shares: the two exceptions and the destination rules.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "archive/qv_archive.h"

namespace zel::arcopen {

[[noreturn]] inline void ThrowEnd() { throw CQVArchiveException(CQVArchiveException::eEndOfArchive); }
[[noreturn]] inline void ThrowFailure() { throw CQVArchiveException(CQVArchiveException::eArchiveFailure); }

// A destination that ends in a separator ("\" as the interface writes it, or "/") names a folder.
inline bool NamesDirectory(const std::string& destination) {
    return !destination.empty() && (destination.back() == '\\' || destination.back() == '/');
}

// The folder that a destination ending in a separator names, without the trailing separators
// ("/" alone stays "/").
inline std::string DirectoryPath(std::string destination) {
    while (destination.size() > 1 && (destination.back() == '\\' || destination.back() == '/')) {
        destination.pop_back();
    }
    return destination;
}

// The entry names that a back-end lists when it opens an archive, walked as the interface walks
// them: MoveFirst, then GetName and MoveNext until eEndOfArchive.
class CEntryNameList {
public:
    void Clear() {
        m_names.clear();
        m_index = 0;
    }
    void Add(CString name) { m_names.push_back(std::move(name)); }
    void MoveFirst() { m_index = 0; }
    // The current name; eEndOfArchive past the last one.
    const CString& GetName() const {
        if (m_index >= m_names.size()) ThrowEnd();
        return m_names[m_index];
    }
    // Moves to the next name; eEndOfArchive when there is none.
    void MoveNext() {
        if (m_index < m_names.size()) ++m_index;
        if (m_index >= m_names.size()) ThrowEnd();
    }

private:
    std::vector<CString> m_names;
    std::size_t m_index = 0;
};

// Turns every "/" of a stored name into "\", the separator of the names the interface returns.
inline void UseBackslashes(std::string& name) {
    for (char& c : name) {
        if (c == '/') c = '\\';
    }
}

}  // namespace zel::arcopen
