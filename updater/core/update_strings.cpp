#include "updater/core/update_strings.h"

namespace zel::updater {
namespace {

struct Entry {
    UINT id;
    const char* text;
};

constexpr Entry kStrings[] = {
    {IDS_SOCKET_INIT_FAILED, "Socket initialization failed."},
    {IDS_INVALID_URL, "Invalid URL"},
    {IDS_CONNECTING, "Connecting to server..."},
    {IDS_DOWNLOADING, "Downloading data..."},
    {IDS_COMPLETE, "Complete"},
    {IDS_CHECKING, "Checking for updates..."},
    {IDS_NOTHING_NEW,
     "We have determined that the latest version of Zelscan and its database are already installed.\n\n"
     "Please check again later. We recommend that you check for updates at least once a week."},
    {IDS_SEE_DETAILS,
     "For more details, please click the [Details] button. We recommend that you (re)run a thorough scan of "
     "your system so that Zelscan can determine if you have unknowingly installed a Trojan virus on your "
     "system.\n\nPlease check again further updates in about a week."},
    {IDS_FAILED_HEADLINE, "The update of the program could not be completed."},
    {IDS_FAILED_TEXT,
     "Some files could not be updated; the log lists each of them as \"Failed update\". For more details, "
     "please click the [Details] button, then try again later or choose another server."},
    {IDS_NO_MIRROR, "No mirror is configured; store one with: zel update --mirror URL --save-settings"},
    {IDS_FOLDER_UNWRITABLE,
     "The install folder cannot be written. Start the update in a folder that you may write to."},
    {IDS_NO_SCRIPT, "Unable to locate update script file. Try another server."},
};

}  // namespace

CString LoadUpdateString(UINT id) {
    for (const auto& entry : kStrings)
        if (entry.id == id) return entry.text;
    return {};
}

CString FormatText(const char* format, std::initializer_list<CString> args) {
    CString text;
    const CString* next = args.begin();
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            if (next != args.end()) text += *next++;
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

}  // namespace zel::updater
