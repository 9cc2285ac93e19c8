// CUpdateSheet: the system's property sheet in wizard mode with the three pages. When the sheet
// window exists it takes the program icon and the title bar's context-help button; the pages
// answer the help requests themselves.
#pragma once

#include <vector>

#include "updater/win32/wizard_page.h"

namespace zel::updater {

constexpr int kProgramIcon = 128;

class CUpdateSheet {
public:
    CUpdateSheet(CWizardContext& context, CString caption) : m_context(context), m_caption(std::move(caption)) {}

    void AddPage(CWizardPage& page) { m_pages.push_back(&page); }
    // Runs the wizard modally; returns PropertySheetW's result (0 when it could not be shown, as
    // without a display).
    INT_PTR DoModal();

private:
    static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lparam);

    CWizardContext& m_context;
    CString m_caption;
    std::vector<CWizardPage*> m_pages;
};

}  // namespace zel::updater
