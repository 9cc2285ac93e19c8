#include "database/trojan_base2.h"

#include <algorithm>
#include <new>

#include "database/qv_crypt_file.h"
#include "database/search_index.h"
#include "platform/files.h"

const HKEY CTrojanBase2::kRootHandles[kRootCount] = {HKEY_CLASSES_ROOT,  HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
                                                     HKEY_LOCAL_MACHINE, HKEY_USERS,          HKEY_PERFORMANCE_DATA,
                                                     HKEY_DYN_DATA};
const char* const CTrojanBase2::kRootNames[kRootCount] = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG",   "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
    "HKEY_USERS",        "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA"};

namespace {

// The fewest bytes a stored string and a stored record can take: counts beyond what the rest of
// the file could hold are a truncated file, not a reason to allocate.
constexpr std::uint64_t kMinimumStoredString = 1;
constexpr std::uint64_t kMinimumStoredRecord = 1 + 2 + 1 + 2 + 1 + 1;
// A string table's count is stored in 16 bits.
constexpr size_t kMaxStoredTableSize = 0xFFFF;
// Databases run to tens of megabytes: read in large pieces, few system calls.
constexpr UINT kLoadBufferSize = 256 * 1024;

void RequireRoom(CArchive& archive, std::uint64_t count, std::uint64_t each, const char* what) {
    if (count * each > archive.GetRemaining()) {
        throw CArchiveException(CArchiveException::endOfFile, std::string(what) + " beyond the data left");
    }
}

}  // namespace

CTrojanBase2::CTrojanBase2() = default;

CTrojanBase2::~CTrojanBase2() = default;

CString CTrojanBase2::GetDefaultBaseFileName() { return "default.tdb"; }

void CTrojanBase2::EraseContent() {
    m_header.clear();
    m_reserved.clear();
    m_types.clear();
    m_names.clear();
    m_subkeys.clear();
    m_records.clear();
    Changed();
}

int CTrojanBase2::LoadFromCryptFile(CString path) {
    CQVCryptFile file;
    file.SetKey(CQVCryptFile::kDatabaseKey);
    file.EnableCipher(1);
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyRead)) return 0;
    try {
        CArchive archive(&file, CArchive::load, kLoadBufferSize);
        Serialize(archive);
        archive.Close();
    } catch (const CException&) {
        // A truncated or malformed file, and equally a read error, leave no half-loaded database.
        EraseContent();
        return 0;
    } catch (const std::bad_alloc&) {
        EraseContent();
        return 0;
    }
    return 1;
}

int CTrojanBase2::SaveToCryptFile(CString path) {
    // A table's count is 16 bits in the file: a larger table cannot be stored faithfully.
    for (const CStringArray* table : {&m_reserved, &m_types, &m_names, &m_subkeys}) {
        if (table->size() > kMaxStoredTableSize) return 0;
    }
    std::string temp = zel::platform::CreateTempFileBeside(path);
    if (temp.empty()) return 0;
    zel::platform::TempFileGuard guard(temp);
    try {
        CQVCryptFile file;
        file.SetKey(CQVCryptFile::kDatabaseKey);
        file.EnableCipher(1);
        if (!file.Open(temp, CFile::modeWrite | CFile::modeCreate | CFile::shareExclusive)) return 0;
        CArchive archive(&file, CArchive::store, CArchive::kDefaultBufferSize);
        Serialize(archive);
        archive.Close();
        file.Close();
    } catch (const CException&) {
        return 0;
    }
    if (!zel::platform::ReplaceFileAtomically(temp, path)) return 0;
    guard.Release();
    return 1;
}

void CTrojanBase2::LoadTable(CArchive& archive, CStringArray& table) {
    WORD count;
    archive >> count;
    RequireRoom(archive, count, kMinimumStoredString, "string table");
    for (WORD i = 0; i < count; ++i) {
        CString text;
        archive >> text;
        table.push_back(std::move(text));
    }
}

