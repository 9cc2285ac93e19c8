// Walking any Arcopen reader in tests: its listed names, and the error a call raises.
#pragma once

#include <string>
#include <vector>

#include "archive/qv_archive.h"

namespace zel::test {

// The names of a listing pass, in order. Lets errors other than eEndOfArchive through.
inline std::vector<std::string> ListNames(CQVArchive& reader) {
    std::vector<std::string> names;
    try {
        reader.MoveFirst();
        for (;;) {
            names.push_back(reader.GetName());
            reader.MoveNext();
        }
    } catch (const CQVArchiveException& failure) {
        if (failure.GetError() != CQVArchiveException::eEndOfArchive) throw;
    }
    return names;
}

// The error code of the CQVArchiveException that `action` throws; -1 when it throws none.
template <typename Action>
int ErrorOf(Action action) {
    try {
        action();
    } catch (const CQVArchiveException& failure) {
        return failure.GetError();
    }
    return -1;
}

}  // namespace zel::test
