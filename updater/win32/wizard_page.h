// A page of the Win32 wizard: a dialog template of the program's resources run as a property page.
// The base turns the sheet's notifications into the handlers a property page has, puts the
// language's texts over the template's, and answers WM_HELP on a numbered control with that
// control's context help in a pop-up beside it.
#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <atomic>

#include "updater/core/context_help.h"
#include "updater/core/language_file.h"

namespace zel::updater {

// UTF-8 text for a wide-character function; text that is not UTF-8 is read as Windows-1252, the
// code page of update scripts and old settings.
std::wstring WideText(const CString& text);
CString NarrowText(const std::wstring& text);

// What every page of one wizard shares.
struct CWizardContext {
    HINSTANCE resources = nullptr;
    const CLanguage* language = nullptr;
    const CContextHelp* help = nullptr;
    // The sheet's window once the first page exists (read by other threads in tests).
    std::atomic<HWND> sheet{nullptr};
};

class CWizardPage {
public:
    CWizardPage(CWizardContext& context, int dialog);
    virtual ~CWizardPage();
    CWizardPage(const CWizardPage&) = delete;
    CWizardPage& operator=(const CWizardPage&) = delete;

    // The property page to add to the sheet; the sheet destroys it.
    HPROPSHEETPAGE Create();
    int DialogNumber() const { return m_dialog; }
    HWND Window() const { return m_window; }
    HWND Item(int control) const { return GetDlgItem(m_window, control); }
    // The context help last shown on this page ("" before any).
    const CString& ShownHelp() const { return m_shownHelp; }

protected:
    virtual void OnInitDialog() {}
    // Every time the page becomes the current one.
    virtual void OnSetActive() {}
    // Next or Finish pressed: false keeps the page open.
    virtual bool OnWizardNext() { return true; }
    virtual bool OnWizardFinish() { return true; }
    // Cancel (the button, Esc or the close box) while the page is current, before the sheet closes.
    virtual void OnCancel() {}
    virtual void OnCommand(int /*control*/, int /*code*/) {}
    virtual void OnTimer(UINT_PTR /*id*/) {}
    // Another notification from a control; returns the result, or false to leave it unanswered.
    virtual bool OnNotify(NMHDR& /*header*/, LRESULT& /*result*/) { return false; }

    HWND Sheet() const { return m_context.sheet.load(); }
    // Posted, as a property page posts it: the sheet applies it after the current handler.
    void SetWizardButtons(DWORD buttons) const;
    void SetText(int control, const CString& text) const;
    CString Text(int control) const;
    void ShowMessageBox(const CString& text) const;
    const CLanguage& Language() const { return *m_context.language; }

private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam);
    bool HandleSheetNotification(const NMHDR& header, LRESULT& result);
    void ApplyLanguage() const;
    void ShowHelp(const HELPINFO& info);
    void HideHelp();

    CWizardContext& m_context;
    int m_dialog;
    HWND m_window = nullptr;
    std::wstring m_title;
    HWND m_helpTip = nullptr;
    std::wstring m_helpText;
    CString m_shownHelp;
};

}  // namespace zel::updater
