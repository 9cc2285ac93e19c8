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
        m_incomplete = false;
    }
    // The archive could not be listed to its end: the walk ends in eArchiveFailure.
    void MarkIncomplete() { m_incomplete = true; }
    void Add(CString name) { m_names.push_back(std::move(name)); }
    void MoveFirst() { m_index = 0; }
    // The current name; past the last one eEndOfArchive (eArchiveFailure for an incomplete list).
    const CString& GetName() const {
        if (m_index >= m_names.size()) ThrowPastEnd();
        return m_names[m_index];
    }
    // Moves to the next name; eEndOfArchive (eArchiveFailure) when there is none.
    void MoveNext() {
        if (m_index < m_names.size()) ++m_index;
        if (m_index >= m_names.size()) ThrowPastEnd();
    }

private:
    [[noreturn]] void ThrowPastEnd() const {
        if (m_incomplete) ThrowFailure();
        ThrowEnd();
    }

    std::vector<CString> m_names;
    std::size_t m_index = 0;
    bool m_incomplete = false;
};

// Runs `action` when the scope ends, however it ends: a failed entry's decoding is reported too.
template <class Action>
class OnScopeExit {
public:
    explicit OnScopeExit(Action action) : m_action(std::move(action)) {}
    ~OnScopeExit() { m_action(); }
    OnScopeExit(const OnScopeExit&) = delete;
    OnScopeExit& operator=(const OnScopeExit&) = delete;

private:
    Action m_action;
};

// Turns every "/" of a stored name into "\", the separator of the names the interface returns.
inline void UseBackslashes(std::string& name) {
    for (char& c : name) {
        if (c == '/') c = '\\';
    }
}

}  // namespace zel::arcopen
