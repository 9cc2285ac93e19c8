// The update script: one command per line, fields cut between '>' marks (see
// docs/formats/update-script.md), and the rule that decides whether an installed file is out of date.
// These helpers read the script text without trusting it: every cut stays inside its line.
#pragma once

#include <string_view>

#include "framework/framework_types.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace zel::updater {

// Cuts `count` fields of the line that starts at `pos` and ends before `lineEnd`: field 1 begins two
// bytes after the command letter, each field ends at the next '>' of the line and the next one
// begins two bytes after that '>'. False when the line has fewer complete fields (malformed).
bool CutFields(std::string_view text, int pos, int lineEnd, int count, CStringArray& fields);

// Reads a signed decimal number (optional leading blanks and sign, then digits up to the first
// non-digit), taken modulo 2^32. False when no digit follows.
bool ParseScriptNumber(std::string_view text, int& value);

// True when `destination` must be fetched: it is missing, or it was last modified before the local
// date (F3, "dd.mm.yyyy") and time (F4, "hh:mm:ss"). A file whose name starts with '~' is judged by
// the file of the same name without it. An invalid date or time leaves an existing file up to date.
// `clock` turns the local date and time into the file system's time.
bool IsOutOfDate(platform::FileSystem& files, platform::Clock& clock, const CString& destination, const CString& date,
                 const CString& time);

}  // namespace zel::updater
