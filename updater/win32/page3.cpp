#include "updater/win32/page3.h"

#include "updater/core/wizard_strings.h"

namespace zel::updater {

using namespace completion_dialog;

CPage3::CPage3(CWizardContext& context, CUpdateApp& app)
    : CWizardPage(context, kDialogCompletion), m_logic(app, *this) {}

void CPage3::OnInitDialog() {
    CheckDlgButton(Window(), kRunScanner, m_logic.m_bRunScanner ? BST_CHECKED : BST_UNCHECKED);
}

void CPage3::ShowMessage(const CString& message) {
    SetText(kMessage, Language().Translate(message));
    CheckDlgButton(Window(), kRunScanner, m_logic.m_bRunScanner ? BST_CHECKED : BST_UNCHECKED);
}

void CPage3::ShowFailure(const CString& headline, const CString& failure, const CString& completionText) {
    SetText(kHeadline, Language().Translate(headline));
    CString message = Language().Translate(failure);
    if (!completionText.empty()) message += "\n\n" + completionText;
    ShowMessage(message);
}

void CPage3::HideDetails() { ShowWindow(Item(kDetails), SW_HIDE); }

bool CPage3::OnWizardFinish() {
    m_logic.m_bRunScanner = IsDlgButtonChecked(Window(), kRunScanner) == BST_CHECKED ? 1 : 0;
    m_logic.OnWizardFinish();
    return true;
}

void CPage3::OnCommand(int control, int code) {
    if (control == kDetails && code == BN_CLICKED) m_logic.OnDetails();
}

}  // namespace zel::updater
