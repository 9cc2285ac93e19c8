#include "updater/core/completion_page.h"

#include "updater/core/download_page.h"
#include "updater/core/text_file_writer.h"
#include "updater/core/update_strings.h"

namespace zel::updater {

void CCompletionPage::OnSetActive() {
    m_view.SetWizardButtons(kWizardFinish);
    const CUpdateSettings& settings = m_app.m_settings;
    if (settings.FailedCount > 0) {
        CString failure = LoadUpdateString(IDS_FAILED_TEXT);
        m_strMessage = settings.CompletionText.empty() ? failure : failure + "\n\n" + settings.CompletionText;
        m_view.ShowFailure(LoadUpdateString(IDS_FAILED_HEADLINE), failure, settings.CompletionText);
    } else {
        if (settings.LogText.empty()) {
            m_strMessage = LoadUpdateString(IDS_NOTHING_NEW);
            m_view.HideDetails();
        } else if (!settings.CompletionText.empty()) {
            m_strMessage = settings.CompletionText;
        } else {
            m_strMessage = LoadUpdateString(IDS_SEE_DETAILS);
        }
        m_view.ShowMessage(m_strMessage);
    }
    BuildReport();
}

int CCompletionPage::LoadDatabases() {
    if (!m_installedBase.LoadFromCryptFile(kInstalledBase)) return 0;
    return m_downloadedBase.LoadFromCryptFile(kDeliveredBase) ? 1 : 0;
}

CString CCompletionPage::NewTrojanLines(const CTrojanBase2& installed, const CTrojanBase2& delivered) {
    CString lines;
    for (int i = 0; i < delivered.GetSize(); ++i) {
        CString type = delivered.GetTrojanType(i);
        CString name = delivered.GetTrojanName(i);
        CString version = delivered.GetTrojanVer(i);
        if (installed.FindTrojan(type, name, version) != -1) continue;
        lines += version == "0" ? FormatText(kLogTrojanNoVersion, {name, type})
                                : FormatText(kLogTrojan, {name, version, type});
    }
    return lines;
}

void CCompletionPage::BuildReport() {
    CTextFileWriter writer;
    writer.Open(kLogFileName, 0, 1);
    writer.Write(kLogTitle);
    writer.Write(m_app.m_settings.LogText);
    CString lines;
    if (LoadDatabases() == 1) lines = NewTrojanLines(m_installedBase, m_downloadedBase);
    if (!lines.empty()) {
        writer.Write(kLogNewTrojans);
        writer.Write(lines);
    } else if (m_app.m_settings.LogText.empty()) {
        writer.Write(kLogNoUpdate);
    }
}

void CCompletionPage::OnWizardFinish() {
    if (!m_bRunScanner) return;
    m_app.m_bScannerWasRunning = 1;
    m_app.RestartPrograms();
}

void CCompletionPage::OnDetails() { m_app.Desktop().OpenItem(kLogFileName, platform::kShowDefault); }

}  // namespace zel::updater
