// CPage3, the completion page (dialog 132): the closing message, the Details button that opens the
// log, and the box that decides whether Finish starts the scanner. The logic is the core's
// CCompletionPage.
#pragma once

#include "updater/core/completion_page.h"
#include "updater/win32/wizard_page.h"

namespace zel::updater {

class CPage3 final : public CWizardPage, public CCompletionPageView {
public:
    CPage3(CWizardContext& context, CUpdateApp& app);

    // CCompletionPageView
    void SetWizardButtons(DWORD buttons) override { CWizardPage::SetWizardButtons(buttons); }
    void ShowMessage(const CString& message) override;
    void ShowFailure(const CString& headline, const CString& failure, const CString& completionText) override;
    void HideDetails() override;

private:
    void OnInitDialog() override;
    void OnSetActive() override { m_logic.OnSetActive(); }
    bool OnWizardFinish() override;
    void OnCommand(int control, int code) override;

    CCompletionPage m_logic;
};

}  // namespace zel::updater