void CTrojanBase2::StoreTable(CArchive& archive, const CStringArray& table) {
    archive << static_cast<WORD>(table.size());
    for (const auto& text : table) archive << text;
}

void CTrojanBase2::Serialize(CArchive& archive) {
    if (archive.IsStoring()) {
        archive << m_header;
        for (const CStringArray* table : {&m_reserved, &m_types, &m_names, &m_subkeys}) StoreTable(archive, *table);
        archive << static_cast<DWORD>(m_records.size());
        for (auto& record : m_records) record->Serialize(archive);
        return;
    }
    Changed();
    archive >> m_header;
    for (CStringArray* table : {&m_reserved, &m_types, &m_names, &m_subkeys}) LoadTable(archive, *table);
    DWORD count;
    archive >> count;
    RequireRoom(archive, count, kMinimumStoredRecord, "record count");
    m_records.reserve(m_records.size() + count);
    for (DWORD i = 0; i < count; ++i) {
        auto record = std::make_unique<CTrojan2>();
        record->BindChangeCounter(&m_changes);
        record->Serialize(archive);
        m_records.push_back(std::move(record));
    }
}

CTrojan2* CTrojanBase2::GetTrojan(int index) {
    return index >= 0 && index < GetSize() ? m_records[static_cast<size_t>(index)].get() : nullptr;
}

const CTrojan2* CTrojanBase2::GetTrojan(int index) const {
    return index >= 0 && index < GetSize() ? m_records[static_cast<size_t>(index)].get() : nullptr;
}

CTrojan2* CTrojanBase2::GetFirstTrojan(int& position) {
    position = 0;
    return GetTrojan(position);
}

CTrojan2* CTrojanBase2::GetNextTrojan(int& position) {
    // Stops at the size, so that calling again past the end keeps the position there.
    if (position < GetSize()) ++position;
    return GetTrojan(position);
}

int CTrojanBase2::Add(CString type, CString name, CString version, WORD cure_flags) {
    int existing = FindTrojan(type, name, version);
    if (existing >= 0) return existing;
    // A type or name that the 8- or 16-bit index could not reach would make the record name
    // another trojan: refuse it.
    BYTE type_index;
    WORD name_index;
    if ((!FindType(type, type_index) && m_types.size() > 0xFF) ||
        (!FindName(name, name_index) && m_names.size() > 0xFFFF)) {
        return -1;
    }
    auto record = std::make_unique<CTrojan2>();
    record->m_typeIndex = RegisterType(type);
    record->m_nameIndex = RegisterName(name);
    record->m_version = version;
    record->m_cureFlags = cure_flags;
    record->BindChangeCounter(&m_changes);
    m_records.push_back(std::move(record));
    Changed();
    return GetSize() - 1;
}

void CTrojanBase2::Remove(int index) {
    if (index < 0 || index >= GetSize()) return;
    m_records.erase(m_records.begin() + index);
    Changed();
}

void CTrojanBase2::AddImage(int index, const CString& image) {
    if (CTrojan2* record = GetTrojan(index)) record->AddImage(image);
}

void CTrojanBase2::RemoveImage(int index, const CString& image) {
    if (CTrojan2* record = GetTrojan(index)) record->RemoveImage(image);
}

void CTrojanBase2::LoadImages(int index) {
    if (CTrojan2* record = GetTrojan(index)) record->LoadImages();
}

void CTrojanBase2::UnloadImages(int index) {
    if (CTrojan2* record = GetTrojan(index)) record->UnloadImages();
}

// An entry holds the subkey index in one byte: a subkey beyond the 256th is registered but can
// be named by no entry, so no record is changed for it (it would otherwise name another root).
void CTrojanBase2::AddRegistry(int index, HKEY root, CString subkey) {
    WORD entry = RegisterRegistry(root, subkey);
    CTrojan2* record = GetTrojan(index);
    if (record && FitsInEntry(subkey)) record->AddRegentry(entry);
}

