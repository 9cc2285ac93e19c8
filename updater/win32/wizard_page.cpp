#include "updater/win32/wizard_page.h"

#include "framework/codepage.h"
#include "platform/win32/wide_text.h"
#include "updater/core/wizard_strings.h"

namespace zel::updater {
namespace {

constexpr UINT_PTR kHelpTimer = 0x7A01;
constexpr UINT kHelpShownMs = 10000;
constexpr int kHelpWidth = 300;

}  // namespace

std::wstring WideText(const CString& text) {
    if (auto wide = platform::win32::WideFromUtf8(text)) return *wide;
    return platform::win32::WideFromAnsi(text);
}

CString NarrowText(const std::wstring& text) { return platform::win32::Utf8FromWide(text); }

CWizardPage::CWizardPage(CWizardContext& context, int dialog) : m_context(context), m_dialog(dialog) {}

CWizardPage::~CWizardPage() {
    if (m_helpTip) DestroyWindow(m_helpTip);
}

HPROPSHEETPAGE CWizardPage::Create() {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof page;
    page.hInstance = m_context.resources;
    page.pszTemplate = MAKEINTRESOURCEW(m_dialog);
    page.pfnDlgProc = &CWizardPage::DialogProcedure;
    page.lParam = reinterpret_cast<LPARAM>(this);
    // A language may name the page differently; the sheet copies the title.
    const CString caption = Language().DialogText(m_dialog, kCaptionControl, kPageCaption);
    m_title = WideText(caption);
    if (caption != kPageCaption) {
        page.dwFlags |= PSP_USETITLE;
        page.pszTitle = m_title.c_str();
    }
    return CreatePropertySheetPageW(&page);
}

INT_PTR CALLBACK CWizardPage::DialogProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* page = reinterpret_cast<CWizardPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lparam)->lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(page));
        page->m_window = window;
    }
    auto* page = reinterpret_cast<CWizardPage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return page ? page->Handle(message, wparam, lparam) : FALSE;
}

INT_PTR CWizardPage::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            m_context.sheet = GetParent(m_window);
            ApplyLanguage();
            OnInitDialog();
            return TRUE;
        case WM_COMMAND: OnCommand(LOWORD(wparam), HIWORD(wparam)); return TRUE;
        case WM_TIMER:
            if (wparam == kHelpTimer) {
                HideHelp();
            } else {
                OnTimer(wparam);
            }
            return TRUE;
        case WM_HELP: ShowHelp(*reinterpret_cast<const HELPINFO*>(lparam)); return TRUE;
        case WM_LBUTTONDOWN:
        case WM_KEYDOWN: HideHelp(); return FALSE;
        case WM_NOTIFY: {
            auto& header = *reinterpret_cast<NMHDR*>(lparam);
            LRESULT result = 0;
            if (!HandleSheetNotification(header, result) && !OnNotify(header, result)) return FALSE;
            SetWindowLongPtrW(m_window, DWLP_MSGRESULT, result);
            return TRUE;
        }
        default: return FALSE;
    }
}

bool CWizardPage::HandleSheetNotification(const NMHDR& header, LRESULT& result) {
    switch (header.code) {
        case PSN_SETACTIVE:
            OnSetActive();
            result = 0;
            return true;
        case PSN_KILLACTIVE:
            HideHelp();
            result = FALSE;
            return true;
        case PSN_WIZNEXT: result = OnWizardNext() ? 0 : -1; return true;
        case PSN_WIZFINISH: result = OnWizardFinish() ? FALSE : TRUE; return true;
        case PSN_QUERYCANCEL:
            // Only the current page hears this (the sheet tells every page of a reset afterwards).
            OnCancel();
            result = FALSE;
            return true;
        default: return false;
    }
}

void CWizardPage::ApplyLanguage() const {
    if (Language().Empty()) return;
    for (HWND child = GetWindow(m_window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int control = GetDlgCtrlID(child);
        if (control <= 0 || control == 0xFFFF) continue;
        wchar_t text[512];
        GetWindowTextW(child, text, 512);
        const CString builtIn = NarrowText(text);
        const CString translated = Language().DialogText(m_dialog, control, builtIn);
        if (translated != builtIn) SetWindowTextW(child, WideText(translated).c_str());
    }
}

void CWizardPage::ShowHelp(const HELPINFO& info) {
    if (info.iContextType != HELPINFO_WINDOW) return;
    m_shownHelp = m_context.help->Text(m_dialog, info.iCtrlId);
    HideHelp();
    if (m_shownHelp.empty()) return;
    m_shownHelp = Language().Translate(m_shownHelp);
    m_helpText = WideText(m_shownHelp);
    if (!m_helpTip) {
        m_helpTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr,
                                    m_context.resources, nullptr);
        SendMessageW(m_helpTip, TTM_SETMAXTIPWIDTH, 0, kHelpWidth);
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = m_window;
    tool.lpszText = m_helpText.data();
    SendMessageW(m_helpTip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(m_helpTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT box{};
    HWND control = static_cast<HWND>(info.hItemHandle);
    if (!IsWindow(control) || !GetWindowRect(control, &box)) GetWindowRect(m_window, &box);
    SendMessageW(m_helpTip, TTM_TRACKPOSITION, 0, MAKELPARAM((box.left + box.right) / 2, box.bottom + 2));
    SendMessageW(m_helpTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    SetTimer(m_window, kHelpTimer, kHelpShownMs, nullptr);
}

void CWizardPage::HideHelp() {
    if (!m_helpTip) return;
    KillTimer(m_window, kHelpTimer);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_window;
    SendMessageW(m_helpTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

void CWizardPage::SetWizardButtons(DWORD buttons) const { PostMessageW(Sheet(), PSM_SETWIZBUTTONS, 0, buttons); }

void CWizardPage::SetText(int control, const CString& text) const {
    SetDlgItemTextW(m_window, control, WideText(text).c_str());
}

CString CWizardPage::Text(int control) const {
    HWND item = Item(control);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return NarrowText(text);
}

void CWizardPage::ShowMessageBox(const CString& text) const {
    MessageBoxW(Sheet(), WideText(text).c_str(), WideText(kSheetCaption).c_str(), MB_OK | MB_ICONWARNING);
}

}  // namespace zel::updater
