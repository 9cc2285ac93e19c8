// Zelupdate on Windows: the same start-up as the Linux program (Internet layer, language and help
// files, settings from the registry, closing the scanner and the monitor), then the system's own
// property sheet, and the settings written back at exit. The operating system's services come in
// through the platform interfaces; the pages are drawn from the program's dialog resources.
#pragma once

#include <functional>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "updater/core/update_app.h"
#include "updater/win32/wizard_page.h"

namespace zel::updater {

class CWin32UpdateApp final : public CUpdateApp {
public:
    // `resources`: the module that holds the dialog templates, icon and bitmaps.
    CWin32UpdateApp(platform::Desktop& desktop, CProfileStore& profile, platform::Internet& internet,
                    platform::FileSystem& files, platform::Clock& clock, HINSTANCE resources);

    // The whole program run; `programPath` names the language and help files beside it. Returns
    // false: the program ends when the wizard closes.
    bool InitInstance(const CString& programPath);
    // Writes the settings back (only when they were loaded); returns the exit code.
    int ExitInstance();

    // The wizard's shared state; its sheet window is set while the wizard runs.
    CWizardContext& Context() { return m_context; }

private:
    platform::Internet& m_internet;
    platform::FileSystem& m_files;
    platform::Clock& m_clock;
    CWizardContext m_context;
};

// Registers the common control classes the pages use (list view, progress bar, tool tips).
bool InitCommonControlClasses();

}  // namespace zel::updater
