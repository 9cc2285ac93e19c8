// CTrojanBase2: the trojan database. An ordered list of trojan records and the shared string
// tables they index into, loaded from and saved to the enciphered file "default.tdb".
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "database/database_export.h"
#include "database/trojan2.h"
#include "fileio/archive.h"
#include "framework/framework_types.h"
#include "framework/hkey.h"

namespace zel::database {
class SearchIndex;
}

class ZEL_DATABASE_API CTrojanBase2 {
public:
    // The registry roots that an entry's high byte selects, in table order.
    static constexpr int kRootCount = 7;
    static const HKEY kRootHandles[kRootCount];
    static const char* const kRootNames[kRootCount];
    // Returned by text look-ups of a record index that does not exist.
    static constexpr const char* kInvalidText = "<invalid>";
    // How long GenerateSignatures may look for acceptable windows.
    static constexpr std::uint32_t kGenerateTimeoutMs = 15000;
    static constexpr const char* kTimeoutMessage = "Oops, timeout expired, couldn't generate signature";

    CTrojanBase2();
    CTrojanBase2(const CTrojanBase2&) = delete;
    CTrojanBase2& operator=(const CTrojanBase2&) = delete;
    virtual ~CTrojanBase2();

    static CString GetDefaultBaseFileName();
    // Loads the enciphered file; 1 on success, 0 when it cannot be opened (database unchanged)
    // or is truncated or malformed (database erased).
    int LoadFromCryptFile(CString path);
    // Writes the enciphered file through a temporary file renamed over `path`; 1 on success, 0 on
    // failure (the old file, if any, is then untouched).
    int SaveToCryptFile(CString path);
    void Serialize(CArchive& archive);
    void EraseContent();

    int GetSize() const { return static_cast<int>(m_records.size()); }
    CTrojan2* GetTrojan(int index);
    const CTrojan2* GetTrojan(int index) const;
    CTrojan2* GetFirstTrojan(int& position);
    CTrojan2* GetNextTrojan(int& position);

    // The index of the record with these texts, created when absent; -1 when the type or name
    // table is full.
    int Add(CString type, CString name, CString version, WORD cure_flags);
    void Remove(int index);
    void AddImage(int index, const CString& image);
    void RemoveImage(int index, const CString& image);
    void LoadImages(int index);
    void UnloadImages(int index);
    void AddRegistry(int index, HKEY root, CString subkey);
    void RemoveRegistry(int index, HKEY root, CString subkey);
    // Root and subkey text of an entry; root 0 and an empty text when the entry names no root
    // or no subkey of the tables. Returns 1 when both were found.
    int GetRegistry(WORD entry, HKEY& root, CString& subkey) const;

    CString GetType(BYTE type_index) const;
    CString GetName(WORD name_index) const;
    CString GetTrojanType(int index) const;
    CString GetTrojanName(int index) const;
    CString GetTrojanVer(int index) const;

    // The first record at or after `start` with a signature that matches `buffer`: at the stored
    // offsets (mode 0) or anywhere (other modes); -1 when none does.
    int Find(const BYTE* buffer, int length, int start, int mode);
    // Builds now what Find needs to search in `mode`, which the first Find would otherwise build.
    // Afterwards Find in that mode only reads the database: several threads may search at once,
    // as long as nothing changes the database meanwhile.
    void PrepareSearch(int mode);
    int FindTrojan(CString type, CString name, CString version) const;
    int FindTrojan(BYTE type_index, WORD name_index, CString version) const;
    int GetTotalSignatureCount() const;
    // Draws new signatures for record `index` until no other record objects, within 15 seconds;
    // on timeout shows the timeout message and zeroes the record's signatures.
    void GenerateSignatures(int index);

    // The string tables, for tools that list the database.
    const CString& GetHeaderText() const { return m_header; }
    void SetHeaderText(const CString& text) { m_header = text; }
    const CStringArray& GetTypeTable() const { return m_types; }
    const CStringArray& GetNameTable() const { return m_names; }
    const CStringArray& GetSubkeyTable() const { return m_subkeys; }

protected:
    int FindType(const CString& text, BYTE& index) const;
    int FindName(const CString& text, WORD& index) const;
    int FindSubkey(const CString& text, WORD& index) const;
    BYTE RegisterType(const CString& text);
    WORD RegisterName(const CString& text);
    WORD RegisterSubkey(const CString& text);
    WORD RegisterRegistry(HKEY root, const CString& subkey);
    static WORD HKEY2Index(HKEY root);
    static HKEY Index2HKEY(WORD entry);

private:
    void LoadTable(CArchive& archive, CStringArray& table);
    static void StoreTable(CArchive& archive, const CStringArray& table);
    void Changed() { ++m_changes; }
    bool FitsInEntry(const CString& subkey) const;

    CString m_header;
    CStringArray m_reserved;
    CStringArray m_types;
    CStringArray m_names;
    CStringArray m_subkeys;
    std::vector<std::unique_ptr<CTrojan2>> m_records;
    // Advanced by every change the search depends on: records added, removed or loaded, and every
    // change of a record's signatures, which the records report through their binding to it.
    std::uint64_t m_changes = 0;
    std::unique_ptr<zel::database::SearchIndex> m_index;
};
