// CTextBuffer: an owned byte buffer with file load and save, directional search and in-place edits,
// used to edit initialisation and batch files line by line and to pick apart downloaded text.
// Content is arbitrary bytes, always followed by one zero byte so that it (or any tail of it) reads
// as a zero-terminated text. Positions are signed byte offsets; as an argument -1 stands for the
// last byte, as a result -1 means "not found".
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "framework/framework_types.h"

class CTextBuffer {
public:
    // The longest content a buffer holds: positions are ints, and one byte is kept for the terminator.
    static constexpr std::int64_t kMaxLength = std::numeric_limits<int>::max() - 1;

    CTextBuffer();
    // Copies the bytes of a zero-terminated text (terminator excluded); null gives an empty buffer.
    explicit CTextBuffer(const char* text);
    virtual ~CTextBuffer();
    CTextBuffer(const CTextBuffer&) = delete;
    CTextBuffer& operator=(const CTextBuffer&) = delete;

    // Replaces the content with the whole file, read in byte mode. 1, or 0 when the file cannot be
    // read or is too long for a buffer (the content is then unchanged). Anything but a regular file
    // (a FIFO, a device) is refused without being opened. `reason`, when given, says why, or is ""
    // when there is no file.
    int LoadFile(const CString& path, std::string* reason = nullptr);
    // Writes the content to the file, replacing it atomically (a new file beside it, then a rename)
    // and keeping its owner, group and mode; a symbolic link is refused rather than replaced. 1, or 0
    // when it cannot be written (`reason` says why); the old file is then untouched.
    int SaveFile(const CString& path, std::string* reason = nullptr) const;
    // Replaces the content with `bytes`, read elsewhere. 1, or 0 when they are longer than kMaxLength
    // (the content is then unchanged).
    int SetContent(CString bytes);

    int GetLength() const { return m_length; }
    // The content as a zero-terminated text ("" when empty).
    const char* GetData() const;
    // The content from `offset` to its end; "" for an offset outside 0..length.
    const char* GetAt(int offset) const;
    void Free();

    // Inserts a zero-terminated text: pos 0 before the content, -1 after it, else before byte pos.
    // A position outside -1..length inserts nothing.
    void Insert(const char* text, int pos);
    // Removes bytes pos up to, not including, min(pos + count, length).
    void Erase(int pos, int count);

    // The first position from `from` towards `to` (either direction, both ends included) whose
    // byte equals `ch`; -1 when none, or when `from` or `to` is not in the buffer.
    int FindChar(char ch, int from, int to, int ignoreCase) const;
    // The first position from `from` towards `to` where `word` begins; only its start is bounded
    // by `to`.
    int FindString(const char* word, int from, int to, int ignoreCase) const;
    // The first position in scan order whose byte is one of the zero-terminated `set`.
    int FindOneOf(const char* set, int from, int to, int ignoreCase) const;
    // The start of the line holding `pos`: the byte after the nearest CR or LF at or before it, or 0.
    int LineStart(int pos) const;
    // The byte after the next LF at or after `pos`, or -1 when none or when that is the end.
    int NextLineStart(int pos) const;
    // `count` bytes from `start` (count -1: to the end), cut at the end of the content.
    CString Mid(int start, int count) const;

private:
    // Resolves -1 to the last byte; false when the position is outside the buffer.
    bool Resolve(int& pos) const;
    void Assign(CString content);

    CString m_data;  // content; its c_str() supplies the zero byte after it
    int m_length = 0;
};
