// The updater's string table: every text it shows, keyed by string number, so that a language
// resource can replace them. Texts that carry no number are named constants beside it.
#pragma once

#include <initializer_list>

#include "framework/framework_types.h"

namespace zel::updater {

enum StringId : UINT {
    IDS_SOCKET_INIT_FAILED = 103,
    IDS_INVALID_URL = 104,
    IDS_CONNECTING = 108,
    IDS_DOWNLOADING = 118,
    IDS_ENTRY_STATUS = 119,  // no built-in text: the status line is emptied
    IDS_COMPLETE = 120,
    IDS_CHECKING = 122,
    IDS_NOTHING_NEW = 123,
    IDS_SEE_DETAILS = 124,
    IDS_FAILED_HEADLINE = 125,
    IDS_FAILED_TEXT = 126,
    IDS_NO_MIRROR = 127,
    IDS_FOLDER_UNWRITABLE = 128,
    IDS_NO_SCRIPT = 61276,
};

// The text of string `id`, or "" when the table has none.
CString LoadUpdateString(UINT id);

// `format` with each "%s" replaced by the next of `args` (a missing one by ""). The arguments are
// inserted as they are: a '%' inside them is never read as a format.
CString FormatText(const char* format, std::initializer_list<CString> args);

// Texts without a string number.
inline constexpr const char* kAppName = "Zelupdate";
inline constexpr const char* kUnknownError = "Unknown error #E0067";
inline constexpr const char* kRowFailed = "failed";
// Why a `c` line failed that could not be cut into its eight fields with a size and a CRC.
inline constexpr const char* kReasonMalformed = "malformed line";
inline constexpr const char* kInitialTimeLeft = "00:00:00";
// Formats whose %s are filled by FormatText, in order.
inline constexpr const char* kDownloadedFormat = "Downloaded %s of %s";
inline constexpr const char* kLogFailed = "Failed update %s\r\n";
inline constexpr const char* kLogUpdatedFile = "Updated %s\r\n";
inline constexpr const char* kLogUpdatedLabel = "Updated %s %s";
inline constexpr const char* kLogToVersion = " to version ";
inline constexpr const char* kLogTrojan = "%s Version %s, type %s\r\n";
inline constexpr const char* kLogTrojanNoVersion = "%s, type %s\r\n";
inline constexpr const char* kLogTitle = "Zelupdate log file.\r\n\r\n";
inline constexpr const char* kLogNewTrojans =
    "\r\nThe database has been updated with information pertaining to the following Trojans:\r\n\r\n";
inline constexpr const char* kLogNoUpdate = "\r\nNo update for now.\r\n";
inline constexpr const char* kLogFileName = "zelupdate.txt";
inline constexpr const char* kScriptLocalName = "index.lst";
inline constexpr const char* kInstalledBase = "default.tdb";
inline constexpr const char* kDeliveredBase = "~default.tdb";

}  // namespace zel::updater
