// Byte comparisons shared by the text buffer's searches. No locale or code page is consulted:
// only the ASCII letters A-Z fold to a-z.
#pragma once

#include "framework/framework_types.h"

BYTE LowerAscii(BYTE c);

// 1 when the bytes are equal (after LowerAscii on both when ignoreCase is nonzero), else 0.
int CharsEqual(BYTE a, BYTE b, int ignoreCase);

// Walks two zero-terminated texts together while both bytes are nonzero and equal. Then:
// 0 both ended (equal); 1 only `text` ended (text shorter than word); 2 mismatch;
// -1 only `word` ended (word is a proper prefix of text). `text` begins with `word` when <= 0.
int CompareTextPrefix(const char* text, const char* word, int ignoreCase);
