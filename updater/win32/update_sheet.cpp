#include "updater/win32/update_sheet.h"

namespace zel::updater {

INT_PTR CUpdateSheet::DoModal() {
    std::vector<HPROPSHEETPAGE> pages;
    for (CWizardPage* page : m_pages) pages.push_back(page->Create());
    const std::wstring caption = WideText(m_caption);
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_WIZARD | PSH_USECALLBACK;
    header.hInstance = m_context.resources;
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = 0;
    header.phpage = pages.data();
    header.pfnCallback = &CUpdateSheet::SheetCallback;
    const INT_PTR result = PropertySheetW(&header);
    m_context.sheet = nullptr;
    return result;
}

int CALLBACK CUpdateSheet::SheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message != PSCB_INITIALIZED) return 0;
    // The resources are the program's own: the callback has no context of ours to ask.
    HINSTANCE program = GetModuleHandleW(nullptr);
    for (auto [which, size] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
        const int pixels = GetSystemMetrics(size);
        if (HANDLE icon = LoadImageW(program, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON, pixels, pixels, LR_SHARED))
            SendMessageW(sheet, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    }
    SetWindowLongPtrW(sheet, GWL_EXSTYLE, GetWindowLongPtrW(sheet, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    return 0;
}

}  // namespace zel::updater
