// CPage2, the download-and-install page: draws what the core's download page logic reports (file
// rows with their icons, two progress bars, the texts) and hands it the worker's notifications,
// which arrive in the page's message queue and are taken on the user-interface thread.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>
#include <memory>
#include <vector>

#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "updater/core/download_page.h"
#include "updater/core/download_thread.h"
#include "updater/core/language_file.h"
#include "updater/wizard/update_sheet.h"

namespace zel::updater {

// How often the page looks for the worker's notifications, in milliseconds.
constexpr int kNotificationPollMs = 10;
constexpr int kRefreshTimerMs = 1000;

class CPage2 final : public CSheetPage, public CDownloadPageView {
    Q_OBJECT
public:
    // Starts the download thread.
    CPage2(CUpdateApp& app, const CLanguage& language, platform::Internet& internet, platform::FileSystem& files,
           platform::Desktop& desktop, platform::Clock& clock);
    // Releases a worker that waits on a notification nobody will handle, then lets it end.
    ~CPage2() override;

    void OnSetActive() override;
    void OnCancel() override;
    int DialogNumber() const override { return kDialogDownload; }
    std::vector<HelpControl> HelpControls() const override;

    // CDownloadPageView
    void SetWizardButtons(DWORD buttons) override;
    void RowsCleared() override;
    void RowAdded(const CFileRow& row) override;
    void RowChanged(std::size_t index, const CFileRow& row) override;
    void Show(const CPageDisplay& display) override;
    void ShowModalMessage(const CString& text) override;
    void SetActivePage(int index) override;
    void KillTimer() override;

    // The page's controls and logic, for tests.
    QTreeWidget* FileList() const { return m_fileList; }
    QProgressBar* CurrentBar() const { return m_currentBar; }
    QProgressBar* TotalBar() const { return m_totalBar; }
    QLabel* StatusText() const { return m_status; }
    QLabel* DownloadedText() const { return m_downloaded; }
    QLabel* TimeLeftText() const { return m_timeLeft; }
    const CDownloadPage& Logic() const { return *m_logic; }
    bool RefreshTimerActive() const { return m_refreshTimer.isActive(); }
    // The icon index that row `row` shows (-1 when there is no such row).
    int RowIcon(int row) const;
    const std::vector<QIcon>& Icons() const { return m_icons; }

private:
    void OnInitDialog();
    void PumpNotifications();

    CUpdateApp& m_app;
    const CLanguage& m_language;
    std::vector<QIcon> m_icons;
    CMessageQueue m_window;
    std::unique_ptr<CQVDownloadThread> m_worker;
    std::unique_ptr<CDownloadPage> m_logic;
    bool m_initialised = false;
    bool m_dispatching = false;
    QTimer m_pump;
    QTimer m_refreshTimer;

    QTreeWidget* m_fileList;
    QLabel* m_status;
    QLabel* m_downloaded;
    QLabel* m_timeLeft;
    QProgressBar* m_currentBar;
    QProgressBar* m_totalBar;
};

}  // namespace zel::updater
