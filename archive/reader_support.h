// Small helpers that every back-end shares: the two exceptions and the destination rules.
#pragma once

#include <string>

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

// Turns every "/" of a stored name into "\", the separator of the names the interface returns.
inline void UseBackslashes(std::string& name) {
    for (char& c : name) {
        if (c == '/') c = '\\';
    }
}

}  // namespace zel::arcopen
