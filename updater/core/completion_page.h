// The run logic of the completion page: the closing message, the update log "zelupdate.txt" with
// the trojans the delivered database adds, and the scanner start at Finish.
#pragma once

#include "database/trojan_base2.h"
#include "updater/core/update_app.h"

namespace zel::updater {

class CCompletionPageView {
public:
    virtual ~CCompletionPageView() = default;
    virtual void SetWizardButtons(DWORD buttons) = 0;
    virtual void ShowMessage(const CString& message) = 0;
    // Some lines of the run failed: `headline` replaces the success headline, and the message is
    // `failure` followed by the script's `completionText` (when it has one).
    virtual void ShowFailure(const CString& headline, const CString& failure, const CString& completionText) = 0;
    virtual void HideDetails() = 0;
};

class CCompletionPage {
public:
    CCompletionPage(CUpdateApp& app, CCompletionPageView& view) : m_app(app), m_view(view) {}

    // Chooses the message, shows it and writes the log. A run in which anything failed is never
    // shown as a success.
    void OnSetActive();
    // Starts the scanner (and a monitor that ran before) when the run box is checked.
    void OnWizardFinish();
    // Opens the log with the program associated with it.
    void OnDetails();

    // 1 when both "default.tdb" and "~default.tdb" loaded, else 0.
    int LoadDatabases();
    void BuildReport();
    // The log lines of the records of `delivered` that `installed` lacks, in the order of
    // `delivered`; "" when there are none.
    static CString NewTrojanLines(const CTrojanBase2& installed, const CTrojanBase2& delivered);

    CString m_strMessage;
    int m_bRunScanner = 1;

private:
    CUpdateApp& m_app;
    CCompletionPageView& m_view;
    CTrojanBase2 m_installedBase;
    CTrojanBase2 m_downloadedBase;
};

}  // namespace zel::updater
