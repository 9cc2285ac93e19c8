#include "updater/core/context_help.h"

#include <map>
#include <utility>

#include "updater/core/registry_profile.h"
#include "updater/core/wizard_strings.h"

namespace zel::updater {
namespace {

const std::map<std::pair<int, int>, const char*>& BuiltInHelp() {
    using namespace settings_dialog;
    using namespace download_dialog;
    using namespace completion_dialog;
    static const std::map<std::pair<int, int>, const char*> texts = {
        {{kDialogSettings, kRegionList},
         "The server the update is downloaded from. Choose the one nearest to you; when it cannot "
         "be "
         "reached, go back and choose another."},
        {{kDialogSettings, kDefaultSettings},
         "Connect the way this computer is set up to connect to the Internet: directly, or through "
         "the "
         "proxy servers of the system's settings."},
        {{kDialogSettings, kUseProxy}, "Connect through the proxy servers entered below."},
        {{kDialogSettings, kHttpProxy}, "The name or address of the proxy server for HTTP downloads."},
        {{kDialogSettings, kFtpProxy}, "The name or address of the proxy server for FTP downloads."},
        {{kDialogSettings, kHttpPort}, "The port of the HTTP proxy server, a whole number."},
        {{kDialogSettings, kFtpPort}, "The port of the FTP proxy server, a whole number."},
        {{kDialogSettings, kDefaultButton}, "Fills in the proxy servers of the system's settings."},
        {{kDialogDownload, kStatus}, "What the update is doing now."},
        {{kDialogDownload, kFileList},
         "The files of this update with their sizes. A moving arrow marks the file being "
         "downloaded, a "
         "green disc a file installed, a page with a tick a file already up to date, a red cross a "
         "file "
         "that failed."},
        {{kDialogDownload, kCurrentBar}, "How much of the current file has arrived."},
        {{kDialogDownload, kTotalBar}, "How much of the whole update has arrived."},
        {{kDialogDownload, kDownloaded}, "The bytes of the current file received so far."},
        {{kDialogDownload, kTimeLeft}, "The time the download should still take, judged from its speed so far."},
        {{kDialogCompletion, kMessage}, "What this update brought."},
        {{kDialogCompletion, kDetails},
         "Opens the update log, zelupdate.txt: every file updated or failed, and the trojans that "
         "the new "
         "database recognises."},
        {{kDialogCompletion, kRunScanner}, "Starts Zelscan when you click Finish, to check this computer again."},
    };
    return texts;
}

}  // namespace

CString HelpFilePath(const CString& programPath) { return LanguageResourcePath(programPath, "hlp"); }

void CContextHelp::LoadFile(const CString& programPath) {
    CLanguage loaded;
    std::string error;
    if (loaded.LoadFile(HelpFilePath(programPath), error)) m_file = std::move(loaded);
}

CString CContextHelp::Text(int dialog, int control) const {
    auto found = BuiltInHelp().find({dialog, control});
    return m_file.DialogText(dialog, control, found == BuiltInHelp().end() ? "" : found->second);
}

}  // namespace zel::updater
