// CPage2, the download-and-install page (dialog 131): draws what the core's download page logic
// reports (file rows with their icons, two progress bars, the texts) and hands it the worker's
// notifications, which arrive in the page's message queue and are taken on the user-interface
// thread by a short timer.
#pragma once

#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "updater/core/download_page.h"
#include "updater/core/download_thread.h"
#include "updater/win32/wizard_page.h"

namespace zel::updater {

constexpr int kRowIconsBitmap = 133;
constexpr int kRowIconSize = 16;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshTimerMs = 1000;
// How often the page looks for the worker's notifications.
constexpr UINT_PTR kNotificationTimer = 2;
constexpr UINT kNotificationPollMs = 10;

class CPage2 final : public CWizardPage, public CDownloadPageView {
public:
    // Starts the download thread.
    CPage2(CWizardContext& context, CUpdateApp& app, platform::Internet& internet, platform::FileSystem& files,
           platform::Clock& clock);
    // Releases a worker that waits on a notification nobody will handle, then lets it end.
    ~CPage2() override;

    const CDownloadPage& Logic() const { return *m_logic; }

    // CDownloadPageView
    void SetWizardButtons(DWORD buttons) override { CWizardPage::SetWizardButtons(buttons); }
    void RowsCleared() override;
    void RowAdded(const CFileRow& row) override;
    void RowChanged(std::size_t index, const CFileRow& row) override;
    void Show(const CPageDisplay& display) override;
    void ShowModalMessage(const CString& text) override { ShowMessageBox(Language().Translate(text)); }
    void SetActivePage(int index) override;
    void KillTimer() override;

private:
    void OnInitDialog() override;
    void OnSetActive() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR id) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    void PumpNotifications();
    void SetBar(int control, DWORD range, DWORD position) const;

    HIMAGELIST m_icons = nullptr;
    CMessageQueue m_queue;
    std::unique_ptr<CQVDownloadThread> m_worker;
    std::unique_ptr<CDownloadPage> m_logic;
    bool m_dispatching = false;
    // Why each row failed, shown as the row's tip ("" for the others).
    std::vector<std::wstring> m_reasons;
};

}  // namespace zel::updater
