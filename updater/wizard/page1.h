// CPage1, the settings page: the region (mirror) and how to reach the Internet. The logic lives in
// CSettingsPage; this page copies its controls into it and back.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "updater/core/language_file.h"
#include "updater/core/settings_page_logic.h"
#include "updater/core/update_app.h"
#include "updater/wizard/update_sheet.h"

namespace zel::updater {

class CPage1 final : public CSheetPage {
    Q_OBJECT
public:
    CPage1(CUpdateApp& app, const CLanguage& language);

    void OnSetActive() override;
    void OnCancel() override;
    bool OnWizardNext() override;
    int DialogNumber() const override { return kDialogSettings; }
    std::vector<HelpControl> HelpControls() const override;

    // The page's controls, for tests.
    QComboBox* RegionList() const { return m_regionList; }
    QRadioButton* DefaultSettingsRadio() const { return m_defaultRadio; }
    QRadioButton* UseProxyRadio() const { return m_proxyRadio; }
    QLineEdit* HttpProxyEdit() const { return m_httpProxy; }
    QLineEdit* FtpProxyEdit() const { return m_ftpProxy; }
    QLineEdit* HttpPortEdit() const { return m_httpPort; }
    QLineEdit* FtpPortEdit() const { return m_ftpPort; }
    QPushButton* DefaultButton() const { return m_defaultButton; }
    const CSettingsPage& Logic() const { return m_logic; }

private:
    void OnInitDialog();
    // Copies the controls into the logic's fields (save) or the fields into the controls. A port edit
    // that holds no integer keeps its field; saving then returns false.
    bool UpdateData(bool save);
    void UpdateProxyControls();
    void OnDefault();

    CUpdateApp& m_app;
    const CLanguage& m_language;
    CSettingsPage m_logic;
    bool m_initialised = false;

    QComboBox* m_regionList;
    QRadioButton* m_defaultRadio;
    QRadioButton* m_proxyRadio;
    QLineEdit* m_httpProxy;
    QLineEdit* m_ftpProxy;
    QLineEdit* m_httpPort;
    QLineEdit* m_ftpPort;
    QPushButton* m_defaultButton;
};

}  // namespace zel::updater
