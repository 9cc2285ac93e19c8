#include "updater/wizard/page1.h"

#include "updater/core/download_page.h"
#include "updater/core/wizard_strings.h"
#include "updater/wizard/page_layout.h"
#include "updater/wizard/text_convert.h"

namespace zel::updater {

using namespace settings_dialog;

CPage1::CPage1(CUpdateApp& app, const CLanguage& language) : m_app(app), m_language(language), m_logic(app.m_settings) {
    auto text = [&](int control, const char* builtIn) {
        return ToQt(m_language.DialogText(kDialogSettings, control, builtIn));
    };
    setTitle(text(kCaptionControl, kPageCaption));
    CDialogUnits u(font());
    QWidget* area = MakeDialogArea(this, u);

    QLabel* regionLabel = MakeLabel(area, u, text(kRegionLabel, kRegionText), 90, 7, 195, 9);
    m_regionList = new QComboBox(area);
    u.Place(m_regionList, 90, 18, 195, 14);
    regionLabel->setBuddy(m_regionList);

    auto* frame = new QGroupBox(text(kProxyFrame, kProxyFrameText), area);
    u.Place(frame, 90, 38, 195, 108);
    m_defaultRadio = new QRadioButton(text(kDefaultSettings, kDefaultSettingsText), area);
    u.Place(m_defaultRadio, 98, 52, 180, 11);
    m_proxyRadio = new QRadioButton(text(kUseProxy, kUseProxyText), area);
    u.Place(m_proxyRadio, 98, 66, 180, 11);

    auto row = [&](int y, int labelControl, const char* labelText, QLineEdit*& host, QLineEdit*& port) {
        QLabel* label = MakeLabel(area, u, text(labelControl, labelText), 110, y + 2, 26, 9);
        host = new QLineEdit(area);
        u.Place(host, 138, y, 84, 13);
        label->setBuddy(host);
        QLabel* portLabel = MakeLabel(area, u, text(kPortLabel, kPortText), 226, y + 2, 20, 9);
        port = new QLineEdit(area);
        u.Place(port, 248, y, 30, 13);
        portLabel->setBuddy(port);
    };
    row(84, kHttpLabel, kHttpText, m_httpProxy, m_httpPort);
    row(102, kFtpLabel, kFtpText, m_ftpProxy, m_ftpPort);
    m_defaultButton = new QPushButton(text(kDefaultButton, kDefaultButtonText), area);
    u.Place(m_defaultButton, 228, 124, 50, 15);

    // Every command except typing brings the fields and the edits' state up to date.
    connect(m_defaultRadio, &QRadioButton::clicked, this, &CPage1::UpdateProxyControls);
    connect(m_proxyRadio, &QRadioButton::clicked, this, &CPage1::UpdateProxyControls);
    connect(m_regionList, &QComboBox::activated, this, &CPage1::UpdateProxyControls);
    for (QLineEdit* edit : {m_httpProxy, m_ftpProxy, m_httpPort, m_ftpPort})
        connect(edit, &QLineEdit::editingFinished, this, &CPage1::UpdateProxyControls);
    connect(m_defaultButton, &QPushButton::clicked, this, &CPage1::OnDefault);
}

std::vector<CSheetPage::HelpControl> CPage1::HelpControls() const {
    return {{kRegionList, m_regionList}, {kDefaultSettings, m_defaultRadio},
            {kUseProxy, m_proxyRadio},   {kHttpProxy, m_httpProxy},
            {kFtpProxy, m_ftpProxy},     {kHttpPort, m_httpPort},
            {kFtpPort, m_ftpPort},       {kDefaultButton, m_defaultButton}};
}

void CPage1::OnSetActive() {
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
    if (CUpdateSheet* sheet = Sheet()) sheet->SetWizardButtons(kWizardNext);
}

void CPage1::OnInitDialog() {
    m_logic.OnInitDialog(ReadSystemProxy());
    UpdateData(false);
    m_regionList->clear();
    for (const CString& name : m_logic.Regions) m_regionList->addItem(ToQt(name));
    m_regionList->setCurrentIndex(m_logic.Selection);
    (m_logic.UseProxy == 1 ? m_proxyRadio : m_defaultRadio)->setChecked(true);
    UpdateProxyControls();
}

bool CPage1::UpdateData(bool save) {
    if (!save) {
        m_httpProxy->setText(ToQt(m_logic.Proxy.HTTPProxy));
        m_ftpProxy->setText(ToQt(m_logic.Proxy.FTPProxy));
        m_httpPort->setText(QString::number(m_logic.Proxy.HTTPPort));
        m_ftpPort->setText(QString::number(m_logic.Proxy.FTPPort));
        return true;
    }
    m_logic.Proxy.HTTPProxy = FromQt(m_httpProxy->text());
    m_logic.Proxy.FTPProxy = FromQt(m_ftpProxy->text());
    bool http = ParsePortText(FromQt(m_httpPort->text()), m_logic.Proxy.HTTPPort);
    bool ftp = ParsePortText(FromQt(m_ftpPort->text()), m_logic.Proxy.FTPPort);
    return http && ftp;
}

void CPage1::UpdateProxyControls() {
    UpdateData(true);
    bool defaultChecked = m_defaultRadio->isChecked();
    bool proxyChecked = m_proxyRadio->isChecked();
    bool editable = m_logic.UpdateProxyControls(defaultChecked, proxyChecked);
    if (!defaultChecked && !proxyChecked) return;
    // Read-only edits look like the dialog's background, as read-only fields do on a form.
    QPalette look = palette();
    look.setBrush(QPalette::Base, editable ? palette().base() : palette().window());
    for (QLineEdit* edit : {m_httpProxy, m_ftpProxy, m_httpPort, m_ftpPort}) {
        edit->setReadOnly(!editable);
        edit->setPalette(look);
    }
}

void CPage1::OnDefault() {
    UpdateProxyControls();
    m_logic.Proxy = ReadSystemProxy();
    UpdateData(false);
}

bool CPage1::OnWizardNext() {
    UpdateProxyControls();
    for (QLineEdit* port : {m_httpPort, m_ftpPort}) {
        int value = 0;
        if (ParsePortText(FromQt(port->text()), value)) continue;
        ShowMessageBox(this, ToQt(m_language.String(IDS_NOT_AN_INTEGER)));
        port->setFocus();
        port->selectAll();
        return false;
    }
    m_logic.OnWizardNext(m_regionList->currentIndex());
    return true;
}

void CPage1::OnCancel() { m_app.RestartPrograms(); }

}  // namespace zel::updater
