#include "updater/win32/zelupdate_app.h"

#include "updater/core/update_strings.h"
#include "updater/core/wizard_strings.h"
#include "updater/win32/page1.h"
#include "updater/win32/page2.h"
#include "updater/win32/page3.h"
#include "updater/win32/update_sheet.h"

namespace zel::updater {

bool InitCommonControlClasses() {
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                 ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&classes) != FALSE;
}

CWin32UpdateApp::CWin32UpdateApp(platform::Desktop& desktop, CProfileStore& profile, platform::Internet& internet,
                                 platform::FileSystem& files, platform::Clock& clock, HINSTANCE resources)
    : CUpdateApp(desktop, profile), m_internet(internet), m_files(files), m_clock(clock) {
    m_context.resources = resources;
}

bool CWin32UpdateApp::InitInstance(const CString& programPath) {
    // The Internet layer must be usable before anything else happens.
    std::string error;
    if (!m_internet.OpenSession(kAppName, {}, error)) {
        MessageBoxW(nullptr, WideText(Language().String(IDS_SOCKET_INIT_FAILED)).c_str(),
                    WideText(kSheetCaption).c_str(), MB_OK | MB_ICONERROR);
        return false;
    }
    LoadLanguage(programPath);
    LoadContextHelp(programPath);
    m_context.language = &Language();
    m_context.help = &ContextHelp();
    LoadSettings();
    CloseRunningPrograms();
    // The command line is ignored: the program takes no options. Constructing the download page
    // starts the download thread; the pages end (and the thread with them) before this returns.
    CPage1 settings(m_context, *this);
    CPage2 download(m_context, *this, m_internet, m_files, m_clock);
    CPage3 completion(m_context, *this);
    CUpdateSheet sheet(m_context, kSheetCaption);
    sheet.AddPage(settings);
    sheet.AddPage(download);
    sheet.AddPage(completion);
    sheet.DoModal();
    return false;
}

int CWin32UpdateApp::ExitInstance() {
    SaveSettings();
    return 0;
}

}  // namespace zel::updater
