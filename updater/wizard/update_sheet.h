// CUpdateSheet: the wizard window that holds the three pages. Each page says which of Back, Next and
// Finish it offers; the sheet keeps that choice in force, because the wizard widget recomputes its
// buttons on every page switch. Cancel (the button, Esc or the close box) first runs the current
// page's cancel handling. F1 shows the focused control's context help.
#pragma once

#include <QWizard>
#include <QWizardPage>
#include <vector>

#include "framework/framework_types.h"
#include "updater/core/context_help.h"

namespace zel::updater {

class CUpdateSheet;

// A page of the sheet, with the handlers a property page has.
class CSheetPage : public QWizardPage {
    Q_OBJECT
public:
    using QWizardPage::QWizardPage;

    // Every time the page becomes the current one.
    virtual void OnSetActive() {}
    // Cancel while the page is current, before the wizard closes.
    virtual void OnCancel() {}
    // Next pressed: false keeps the page open.
    virtual bool OnWizardNext() { return true; }
    // Finish pressed: false keeps the page open.
    virtual bool OnWizardFinish() { return true; }

    // The page's dialog number and its controls that have context help, by control number.
    struct HelpControl {
        int control;
        QWidget* widget;
    };
    virtual int DialogNumber() const = 0;
    virtual std::vector<HelpControl> HelpControls() const = 0;

    CUpdateSheet* Sheet() const;
    bool validatePage() override;
    // The sheet decides: pages are never reset by the wizard widget.
    void initializePage() override {}
    void cleanupPage() override {}
};

class CUpdateSheet : public QWizard {
    Q_OBJECT
public:
    explicit CUpdateSheet(const QString& caption, QWidget* parent = nullptr);

    // Adds the next page (0, 1, 2, ... in call order).
    void AddPage(CSheetPage* page);
    // Enables exactly the buttons in `buttons` (kWizardBack, kWizardNext, kWizardFinish).
    void SetWizardButtons(DWORD buttons);
    DWORD WizardButtons() const { return m_buttons; }
    // Shows page `index`, moving back or forward through the pages in between.
    void SetActivePage(int index);
    CSheetPage* Page(int index) const;
    // Gives every control of every page its context help ("What's This?" text).
    void AttachContextHelp(const CContextHelp& help);
    // Shows the context help of `control` beside it; false when it has none.
    bool ShowContextHelp(QWidget* control);

    void reject() override;

private:
    void ApplyButtons();
    void OnCurrentIdChanged(int id);

    std::vector<CSheetPage*> m_pages;
    DWORD m_buttons = 0;
};

}  // namespace zel::updater
