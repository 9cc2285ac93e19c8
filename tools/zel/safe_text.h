// Names that zel prints come from archives, disks and database files, all of which an attacker
// may shape. Printed raw, a newline in an entry name forges an "OK" line or a summary, and an
// escape sequence rewrites what the terminal already shows; invalid UTF-8 breaks JSON readers.
#pragma once

#include <string>
#include <string_view>

namespace zel::cli {

// Characters that never reach output raw: C0 and C1 controls, DEL, the line and paragraph
// separators and the bidirectional overrides that make a name read backwards.
bool IsUnsafeToShow(char32_t code_point);

// `text` for a terminal: valid UTF-8 stays, every byte of an unsafe character and every byte that
// is not valid UTF-8 becomes "\xNN", so that one name is always one line of plain text.
std::string TerminalText(std::string_view text);

}  // namespace zel::cli
