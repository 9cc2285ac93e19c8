#include "updater/wizard/page3.h"

#include "updater/core/wizard_strings.h"
#include "updater/wizard/page_layout.h"
#include "updater/wizard/text_convert.h"

namespace zel::updater {

using namespace completion_dialog;

CPage3::CPage3(CUpdateApp& app, const CLanguage& language) : m_language(language), m_logic(app, *this) {
    auto text = [&](int control, const char* builtIn) {
        return ToQt(m_language.DialogText(kDialogCompletion, control, builtIn));
    };
    setTitle(text(kCaptionControl, kPageCaption));
    CDialogUnits u(font());
    QWidget* area = MakeDialogArea(this, u);
    m_headline = MakeLabel(area, u, text(kHeadline, kHeadlineText), 90, 5, 195, 15);
    m_headline->setWordWrap(true);
    m_message = MakeLabel(area, u, QString(), 90, 25, 195, 67);
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_runScanner = new QCheckBox(text(kRunScanner, kRunScannerText), area);
    u.Place(m_runScanner, 90, 105, 102, 10);
    m_details = new QPushButton(text(kDetails, kDetailsText), area);
    u.Place(m_details, 235, 130, 50, 14);
    m_runScanner->setChecked(m_logic.m_bRunScanner != 0);
    connect(m_details, &QPushButton::clicked, this, [this] { m_logic.OnDetails(); });
}

std::vector<CSheetPage::HelpControl> CPage3::HelpControls() const {
    return {{kMessage, m_message}, {kRunScanner, m_runScanner}, {kDetails, m_details}};
}

void CPage3::OnSetActive() { m_logic.OnSetActive(); }

bool CPage3::OnWizardFinish() {
    m_logic.m_bRunScanner = m_runScanner->isChecked() ? 1 : 0;
    m_logic.OnWizardFinish();
    return true;
}

void CPage3::SetWizardButtons(DWORD buttons) {
    if (CUpdateSheet* sheet = Sheet()) sheet->SetWizardButtons(buttons);
}

void CPage3::ShowMessage(const CString& message) {
    m_message->setText(ToQt(m_language.Translate(message)));
    m_runScanner->setChecked(m_logic.m_bRunScanner != 0);
}

void CPage3::ShowFailure(const CString& headline, const CString& failure, const CString& completionText) {
    m_headline->setText(ToQt(m_language.Translate(headline)));
    CString message = m_language.Translate(failure);
    if (!completionText.empty()) message += "\n\n" + completionText;
    ShowMessage(message);
}

void CPage3::HideDetails() { m_details->hide(); }

}  // namespace zel::updater
