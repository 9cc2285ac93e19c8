// Searching the database and generating signatures.
#include "database/search_index.h"
#include "database/tick_deadline.h"
#include "database/trojan_base2.h"
#include "platform/services.h"

int CTrojanBase2::Find(const BYTE* buffer, int length, int start, int mode) {
    if (start >= GetSize() || buffer == nullptr) return -1;
    PrepareSearch(mode);
    return m_index->Find(buffer, length, start, mode);
}

void CTrojanBase2::PrepareSearch(int mode) {
    if (!m_index || !m_index->IsCurrent(m_changes)) {
        m_index = std::make_unique<zel::database::SearchIndex>(m_records, m_changes);
    }
    m_index->Prepare(mode);
}

int CTrojanBase2::FindTrojan(CString type, CString name, CString version) const {
    BYTE type_index;
    WORD name_index;
    if (!FindType(type, type_index) || !FindName(name, name_index)) return -1;
    return FindTrojan(type_index, name_index, version);
}

int CTrojanBase2::FindTrojan(BYTE type_index, WORD name_index, CString version) const {
    for (int i = 0; i < GetSize(); ++i) {
        const CTrojan2& record = *m_records[static_cast<size_t>(i)];
        if (record.m_typeIndex == type_index && record.m_nameIndex == name_index && record.m_version == version) {
            return i;
        }
    }
    return -1;
}

int CTrojanBase2::GetTotalSignatureCount() const {
    int total = 0;
    for (const auto& record : m_records) total += record->GetSignatureCount();
    return total;
}

void CTrojanBase2::GenerateSignatures(int index) {
    CTrojan2* target = GetTrojan(index);
    if (!target) return;
    const bool attached_here = !target->IsImagesLoaded();
    if (attached_here) target->LoadImages();

    zel::platform::Clock& clock = *zel::platform::CurrentServices().clock;
    const std::uint32_t deadline = clock.TickCount() + kGenerateTimeoutMs;
    for (;;) {
        target->RerollSignatures(deadline);
        bool accepted = true;
        for (int i = 0; i < GetSize() && accepted; ++i) {
            if (i != index && !m_records[static_cast<size_t>(i)]->AcceptAnotherTrojan(target)) accepted = false;
        }
        // The deadline is looked at before the attempt's result: a late success is a timeout too.
        if (zel::database::TickDeadlinePassed(deadline, clock.TickCount())) {
            zel::platform::CurrentServices().messages->ShowMessage(kTimeoutMessage);
            target->ResetAllSignatures();
            return;
        }
        if (accepted) break;
    }
    if (attached_here) target->UnloadImages();
}
