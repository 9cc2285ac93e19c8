// CProcessList: a snapshot of the running processes' IDs with a cursor, and the program file of
// the process at the cursor. It reads the process table of the platform binding.
#pragma once

#include <vector>

#include "framework/framework_types.h"

class CProcessList {
public:
    CProcessList();
    virtual ~CProcessList();
    CProcessList(const CProcessList&) = delete;
    CProcessList& operator=(const CProcessList&) = delete;

    // Takes a new snapshot; the cursor is then on the first ID. 1, or 0 when the processes cannot
    // be listed.
    int Capture();
    // The number of IDs of a valid snapshot, else -1.
    int GetCount() const;
    // The ID at the cursor; 0xFFFFFFFF when there is none.
    DWORD GetCurrentID() const { return m_currentId; }
    // Moves the cursor n places on (n >= 0). 0, changing nothing, when that passes the end or the
    // snapshot is not valid.
    int Advance(int n);
    // The program file of the process at the cursor: its path on disk, the calling process's own
    // program file for its own ID, "System Idle Process" for ID 0 and "System" for ID 2 when those
    // cannot be looked at. 1, or 0 when it cannot be known.
    int GetProcessPath(CString& path) const;

private:
    void Reset();

    DWORD m_currentId = 0xFFFFFFFFu;
    bool m_valid = false;
    int m_cursor = -1;
    std::vector<DWORD> m_ids;
};