void CTrojanBase2::RemoveRegistry(int index, HKEY root, CString subkey) {
    WORD entry = RegisterRegistry(root, subkey);
    CTrojan2* record = GetTrojan(index);
    if (record && FitsInEntry(subkey)) record->RemoveRegentry(entry);
}

bool CTrojanBase2::FitsInEntry(const CString& subkey) const {
    WORD index = 0;
    return FindSubkey(subkey, index) && index <= 0xFF;
}

int CTrojanBase2::GetRegistry(WORD entry, HKEY& root, CString& subkey) const {
    root = Index2HKEY(entry);
    size_t subkey_index = entry & 0xFF;
    subkey = subkey_index < m_subkeys.size() ? m_subkeys[subkey_index] : CString();
    return root != 0 && subkey_index < m_subkeys.size() ? 1 : 0;
}

CString CTrojanBase2::GetType(BYTE type_index) const {
    return type_index < m_types.size() ? m_types[type_index] : CString(kInvalidText);
}

CString CTrojanBase2::GetName(WORD name_index) const {
    return name_index < m_names.size() ? m_names[name_index] : CString(kInvalidText);
}

CString CTrojanBase2::GetTrojanType(int index) const {
    const CTrojan2* record = GetTrojan(index);
    if (!record || record->m_typeIndex >= m_types.size()) return kInvalidText;
    return m_types[record->m_typeIndex];
}

CString CTrojanBase2::GetTrojanName(int index) const {
    const CTrojan2* record = GetTrojan(index);
    if (!record || record->m_nameIndex >= m_names.size()) return kInvalidText;
    return m_names[record->m_nameIndex];
}

CString CTrojanBase2::GetTrojanVer(int index) const {
    const CTrojan2* record = GetTrojan(index);
    return record ? record->m_version : CString(kInvalidText);
}

int CTrojanBase2::FindType(const CString& text, BYTE& index) const {
    auto it = std::find(m_types.begin(), m_types.end(), text);
    if (it == m_types.end()) return 0;
    index = static_cast<BYTE>(it - m_types.begin());
    return 1;
}

int CTrojanBase2::FindName(const CString& text, WORD& index) const {
    auto it = std::find(m_names.begin(), m_names.end(), text);
    if (it == m_names.end()) return 0;
    index = static_cast<WORD>(it - m_names.begin());
    return 1;
}

int CTrojanBase2::FindSubkey(const CString& text, WORD& index) const {
    auto it = std::find(m_subkeys.begin(), m_subkeys.end(), text);
    if (it == m_subkeys.end()) return 0;
    index = static_cast<WORD>(it - m_subkeys.begin());
    return 1;
}

BYTE CTrojanBase2::RegisterType(const CString& text) {
    BYTE index;
    if (FindType(text, index)) return index;
    m_types.push_back(text);
    return static_cast<BYTE>(m_types.size() - 1);
}

WORD CTrojanBase2::RegisterName(const CString& text) {
    WORD index;
    if (FindName(text, index)) return index;
    m_names.push_back(text);
    return static_cast<WORD>(m_names.size() - 1);
}

WORD CTrojanBase2::RegisterSubkey(const CString& text) {
    WORD index;
    if (FindSubkey(text, index)) return index;
    m_subkeys.push_back(text);
    return static_cast<WORD>(m_subkeys.size() - 1);
}

WORD CTrojanBase2::RegisterRegistry(HKEY root, const CString& subkey) {
    return static_cast<WORD>(RegisterSubkey(subkey) + HKEY2Index(root));
}

WORD CTrojanBase2::HKEY2Index(HKEY root) {
    for (int i = 0; i < kRootCount; ++i) {
        if (kRootHandles[i] == root) return static_cast<WORD>(i * 256);
    }
    return 0;
}

HKEY CTrojanBase2::Index2HKEY(WORD entry) {
    int root_index = entry >> 8;
    return root_index < kRootCount ? kRootHandles[root_index] : 0;
}
