// The text buffer's line edits as the cure routines make them: find a word, take its line, replace
// or prefix it. The first input byte splits the rest into the word and the content.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sysutil/text_buffer.h"
#include "sysutil/text_compare.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    std::size_t split = 1 + data[0] % (size - 1);
    std::string word(reinterpret_cast<const char*>(data + 1), split - 1);
    std::string content(reinterpret_cast<const char*>(data + split), size - split);
    CTextBuffer buffer;
    buffer.Insert(content.c_str(), 0);
    int length = buffer.GetLength();
    if (static_cast<std::size_t>(length) != std::string(content.c_str()).size()) std::abort();

    int pos = buffer.FindString(word.c_str(), 0, -1, data[0] & 1);
    int back = buffer.FindString(word.c_str(), -1, 0, data[0] & 1);
    if ((pos == -1) != (back == -1)) std::abort();
    // A word that begins with a line end is found, but LineStart of a line end is the next line's
    // start, so the line edits below do not apply to it (file names never begin so).
    bool line_end_first = word[0] == '\r' || word[0] == '\n';
    if (pos != -1 && !line_end_first) {
        if (pos > back || CompareTextPrefix(buffer.GetAt(pos), word.c_str(), data[0] & 1) > 0) std::abort();
        int start = buffer.LineStart(pos);
        int end = buffer.FindOneOf("\r\n", pos, -1, 0);
        if (end == -1) end = buffer.GetLength();
        if (start > pos || end < pos) std::abort();
        buffer.Erase(start, end - start);
        buffer.Insert("load=", start);
        if (buffer.GetLength() != length - (end - start) + 5) std::abort();
        buffer.Insert("REM BY ZELSCAN ", buffer.LineStart(start));
    }
    for (int at = 0; at < buffer.GetLength(); at = buffer.NextLineStart(at)) {
        if (at == -1 || buffer.LineStart(at) != at) break;
    }
    std::string mid = buffer.Mid(data[0] % 7, data[0] % 5 - 1);
    if (mid.size() > static_cast<std::size_t>(buffer.GetLength())) std::abort();
    buffer.FindChar(static_cast<char>(data[0]), data[0] % 3 - 1, buffer.GetLength() - 1, 1);
    buffer.Erase(data[0] % 11, 0x7fffffff);
    return 0;
}
