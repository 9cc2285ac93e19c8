// The Zelupdate program: start-up in order (Internet layer, language, settings, closing the scanner
// and the monitor), the modal wizard, and saving the settings at exit. The operating system is
// reached only through the interfaces handed in, so tests run the whole program against fakes.
#pragma once

#include <functional>
#include <memory>

#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "updater/core/context_help.h"
#include "updater/core/download_page.h"
#include "updater/core/language_file.h"
#include "updater/core/update_app.h"
#include "updater/wizard/update_sheet.h"

namespace zel::updater {

class CZelupdateApp final : public CUpdateApp {
public:
    CZelupdateApp(platform::Desktop& desktop, CProfileStore& profile, platform::Internet& internet,
                  platform::FileSystem& files, platform::Clock& clock);

    // The whole program run; `programPath` names the language and help files beside it. Returns
    // false: the program ends when the wizard closes.
    bool InitInstance(const CString& programPath);
    // Writes the settings back (only when they were loaded); returns the exit code.
    int ExitInstance();

    // The wizard with its three pages; constructing the download page starts the download thread.
    std::unique_ptr<CUpdateSheet> CreateSheet();

    // Called with the sheet just before it runs modally; tests drive the wizard from here.
    std::function<void(CUpdateSheet&)> m_beforeModal;

private:
    platform::Internet& m_internet;
    platform::FileSystem& m_files;
    platform::Clock& m_clock;
};

}  // namespace zel::updater
