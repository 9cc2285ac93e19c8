#include "updater/wizard/zelupdate_app.h"

#include <QCoreApplication>

#include "updater/core/registry_profile.h"
#include "updater/core/update_strings.h"
#include "updater/core/wizard_strings.h"
#include "updater/wizard/page1.h"
#include "updater/wizard/page2.h"
#include "updater/wizard/page3.h"
#include "updater/wizard/page_layout.h"
#include "updater/wizard/text_convert.h"

namespace zel::updater {

CZelupdateApp::CZelupdateApp(platform::Desktop& desktop, CProfileStore& profile, platform::Internet& internet,
                             platform::FileSystem& files, platform::Clock& clock)
    : CUpdateApp(desktop, profile), m_internet(internet), m_files(files), m_clock(clock) {}

bool CZelupdateApp::InitInstance(const CString& programPath) {
    // The Internet layer must be usable before anything else happens.
    std::string error;
    if (!m_internet.OpenSession(kAppName, {}, error)) {
        ShowMessageBox(nullptr, ToQt(Language().String(IDS_SOCKET_INIT_FAILED)));
        return false;
    }
    QCoreApplication::setApplicationName(QString::fromUtf8(kAppName));
    LoadLanguage(programPath);
    LoadContextHelp(programPath);
    LoadSettings();
    CloseRunningPrograms();
    // The command line is ignored: the program takes no options.
    std::unique_ptr<CUpdateSheet> sheet = CreateSheet();
    if (m_beforeModal) m_beforeModal(*sheet);
    sheet->exec();
    return false;
}

int CZelupdateApp::ExitInstance() {
    SaveSettings();
    return 0;
}

std::unique_ptr<CUpdateSheet> CZelupdateApp::CreateSheet() {
    auto sheet = std::make_unique<CUpdateSheet>(QString::fromUtf8(kSheetCaption));
    sheet->AddPage(new CPage1(*this, Language()));
    sheet->AddPage(new CPage2(*this, Language(), m_internet, m_files, Desktop(), m_clock));
    sheet->AddPage(new CPage3(*this, Language()));
    sheet->AttachContextHelp(ContextHelp());
    return sheet;
}

}  // namespace zel::updater
