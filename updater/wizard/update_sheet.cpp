#include "updater/wizard/update_sheet.h"

#include <QAbstractButton>
#include <QShortcut>
#include <QWhatsThis>

#include "updater/core/download_page.h"
#include "updater/wizard/artwork.h"
#include "updater/wizard/text_convert.h"

namespace zel::updater {

CUpdateSheet* CSheetPage::Sheet() const { return qobject_cast<CUpdateSheet*>(wizard()); }

bool CSheetPage::validatePage() {
    CUpdateSheet* sheet = Sheet();
    if (sheet && sheet->currentId() == sheet->pageIds().size() - 1) return OnWizardFinish();
    return OnWizardNext();
}

CUpdateSheet::CUpdateSheet(const QString& caption, QWidget* parent) : QWizard(parent) {
    setWindowTitle(caption);
    setWindowIcon(ProgramIcon());
    setWizardStyle(QWizard::ClassicStyle);
    // Back, Next, Finish and Cancel are always shown; the pages only enable them.
    setOptions(QWizard::HaveNextButtonOnLastPage | QWizard::HaveFinishButtonOnEarlyPages);
    setButtonLayout(
        {QWizard::Stretch, QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton, QWizard::CancelButton});
    setWindowFlag(Qt::WindowContextHelpButtonHint, true);
    connect(this, &QWizard::currentIdChanged, this, &CUpdateSheet::OnCurrentIdChanged);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { ShowContextHelp(focusWidget()); });
}

void CUpdateSheet::AddPage(CSheetPage* page) {
    setPage(static_cast<int>(m_pages.size()), page);
    m_pages.push_back(page);
    connect(page, &QWizardPage::completeChanged, this, &CUpdateSheet::ApplyButtons);
}

CSheetPage* CUpdateSheet::Page(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < m_pages.size() ? m_pages[static_cast<std::size_t>(index)]
                                                                          : nullptr;
}

void CUpdateSheet::AttachContextHelp(const CContextHelp& help) {
    for (CSheetPage* page : m_pages) {
        for (const CSheetPage::HelpControl& entry : page->HelpControls())
            entry.widget->setWhatsThis(ToQt(help.Text(page->DialogNumber(), entry.control)).toHtmlEscaped());
    }
}

bool CUpdateSheet::ShowContextHelp(QWidget* control) {
    if (!control || control->whatsThis().isEmpty()) return false;
    QWhatsThis::showText(control->mapToGlobal(control->rect().center()), control->whatsThis(), control);
    return true;
}

void CUpdateSheet::SetWizardButtons(DWORD buttons) {
    m_buttons = buttons;
    ApplyButtons();
}

void CUpdateSheet::ApplyButtons() {
    button(QWizard::BackButton)->setEnabled(m_buttons & kWizardBack);
    button(QWizard::NextButton)->setEnabled(m_buttons & kWizardNext);
    button(QWizard::FinishButton)->setEnabled(m_buttons & kWizardFinish);
    button(QWizard::CancelButton)->setEnabled(true);
}

void CUpdateSheet::SetActivePage(int index) {
    while (currentId() > index) {
        int before = currentId();
        back();
        if (currentId() == before) break;
    }
    while (currentId() >= 0 && currentId() < index) {
        int before = currentId();
        next();
        if (currentId() == before) break;
    }
}

void CUpdateSheet::OnCurrentIdChanged(int id) {
    if (CSheetPage* page = Page(id)) page->OnSetActive();
    ApplyButtons();
}

void CUpdateSheet::reject() {
    if (CSheetPage* page = Page(currentId())) page->OnCancel();
    QWizard::reject();
}

}  // namespace zel::updater
