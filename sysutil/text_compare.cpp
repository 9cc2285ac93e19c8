#include "sysutil/text_compare.h"

BYTE LowerAscii(BYTE c) { return c >= 'A' && c <= 'Z' ? static_cast<BYTE>(c + 32) : c; }

int CharsEqual(BYTE a, BYTE b, int ignoreCase) {
    if (!ignoreCase) return a == b ? 1 : 0;
    return LowerAscii(a) == LowerAscii(b) ? 1 : 0;
}

int CompareTextPrefix(const char* text, const char* word, int ignoreCase) {
    while (*text && *word && CharsEqual(static_cast<BYTE>(*text), static_cast<BYTE>(*word), ignoreCase)) {
        ++text;
        ++word;
    }
    if (!*text && !*word) return 0;
    if (!*text) return 1;
    if (*word) return 2;
    return -1;
}
