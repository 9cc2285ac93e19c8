#include "cure/trojan_cure_module.h"

#include <cstring>
#include <new>
#include <set>
#include <vector>

#include "cure/cure_files.h"
#include "cure/process_list.h"
#include "framework/codepage.h"
#include "framework/exceptions.h"
#include "platform/files.h"
#include "platform/services.h"

namespace {

// The calling process and every process above it: ending any of them would end the scan.
std::set<DWORD> OwnLine(zel::platform::ProcessTable& table) {
    std::set<DWORD> line;
    std::uint32_t id = table.OwnId();
    while (line.insert(id).second) {
        std::uint32_t parent = 0;
        if (!table.ParentId(id, parent)) break;
        id = parent;
    }
    return line;
}

// The file name with its extension (what follows the last folder separator), as Windows spells
// it: files on disk are named in UTF-8, while initialisation files and the registry name them in
// the ANSI code page. A name that code page cannot hold stays as it is.
CString FileNameOf(const CString& path) {
    auto slash = path.find_last_of(zel::platform::kPathSeparators);
    CString name = slash == CString::npos ? path : path.substr(slash + 1);
    auto ansi = zel::codepage::Utf8ToWindows1252(name);
    return ansi ? *ansi : name;
}

}  // namespace

CTrojanCureModule::CTrojanCureModule(CTrojanBase2* base) : m_pBase(base) {}

CTrojanCureModule::CTrojanCureModule(const CTrojanCureModule& other)
    : m_pBase(other.m_pBase), m_nDataLength(other.m_nDataLength), m_strFilePath(other.m_strFilePath),
      m_strFileName(other.m_strFileName), m_report(other.m_report) {
    if (other.m_pData) {
        m_pData = std::make_unique<BYTE[]>(static_cast<std::size_t>(other.m_nDataLength));
        std::memcpy(m_pData.get(), other.m_pData.get(), static_cast<std::size_t>(other.m_nDataLength));
    }
}

CTrojanCureModule& CTrojanCureModule::operator=(const CTrojanCureModule& other) {
    if (this != &other) {
        CTrojanCureModule copy(other);
        m_pBase = copy.m_pBase;
        m_pData = std::move(copy.m_pData);
        m_nDataLength = copy.m_nDataLength;
        m_strFilePath = std::move(copy.m_strFilePath);
        m_strFileName = std::move(copy.m_strFileName);
        m_report = std::move(copy.m_report);
    }
    return *this;
}

CTrojanCureModule::~CTrojanCureModule() { DetachFile(); }

int CTrojanCureModule::IsExecutableFile(const CString& path) {
    std::vector<BYTE> magic;
    if (!zel::platform::ReadFileHead(path, 2, magic)) return 0;
    return magic.size() == 2 && magic[0] == 'M' && magic[1] == 'Z' ? 1 : 0;
}

int CTrojanCureModule::AttachFile(const CString& path) {
    DetachFile();
    std::vector<BYTE> head;
    if (!zel::platform::ReadFileHead(path, kAttachWindowBytes, head)) return 0;
    // A file under the minimum never matches: its length is kept, its content is not.
    if (head.size() < kMinimumAttachBytes) {
        m_nDataLength = static_cast<int>(head.size());
        return 1;
    }
    m_pData.reset(new (std::nothrow) BYTE[head.size()]);
    if (!m_pData) return 0;
    std::memcpy(m_pData.get(), head.data(), head.size());
    m_nDataLength = static_cast<int>(head.size());
    return 1;
}

void CTrojanCureModule::DetachFile() {
    m_pData.reset();
    m_nDataLength = 0;
}

int CTrojanCureModule::SearchTrojan(int start, int mode) {
    if (!m_pData || !m_pBase) return -1;
    return m_pBase->Find(m_pData.get(), m_nDataLength, start, mode);
}

int CTrojanCureModule::DisinfectTrojan(const CString& path, int index) {
    m_report = CureReport{};
    m_strFilePath = path;
    // Start-up places name the file Windows runs: the real one when the path is a link to it.
    m_strFileName = FileNameOf(zel::platform::CanonicalPath(path));
    EndProcesses(path, &m_report);

    const CTrojan2* record = m_pBase && index >= 0 ? m_pBase->GetTrojan(index) : nullptr;
    if (record) {
        // The order is fixed, and is not the order of the bits.
        WORD flags = record->m_cureFlags;
        if (flags & 0x02) CureWinstartBat();
        if (flags & 0x10) CureWininitIni();
        if (flags & 0x01) CureAutoexecBat();
        if (flags & 0x04) {
            // Each call empties the first remaining line that names the file: a "load=" and a
            // "run=" line both get cleaned.
            CureWinIni();
            CureWinIni();
        }
        if (flags & 0x08) CureSystemIni();
        if (flags & 0x20) CureStartUp();
        if (flags & 0x40) CureAutoeraseWininit();
        if (flags & 0x80) CureTracerRegistry();
        for (int i = 0; i < record->GetRegentryCount(); ++i) {
            HKEY root = 0;
            CString subkey;
            if (!m_pBase->GetRegistry(record->GetRegentry(i), root, subkey)) continue;
            CureRegistry(root, subkey);
        }
    }
    zel::cure::CureFiles files(zel::platform::CurrentServices().system_root, m_report);
    zel::cure::CureFiles::Place place = files.DiskPlace(path);
    std::string refusal;
    std::string real = files.RealPlace(place, refusal);
    if (!real.empty() && zel::platform::KindOf(real) == zel::platform::EntryKind::file) {
        zel::platform::ClearReadOnly(real);
    }
    m_report.deleted = files.Delete(place, {"delete", "file", "deleted"}, true);
    return m_report.deleted ? 1 : 0;
}

void CTrojanCureModule::DisinfectTrojanFromMemory(const char* path) {
    if (path) EndProcesses(path, nullptr);
}

void CTrojanCureModule::EndProcesses(const std::string& path, CureReport* report) {
    zel::platform::ProcessTable* table = zel::platform::CurrentServices().processes;
    if (path.empty() || !table) return;
    auto fail = [&](const std::string& target, const std::string& reason) {
        if (report) report->Fail(CureFailure{"processes", "process", target, "ended", reason});
    };
    CProcessList list;
    if (!list.Capture()) {
        fail("running " + path, "the running processes cannot be listed");
        return;
    }
    std::set<DWORD> spared = OwnLine(*table);
    for (int pass = 0; pass < list.GetCount(); ++pass) {
        CString program;
        if (list.GetProcessPath(program) && zel::cure::SameFile(program, path)) {
            DWORD id = list.GetCurrentID();
            std::string target = std::to_string(id) + " (" + program + ")";
            if (spared.count(id)) {
                fail(target, "it is this scanner or one of the processes that started it");
            } else {
                if (!table->Terminate(id)) fail(target, "the system refused to end it");
                table->Sleep(kKillWaitMs);
            }
        }
        list.Advance(1);
    }
}
void CTrojanCureModule::KillInfectedProcess(DWORD processId) {
    if (zel::platform::ProcessTable* table = zel::platform::CurrentServices().processes) table->Terminate(processId);
}
