#include "cure/process_list.h"

#include <limits>

#include "platform/services.h"

namespace {

constexpr DWORD kNoProcess = 0xFFFFFFFFu;

}  // namespace

CProcessList::CProcessList() = default;

CProcessList::~CProcessList() { m_ids.clear(); }

void CProcessList::Reset() {
    m_valid = false;
    m_cursor = -1;
    m_ids.clear();
    m_currentId = kNoProcess;
}

int CProcessList::Capture() {
    Reset();
    zel::platform::ProcessTable* table = zel::platform::CurrentServices().processes;
    if (!table) return 0;
    std::vector<std::uint32_t> ids;
    if (!table->ListIds(ids)) return 0;
    // Every listed process is examined: a fixed cap would leave a trojan running on a busy machine.
    if (ids.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        ids.resize(static_cast<std::size_t>(std::numeric_limits<int>::max()));
    }
    m_ids.assign(ids.begin(), ids.end());
    m_cursor = 0;
    m_valid = true;
    if (!m_ids.empty()) m_currentId = m_ids[0];
    return 1;
}

int CProcessList::GetCount() const { return m_valid ? static_cast<int>(m_ids.size()) : -1; }

int CProcessList::Advance(int n) {
    if (!m_valid || n < 0) return 0;
    if (n == 0) return 1;
    if (static_cast<long long>(m_cursor) + n >= static_cast<long long>(m_ids.size())) return 0;
    m_cursor += n;
    m_currentId = m_ids[static_cast<std::size_t>(m_cursor)];
    return 1;
}

int CProcessList::GetProcessPath(CString& path) const {
    zel::platform::ProcessTable* table = zel::platform::CurrentServices().processes;
    if (!table) return 0;
    if (m_currentId == table->OwnId()) {
        CString own = table->OwnPath();
        if (own.empty()) return 0;
        path = own;
        return 1;
    }
    std::string program;
    if (table->ProgramPath(m_currentId, program)) {
        path = program;
        return 1;
    }
    if (m_currentId == 0) {
        path = "System Idle Process";
        return 1;
    }
    if (m_currentId == 2) {
        path = "System";
        return 1;
    }
    return 0;
}
