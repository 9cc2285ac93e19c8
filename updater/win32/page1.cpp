#include "updater/win32/page1.h"

#include "updater/core/wizard_strings.h"

namespace zel::updater {

using namespace settings_dialog;

namespace {
constexpr int kProxyEdits[] = {kHttpProxy, kFtpProxy, kHttpPort, kFtpPort};
}  // namespace

CPage1::CPage1(CWizardContext& context, CUpdateApp& app)
    : CWizardPage(context, kDialogSettings), m_app(app), m_logic(app.m_settings) {}

void CPage1::OnInitDialog() {
    m_logic.OnInitDialog(ReadSystemProxy());
    ShowFields();
    HWND regions = Item(kRegionList);
    SendMessageW(regions, CB_RESETCONTENT, 0, 0);
    for (const CString& name : m_logic.Regions)
        SendMessageW(regions, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideText(name).c_str()));
    SendMessageW(regions, CB_SETCURSEL, static_cast<WPARAM>(m_logic.Selection), 0);
    CheckRadioButton(Window(), kDefaultSettings, kUseProxy, m_logic.UseProxy == 1 ? kUseProxy : kDefaultSettings);
    UpdateProxyControls();
}

void CPage1::OnSetActive() { SetWizardButtons(PSWIZB_NEXT); }

void CPage1::ShowFields() const {
    SetText(kHttpProxy, m_logic.Proxy.HTTPProxy);
    SetText(kFtpProxy, m_logic.Proxy.FTPProxy);
    SetText(kHttpPort, std::to_string(m_logic.Proxy.HTTPPort));
    SetText(kFtpPort, std::to_string(m_logic.Proxy.FTPPort));
}

bool CPage1::IsChecked(int control) const { return IsDlgButtonChecked(Window(), control) == BST_CHECKED; }

void CPage1::UpdateProxyControls() {
    m_logic.Proxy.HTTPProxy = Text(kHttpProxy);
    m_logic.Proxy.FTPProxy = Text(kFtpProxy);
    ParsePortText(Text(kHttpPort), m_logic.Proxy.HTTPPort);
    ParsePortText(Text(kFtpPort), m_logic.Proxy.FTPPort);
    const bool defaultChecked = IsChecked(kDefaultSettings);
    const bool proxyChecked = IsChecked(kUseProxy);
    const bool editable = m_logic.UpdateProxyControls(defaultChecked, proxyChecked);
    if (!defaultChecked && !proxyChecked) return;
    for (int edit : kProxyEdits) SendMessageW(Item(edit), EM_SETREADONLY, editable ? FALSE : TRUE, 0);
}

void CPage1::OnCommand(int control, int code) {
    // Typing changes nothing yet; every other command brings the fields up to date first.
    if (code == EN_CHANGE || code == EN_UPDATE) return;
    UpdateProxyControls();
    if (control == kDefaultButton && code == BN_CLICKED) {
        m_logic.Proxy = ReadSystemProxy();
        ShowFields();
    }
}

bool CPage1::OnWizardNext() {
    UpdateProxyControls();
    for (int port : {kHttpPort, kFtpPort}) {
        int value = 0;
        if (ParsePortText(Text(port), value)) continue;
        ShowMessageBox(Language().String(IDS_NOT_AN_INTEGER));
        SetFocus(Item(port));
        SendMessageW(Item(port), EM_SETSEL, 0, -1);
        return false;
    }
    m_logic.OnWizardNext(static_cast<int>(SendMessageW(Item(kRegionList), CB_GETCURSEL, 0, 0)));
    return true;
}

void CPage1::OnCancel() { m_app.RestartPrograms(); }

}  // namespace zel::updater
