#include "updater/win32/page2.h"

#include <algorithm>

#include "updater/core/update_strings.h"
#include "updater/core/wizard_strings.h"

namespace zel::updater {

using namespace download_dialog;

CPage2::CPage2(CWizardContext& context, CUpdateApp& app, platform::Internet& internet, platform::FileSystem& files,
               platform::Clock& clock)
    : CWizardPage(context, kDialogDownload) {
    // Six 16x16 images side by side; white is transparent.
    m_icons = ImageList_Create(kRowIconSize, kRowIconSize, ILC_COLOR24 | ILC_MASK, 6, 0);
    if (HANDLE strip = LoadImageW(context.resources, MAKEINTRESOURCEW(kRowIconsBitmap), IMAGE_BITMAP, 0, 0, 0)) {
        ImageList_AddMasked(m_icons, static_cast<HBITMAP>(strip), RGB(255, 255, 255));
        DeleteObject(strip);
    }
    m_worker = std::make_unique<CQVDownloadThread>(internet, files);
    m_logic = std::make_unique<CDownloadPage>(app, *m_worker, m_queue, *this, clock, files, app.Desktop());
}

CPage2::~CPage2() {
    m_queue.Close();
    m_worker.reset();
    // The list view was told not to destroy the image list: it may outlive the page window.
    if (m_icons) ImageList_Destroy(m_icons);
}

void CPage2::OnInitDialog() {
    HWND list = Item(kFileList);
    // Columns the template may carry go; "Size" then "File" are inserted at 0, so "File" leads.
    SendMessageW(list, LVM_DELETECOLUMN, 0, 0);
    SendMessageW(list, LVM_DELETECOLUMN, 0, 0);
    for (auto [text, width] : {std::pair{kSizeColumn, kSizeColumnWidth}, std::pair{kFileColumn, kFileColumnWidth}}) {
        std::wstring title = WideText(Language().Translate(text));
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = width;
        column.pszText = title.data();
        SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, LVS_EX_INFOTIP);
    SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(m_icons));
    SetText(kTimeLeft, m_logic->TimeLeftText());
    SetText(kStatus, Language().Translate(m_logic->StatusText()));
    SetTimer(Window(), kRefreshTimer, kRefreshTimerMs, nullptr);
    SetTimer(Window(), kNotificationTimer, kNotificationPollMs, nullptr);
}

void CPage2::OnSetActive() { m_logic->OnSetActive(); }

void CPage2::OnCancel() { m_logic->OnCancel(); }

void CPage2::OnTimer(UINT_PTR id) {
    if (id == kRefreshTimer) m_logic->OnMessage({kTimerMessage, kRefreshTimer, 0});
    if (id == kNotificationTimer) PumpNotifications();
}

void CPage2::PumpNotifications() {
    // A message box inside a handler runs a nested message loop; the notifications wait for it.
    if (m_dispatching) return;
    m_dispatching = true;
    while (m_queue.Dispatch([this](const CMessage& message) { m_logic->OnMessage(message); },
                            std::chrono::milliseconds(0))) {
    }
    m_dispatching = false;
}

void CPage2::RowsCleared() {
    SendMessageW(Item(kFileList), LVM_DELETEALLITEMS, 0, 0);
    m_reasons.clear();
}

void CPage2::RowAdded(const CFileRow& row) {
    HWND list = Item(kFileList);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(L"");
    const int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) return;
    m_reasons.resize(static_cast<std::size_t>(index) + 1);
    RowChanged(static_cast<std::size_t>(index), row);
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

void CPage2::RowChanged(std::size_t index, const CFileRow& row) {
    HWND list = Item(kFileList);
    std::wstring name = WideText(row.name);
    std::wstring size = WideText(Language().Translate(row.size));
    LVITEMW item{};
    item.iItem = static_cast<int>(index);
    item.mask = LVIF_TEXT | (row.icon >= 0 && row.icon < ImageList_GetImageCount(m_icons) ? LVIF_IMAGE : 0);
    item.iImage = row.icon;
    item.pszText = name.data();
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.mask = LVIF_TEXT;
    item.iSubItem = 1;
    item.pszText = size.data();
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (index < m_reasons.size()) m_reasons[index] = WideText(row.reason);
}

bool CPage2::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.idFrom != static_cast<UINT_PTR>(kFileList) || header.code != LVN_GETINFOTIPW) return false;
    // Why a file failed: shown over its row, the log keeps only that it failed.
    auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(header);
    const auto row = static_cast<std::size_t>(tip.iItem);
    if (row < m_reasons.size() && !m_reasons[row].empty() && tip.cchTextMax > 0) {
        const std::size_t length = std::min(m_reasons[row].size(), static_cast<std::size_t>(tip.cchTextMax - 1));
        std::copy_n(m_reasons[row].c_str(), length, tip.pszText);
        tip.pszText[length] = L'\0';
    }
    result = 0;
    return true;
}

void CPage2::SetBar(int control, DWORD range, DWORD position) const {
    auto [maximum, value] = ScaleBar(range, position);
    SendMessageW(Item(control), PBM_SETRANGE32, 0, maximum);
    SendMessageW(Item(control), PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void CPage2::Show(const CPageDisplay& display) {
    SetBar(kCurrentBar, display.currentRange, display.currentPos);
    SetBar(kTotalBar, display.totalRange, display.totalPos);
    // The status without a text of its own is string 119, which only a language may give one.
    SetText(kStatus,
            display.status.empty() ? Language().String(IDS_ENTRY_STATUS) : Language().Translate(display.status));
    SetText(kDownloaded, display.downloaded);
    SetText(kTimeLeft, display.timeLeft);
}

void CPage2::SetActivePage(int index) { SendMessageW(Sheet(), PSM_SETCURSEL, static_cast<WPARAM>(index), 0); }

void CPage2::KillTimer() { ::KillTimer(Window(), kRefreshTimer); }

}  // namespace zel::updater
