#include "updater/core/settings_page_logic.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "sysutil/registry_functions.h"

namespace zel::updater {
namespace {

CString Lower(CString text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The text after "name=" up to the next ';' or the end; "" when the protocol is not named.
CString ProtocolText(const CString& value, const char* name) {
    CString key = CString(name) + "=";
    std::size_t at = Lower(value).find(key);
    if (at == CString::npos) return {};
    std::size_t start = at + key.size();
    std::size_t end = value.find(';', start);
    return value.substr(start, end == CString::npos ? CString::npos : end - start);
}

// "host:port" into its parts; the port is the unsigned decimal number after the first colon, read up
// to the first non-digit. A text without a colon leaves both untouched.
void SplitHostPort(const CString& text, CString& host, int& port) {
    std::size_t colon = text.find(':');
    if (colon == CString::npos) return;
    std::uint32_t number = 0;
    for (std::size_t i = colon + 1; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        number = number * 10 + static_cast<std::uint32_t>(text[i] - '0');
    host = text.substr(0, colon);
    port = static_cast<int>(number);
}

}  // namespace

CProxyFields ParseProxyServer(const CString& value) {
    CProxyFields fields;
    if (value.empty()) return fields;
    CString ftp = value;
    CString http = value;
    if (value.find('=') != CString::npos) {
        ftp = ProtocolText(value, "ftp");
        http = ProtocolText(value, "http");
    }
    SplitHostPort(ftp, fields.FTPProxy, fields.FTPPort);
    SplitHostPort(http, fields.HTTPProxy, fields.HTTPPort);
    return fields;
}

CProxyFields ReadSystemProxy() {
    return ParseProxyServer(RegistryReadString(HKEY_CURRENT_USER, kInternetSettingsKey, kProxyServerValue, ""));
}

void CSettingsPage::OnInitDialog(const CProxyFields& system) {
    Proxy = system;
    if (m_settings.FTPProxy.empty()) {
        m_settings.FTPProxy = Proxy.FTPProxy;
        m_settings.FTPPort = Proxy.FTPPort;
    }
    if (m_settings.HTTPProxy.empty()) {
        m_settings.HTTPProxy = Proxy.HTTPProxy;
        m_settings.HTTPPort = Proxy.HTTPPort;
    }
    Proxy = {m_settings.FTPProxy, m_settings.HTTPProxy, m_settings.FTPPort, m_settings.HTTPPort};
    UseProxy = m_settings.UseProxySettings;
    Regions.clear();
    Selection = m_settings.Mirrors.empty() ? -1 : 0;
    for (const CMirror& mirror : m_settings.Mirrors) {
        if (mirror.URL == m_settings.URL) Selection = static_cast<int>(Regions.size());
        Regions.push_back(mirror.Name);
    }
    if (Regions.empty() && !m_settings.URL.empty()) {
        Regions.push_back(MirrorHost(m_settings.URL));
        Selection = 0;
    }
}

bool CSettingsPage::UpdateProxyControls(bool defaultChecked, bool proxyChecked) {
    if (defaultChecked)
        UseProxy = 0;
    else if (proxyChecked)
        UseProxy = 1;
    return !defaultChecked && proxyChecked;
}

void CSettingsPage::OnWizardNext(int selected) {
    m_settings.FTPProxy = Proxy.FTPProxy;
    m_settings.HTTPProxy = Proxy.HTTPProxy;
    m_settings.FTPPort = Proxy.FTPPort;
    m_settings.HTTPPort = Proxy.HTTPPort;
    m_settings.UseProxySettings = UseProxy;
    std::size_t index = selected < 0 ? 0 : static_cast<std::size_t>(selected);
    if (index < m_settings.Mirrors.size()) m_settings.URL = m_settings.Mirrors[index].URL;
}

CString MirrorHost(const CString& url) {
    std::size_t start = url.find("://");
    if (start == CString::npos) return url;
    start += 3;
    std::size_t end = std::min(url.find_first_of("/?#", start), url.size());
    CString host = url.substr(start, end - start);
    std::size_t at = host.rfind('@');
    if (at != CString::npos) host.erase(0, at + 1);
    std::size_t portColon = host.find(':', host.rfind(']') == CString::npos ? 0 : host.rfind(']'));
    if (portColon != CString::npos) host.resize(portColon);
    return host.empty() ? url : host;
}

bool ParsePortText(const CString& text, int& port) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::size_t digits = i;
    std::int64_t number = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        number = number * 10 + (text[i++] - '0');
        if (number > std::int64_t{std::numeric_limits<int>::max()} + 1) return false;
    }
    if (i == digits) return false;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i != text.size()) return false;
    if (negative) number = -number;
    if (number > std::numeric_limits<int>::max() || number < std::numeric_limits<int>::min()) return false;
    port = static_cast<int>(number);
    return true;
}

}  // namespace zel::updater
