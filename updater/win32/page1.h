// CPage1, the settings page (dialog 130): the region (mirror) and how to reach the Internet. The
// logic lives in the core's CSettingsPage; this page copies its controls into it and back.
#pragma once

#include "updater/core/settings_page_logic.h"
#include "updater/core/update_app.h"
#include "updater/win32/wizard_page.h"

namespace zel::updater {

class CPage1 final : public CWizardPage {
public:
    CPage1(CWizardContext& context, CUpdateApp& app);
    const CSettingsPage& Logic() const { return m_logic; }

private:
    void OnInitDialog() override;
    void OnSetActive() override;
    bool OnWizardNext() override;
    void OnCancel() override;
    void OnCommand(int control, int code) override;

    // Copies the fields into the controls.
    void ShowFields() const;
    // Copies the controls into the fields (a port that is no integer keeps its field), then sets
    // UseProxy and the edits' read-only state from the radio buttons.
    void UpdateProxyControls();
    bool IsChecked(int control) const;

    CUpdateApp& m_app;
    CSettingsPage m_logic;
};

}  // namespace zel::updater
