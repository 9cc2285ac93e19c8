#include "updater/wizard/page2.h"

#include <QGroupBox>
#include <QHeaderView>

#include "updater/core/update_strings.h"
#include "updater/core/wizard_strings.h"
#include "updater/wizard/artwork.h"
#include "updater/wizard/page_layout.h"
#include "updater/wizard/text_convert.h"

namespace zel::updater {

using namespace download_dialog;

namespace {
constexpr int kIconRole = Qt::UserRole + 1;
}  // namespace

std::vector<CSheetPage::HelpControl> CPage2::HelpControls() const {
    return {{kFileList, m_fileList}, {kStatus, m_status},         {kDownloaded, m_downloaded},
            {kTimeLeft, m_timeLeft}, {kCurrentBar, m_currentBar}, {kTotalBar, m_totalBar}};
}

CPage2::CPage2(CUpdateApp& app, const CLanguage& language, platform::Internet& internet, platform::FileSystem& files,
               platform::Desktop& desktop, platform::Clock& clock)
    : m_app(app), m_language(language), m_icons(RowIcons()) {
    auto text = [&](int control, const char* builtIn) {
        return ToQt(m_language.DialogText(kDialogDownload, control, builtIn));
    };
    setTitle(text(kCaptionControl, kPageCaption));
    CDialogUnits u(font());
    QWidget* area = MakeDialogArea(this, u);

    auto* listFrame = new QGroupBox(area);
    u.Place(listFrame, 90, 3, 197, 100);
    m_fileList = new QTreeWidget(area);
    u.Place(m_fileList, 96, 9, 185, 58);
    m_fileList->setRootIsDecorated(false);
    m_fileList->setUniformRowHeights(true);
    m_fileList->setSelectionMode(QAbstractItemView::NoSelection);
    m_fileList->setIconSize(QSize(kRowIconSize, kRowIconSize));
    m_status = MakeLabel(area, u, QString(), 96, 70, 185, 9);
    m_status->setTextFormat(Qt::PlainText);
    m_downloaded = MakeLabel(area, u, QString(), 96, 80, 185, 9);
    MakeLabel(area, u, text(kTimeLeftLabel, kTimeLeftText), 96, 90, 90, 9);
    m_timeLeft = MakeLabel(area, u, QString::fromUtf8(kInitialTimeLeft), 188, 90, 60, 9);

    auto* progressFrame = new QGroupBox(text(kProgressFrame, kProgressText), area);
    u.Place(progressFrame, 90, 106, 197, 42);
    MakeLabel(area, u, text(kCurrentLabel, kCurrentText), 96, 117, 30, 9);
    m_currentBar = new QProgressBar(area);
    u.Place(m_currentBar, 128, 116, 153, 10);
    MakeLabel(area, u, text(kTotalLabel, kTotalText), 96, 133, 30, 9);
    m_totalBar = new QProgressBar(area);
    u.Place(m_totalBar, 128, 132, 153, 10);
    for (QProgressBar* bar : {m_currentBar, m_totalBar}) {
        bar->setTextVisible(false);
        bar->setRange(0, 1);
        bar->setValue(0);
    }

    m_worker = std::make_unique<CQVDownloadThread>(internet, files);
    m_logic = std::make_unique<CDownloadPage>(app, *m_worker, m_window, *this, clock, files, desktop);
    m_status->setText(ToQt(m_language.Translate(m_logic->StatusText())));

    connect(&m_pump, &QTimer::timeout, this, &CPage2::PumpNotifications);
    m_pump.start(kNotificationPollMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] { m_logic->OnMessage({kTimerMessage, 1, 0}); });
}

CPage2::~CPage2() {
    m_pump.stop();
    m_window.Close();
    m_worker.reset();
}

void CPage2::OnInitDialog() {
    m_fileList->setColumnCount(2);
    m_fileList->setHeaderLabels({QString::fromUtf8(kFileColumn), QString::fromUtf8(kSizeColumn)});
    m_fileList->header()->setStretchLastSection(false);
    m_fileList->header()->setSectionsClickable(false);
    m_fileList->setColumnWidth(0, kFileColumnWidth);
    m_fileList->setColumnWidth(1, kSizeColumnWidth);
    m_refreshTimer.start(kRefreshTimerMs);
}

void CPage2::OnSetActive() {
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
    m_logic->OnSetActive();
}

void CPage2::OnCancel() { m_logic->OnCancel(); }

void CPage2::PumpNotifications() {
    // A message box inside a handler runs a nested event loop; the notifications wait for it.
    if (m_dispatching) return;
    m_dispatching = true;
    while (m_window.Dispatch([this](const CMessage& message) { m_logic->OnMessage(message); },
                             std::chrono::milliseconds(0))) {
    }
    m_dispatching = false;
}

void CPage2::SetWizardButtons(DWORD buttons) {
    if (CUpdateSheet* sheet = Sheet()) sheet->SetWizardButtons(buttons);
}

void CPage2::RowsCleared() { m_fileList->clear(); }

void CPage2::RowAdded(const CFileRow& row) {
    auto* item = new QTreeWidgetItem(m_fileList);
    RowChanged(static_cast<std::size_t>(m_fileList->topLevelItemCount() - 1), row);
    m_fileList->scrollToItem(item);
}

void CPage2::RowChanged(std::size_t index, const CFileRow& row) {
    QTreeWidgetItem* item = m_fileList->topLevelItem(static_cast<int>(index));
    if (!item) return;
    item->setText(0, ToQt(row.name));
    item->setText(1, ToQt(m_language.Translate(row.size)));
    // Why a file failed: shown over its row, the log keeps only that it failed.
    for (int column : {0, 1}) item->setToolTip(column, ToQt(row.reason));
    if (item->data(0, kIconRole).toInt() != row.icon + 1 && row.icon >= 0 && row.icon < kRowIconCount) {
        item->setIcon(0, m_icons[static_cast<std::size_t>(row.icon)]);
        item->setData(0, kIconRole, row.icon + 1);
    }
}

int CPage2::RowIcon(int row) const {
    QTreeWidgetItem* item = m_fileList->topLevelItem(row);
    return item ? item->data(0, kIconRole).toInt() - 1 : -1;
}

void CPage2::Show(const CPageDisplay& display) {
    auto [currentMax, currentValue] = ScaleBar(display.currentRange, display.currentPos);
    m_currentBar->setRange(0, currentMax);
    m_currentBar->setValue(currentValue);
    auto [totalMax, totalValue] = ScaleBar(display.totalRange, display.totalPos);
    m_totalBar->setRange(0, totalMax);
    m_totalBar->setValue(totalValue);
    // The status without a text of its own is string 119, which only a language may give one.
    CString status =
        display.status.empty() ? m_language.String(IDS_ENTRY_STATUS) : m_language.Translate(display.status);
    m_status->setText(ToQt(status));
    m_downloaded->setText(ToQt(display.downloaded));
    m_timeLeft->setText(ToQt(display.timeLeft));
}

void CPage2::ShowModalMessage(const CString& text) { ShowMessageBox(this, ToQt(m_language.Translate(text))); }

void CPage2::SetActivePage(int index) {
    if (CUpdateSheet* sheet = Sheet()) sheet->SetActivePage(index);
}

void CPage2::KillTimer() { m_refreshTimer.stop(); }

}  // namespace zel::updater
