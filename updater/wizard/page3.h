// CPage3, the completion page: the closing message, the Details button that opens the log, and the
// box that decides whether Finish starts the scanner. The logic is the core's CCompletionPage.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "updater/core/completion_page.h"
#include "updater/core/language_file.h"
#include "updater/wizard/update_sheet.h"

namespace zel::updater {

class CPage3 final : public CSheetPage, public CCompletionPageView {
    Q_OBJECT
public:
    CPage3(CUpdateApp& app, const CLanguage& language);

    void OnSetActive() override;
    bool OnWizardFinish() override;
    int DialogNumber() const override { return kDialogCompletion; }
    std::vector<HelpControl> HelpControls() const override;

    // CCompletionPageView
    void SetWizardButtons(DWORD buttons) override;
    void ShowMessage(const CString& message) override;
    void ShowFailure(const CString& headline, const CString& failure, const CString& completionText) override;
    void HideDetails() override;

    // The page's controls, for tests.
    QLabel* Headline() const { return m_headline; }
    QLabel* Message() const { return m_message; }
    QCheckBox* RunScannerBox() const { return m_runScanner; }
    QPushButton* DetailsButton() const { return m_details; }

private:
    const CLanguage& m_language;
    CCompletionPage m_logic;
    QLabel* m_headline;
    QLabel* m_message;
    QCheckBox* m_runScanner;
    QPushButton* m_details;
};

}  // namespace zel::updater
