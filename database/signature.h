// CSignature: recognises one sample file (an image) of a trojan by three 16-byte windows taken
// from it at three offsets. While a signature is made, the whole sample file is attached.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "database/database_export.h"
#include "fileio/archive.h"
#include "framework/framework_types.h"

class ZEL_DATABASE_API CSignature {
public:
    static constexpr int kSlots = 3;
    static constexpr int kWindowSize = 16;
    // The first bytes of a sample file (headers, stubs) are never used for a window.
    static constexpr int kFirstCandidateOffset = 1024;
    // Consecutive windows must start at least this far apart: no overlap, 32 bytes between them.
    static constexpr std::uint32_t kMinimumSpacing = 48;
    // FindMeEx needs more than this many bytes to look at.
    static constexpr int kMinimumAnywhereLength = 48;
    // A scan reads no more than the first 2 MiB of a file, so windows are drawn only from there:
    // a window beyond would make a signature that cannot match, not even its own sample.
    static constexpr int kSearchedBytes = 0x200000;

    CSignature();
    CSignature(const CSignature& other);
    CSignature& operator=(const CSignature& other);
    virtual ~CSignature();

    // 1 when the three offsets and all 48 window bytes are equal; the image path is not compared.
    int operator==(const CSignature& other) const;

    // Reads the image file into memory and counts its unique windows; 1 on success, 0 when the
    // file is not a regular file, cannot be opened or the memory cannot be had (the signature is
    // then detached).
    int AttachFile();
    void DetachFile();
    int IsFileAttached() const { return m_attachment != nullptr ? 1 : 0; }

    // Copies the n-th unique window of the attached file (from 0) into `slot`; nothing when n is out of range.
    void ExtractSignature(int slot, int n);
    // Fills the slots with the unique windows at 0, 2/9 and 4/9 of the unique windows.
    void ExtractDefaultSignatures();
    // Fills the slots with random unique windows, sorted and spaced; retries until the spacing
    // holds or the deadline (a tick count) passes. Returns without change when no file is attached
    // or it has 3 unique windows or fewer.
    void ExtractRandomSignatures();
    void ExtractRandomSignatures(std::uint32_t deadline_tick);
    void ResetSignatures();

    // False while all three windows are zero, as a new image and a timed-out generation leave
    // them: such windows would match any buffer with zeros at the offsets (most programs start
    // with them), so they take part in no search.
    bool IsSearchable() const;
    // 1 when all three windows match at their stored offsets; 0 for a signature that is not searchable.
    int FindMe(const BYTE* buffer, int length) const;
    // 1 when the three windows occur anywhere with their stored distances; 0 for a signature that
    // is not searchable.
    int FindMeEx(const BYTE* buffer, int length) const;
    // 1 when `other` may coexist with this signature: it is not the same signature and does not
    // recognise this signature's attached file. A signature that is not searchable recognises
    // nothing and is acceptable to every other.
    int AcceptAnotherSignature(const CSignature& other) const;

    // Prints the image path and the windows to standard output.
    void Show() const;
    // Replaces `text` with the dump, the unique count and the attached file's length.
    void Show(CString& text) const;

    void Serialize(CArchive& archive);

    // Accessors of the persistent fields.
    const BYTE* GetWindow(int slot) const { return m_bytes[slot]; }
    DWORD GetOffset(int slot) const { return m_offsets[slot]; }
    // The image path is stored text (Windows-1252), converted to the file system's spelling only
    // where the file is opened.
    const CString& GetImagePath() const { return m_imagePath; }
    void SetImagePath(const CString& path) { m_imagePath = path; }
    // Sets one window and its offset, or the offset alone, directly (databases built by other
    // means, tests).
    void SetWindow(int slot, const BYTE* bytes, DWORD offset);
    void SetOffset(int slot, DWORD offset);
    int GetUniqueCount() const { return m_uniqueCount; }
    int GetAttachedLength() const { return m_attachment ? m_attachment->length : 0; }

    // Makes every later change of the windows or offsets advance `*counter` (null: none), so that
    // what was derived from them, such as the database's search index, is known to be stale even
    // when the change comes through a reference a caller kept. Copies start unbound; assignment
    // keeps the target's binding.
    void BindChangeCounter(std::uint64_t* counter) { m_changeCounter = counter; }

private:
    // The sample file while it is attached. One pointer, so that the many signatures of a loaded
    // database, which have none, pay little for it.
    struct Attachment {
        std::unique_ptr<BYTE[]> content;
        int length = 0;
        std::vector<int> uniqueOffsets;  // where the unique windows start
    };
    static std::unique_ptr<Attachment> CopyOf(const Attachment& attachment);

    void NoteChange() {
        if (m_changeCounter) ++*m_changeCounter;
    }
    static int IsValid(const BYTE* window);
    void EnumSignatures();
    void SortAscending();
    int CheckAddresses() const;
    void DrawRandomWindows();
    bool WindowMatches(const BYTE* position, int slot) const;

    BYTE m_bytes[kSlots][kWindowSize];
    DWORD m_offsets[kSlots];
    int m_uniqueCount = 0;  // kept after detaching
    CString m_imagePath;
    std::unique_ptr<Attachment> m_attachment;
    std::uint64_t* m_changeCounter = nullptr;
};
