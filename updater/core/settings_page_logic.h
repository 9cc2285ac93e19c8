// The logic of the settings page: proposing proxies from the system's Internet settings, merging
// them with the stored ones, and storing the user's choice when Next is pressed. No widgets: the
// page copies its controls into these fields and back.
#pragma once

#include <vector>

#include "framework/framework_types.h"
#include "updater/core/update_settings.h"

namespace zel::updater {

// Where the system keeps its proxy choice, under HKEY_CURRENT_USER.
inline constexpr const char* kInternetSettingsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr const char* kProxyServerValue = "ProxyServer";

struct CProxyFields {
    CString FTPProxy;
    CString HTTPProxy;
    int FTPPort = 0;
    int HTTPPort = 0;

    bool operator==(const CProxyFields&) const = default;
};

// The proxies a "ProxyServer" value names: one "host:port" for every protocol, or a list such as
// "http=host:port;ftp=host:port" (protocol names in any letter case). A text without a colon is not
// taken; an unnamed protocol stays empty with port 0.
CProxyFields ParseProxyServer(const CString& value);

// The system's proposal, read from the registry of the platform binding (empty when none is set).
CProxyFields ReadSystemProxy();

class CSettingsPage {
public:
    explicit CSettingsPage(CUpdateSettings& settings) : m_settings(settings) {}

    // First showing: proposes the system's proxies where the settings hold none (stored settings
    // win), then fills the fields, the region names and the selection from the settings. With no
    // region stored but a mirror URL, that mirror is listed (by its host) so the user sees where the
    // update will go; Next then keeps the URL.
    void OnInitDialog(const CProxyFields& system);
    // Copies the radio buttons' state into UseProxy: 0 for the default settings, 1 for the proxy,
    // unchanged when neither is checked. Returns whether the proxy edits are editable.
    bool UpdateProxyControls(bool defaultChecked, bool proxyChecked);
    // Stores the page into the settings; `selected` is the region list's index (-1: none).
    void OnWizardNext(int selected);

    int UseProxy = 0;
    CProxyFields Proxy;
    std::vector<CString> Regions;
    int Selection = -1;

private:
    CUpdateSettings& m_settings;
};

// The host a mirror URL names ("ftp://user@mirror.example:21/upd" gives "mirror.example"); the
// URL itself when it names none.
CString MirrorHost(const CString& url);

// A port edit's text as an integer: optional blanks, an optional sign and decimal digits that fit
// 32 bits, optional trailing blanks. False for anything else.
bool ParsePortText(const CString& text, int& port);

}  // namespace zel::updater
