#include "updater/core/update_app.h"

#include "updater/core/message_queue.h"
#include "updater/core/registry_profile.h"

namespace zel::updater {

void CUpdateApp::LoadSettings() {
    zel::updater::LoadSettings(m_profile, m_settings);
    m_settingsLoaded = true;
}

bool CUpdateApp::SaveSettings() { return !m_settingsLoaded || zel::updater::SaveSettings(m_profile, m_settings); }

void CUpdateApp::CloseRunningPrograms() {
    m_bMonitorWasRunning = 0;
    m_bScannerWasRunning = 0;
    if (platform::WindowId monitor = m_desktop.FindTopLevelWindow(kMonitorTitle)) {
        m_bMonitorWasRunning = 1;
        m_desktop.PostWindowMessage(monitor, kCloseMessage);
        m_desktop.PostWindowMessage(monitor, kQuitMessage);
    }
    if (platform::WindowId scanner = m_desktop.FindTopLevelWindow(kScannerTitle)) {
        m_bScannerWasRunning = 1;
        m_desktop.PostWindowMessage(scanner, kQuitMessage);
    }
}

void CUpdateApp::LoadLanguage(const CString& programPath) {
    CString language = ReadLanguage();
    if (language.empty()) return;
    CLanguage loaded;
    std::string error;
    if (loaded.LoadFile(LanguageResourcePath(programPath, language), error)) m_language = std::move(loaded);
}

void CUpdateApp::RestartPrograms() {
    if (m_bScannerWasRunning) m_desktop.OpenItem(kScannerProgram, platform::kShowDefault);
    if (m_bMonitorWasRunning) m_desktop.OpenItem(kMonitorProgram, platform::kShowDefault);
}

}  // namespace zel::updater
