// CTrojan2: one record of the trojan database: which trojan (type, name, version as table
// indices and text), which start-up places to clean, and one signature per known sample file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "database/database_export.h"
#include "database/signature.h"
#include "fileio/archive.h"
#include "framework/framework_types.h"

class ZEL_DATABASE_API CTrojan2 {
public:
    // The regentry count is one byte, and so is the stored signature count.
    static constexpr int kMaxRegentries = 255;
    static constexpr int kMaxSignatures = 255;

    // Cure flags: each bit asks the cure module to clean one start-up place.
    enum ECureFlag : WORD {
        cureAutoexecBat = 0x01,
        cureWinstartBat = 0x02,
        cureWinIni = 0x04,
        cureSystemIni = 0x08,
        cureWininitIni = 0x10,
        cureStartUp = 0x20,
        cureAutoeraseWininit = 0x40,
        cureTracerRegistry = 0x80,
    };

    CTrojan2() = default;
    // Copies everything but the change counter binding: a copy starts unbound, an assigned record
    // keeps its own.
    CTrojan2(const CTrojan2& other);
    CTrojan2& operator=(const CTrojan2& other);
    virtual ~CTrojan2();

    // Appends a signature for `image` unless one has this path (byte-wise) or 255 are held.
    void AddImage(CString image);
    // Destroys the first signature with this path; later ones move down.
    void RemoveImage(CString image);
    int GetSignatureCount() const { return static_cast<int>(m_signatures.size()); }
    // The signature at `index` (below the count). A change made through the reference later on
    // still reaches the record's change counter.
    CSignature& GetSignature(int index) { return m_signatures[static_cast<size_t>(index)]; }
    const CSignature& GetSignature(int index) const { return m_signatures[static_cast<size_t>(index)]; }
    CSignature* GetSignature(const CString& image);

    // Appends the entry unless present or 255 are used.
    void AddRegentry(WORD entry);
    // Overwrites the entry with the last one and shortens the list (order is not kept).
    void RemoveRegentry(WORD entry);
    int FindRegentry(WORD entry) const;
    int GetRegentryCount() const { return m_regentryCount; }
    WORD GetRegentry(int index) const { return m_regentries[static_cast<size_t>(index)]; }

    void LoadImages();
    void UnloadImages();
    int IsImagesLoaded() const;
    void RerollSignatures();
    void RerollSignatures(std::uint32_t deadline_tick);
    void ResetAllSignatures();

    // 1 when none of this record's signatures objects to any of the other's.
    int AcceptAnotherTrojan(const CTrojan2* other) const;
    // 1 when any signature matches: at stored offsets (mode 0) or anywhere (other modes).
    int FindMe(const BYTE* buffer, int length, int mode) const;

    void Serialize(CArchive& archive);

    // Makes every later change of the record's signatures (their windows, offsets or count)
    // advance `*counter`, which the owning database keeps to know when its search index is stale.
    void BindChangeCounter(std::uint64_t* counter);

    // Ordered so that the small fields share one word: a database may hold millions of records.
    CString m_version;
    BYTE m_typeIndex = 0;
    WORD m_nameIndex = 0;
    WORD m_cureFlags = 0;

private:
    void NoteChange() {
        if (m_changeCounter) ++*m_changeCounter;
    }
    // Binds signatures that were added or copied in, which start unbound.
    void BindSignatures();

    // Exactly as many entries as used (most records have a few, many none), not room for 255.
    void CopyRegentries(const CTrojan2& other);

    BYTE m_regentryCount = 0;
    std::unique_ptr<WORD[]> m_regentries;
    std::vector<CSignature> m_signatures;
    std::uint64_t* m_changeCounter = nullptr;
};
