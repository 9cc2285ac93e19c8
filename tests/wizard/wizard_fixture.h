// Shared set-up of the wizard's GUI tests: the real wizard with the real download thread against
// a local HTTP mirror, an in-memory registry, and fakes for the desktop and the settings store.
// Message boxes are answered (and recorded) as they appear.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "fakes.h"
#include "framework/crc32.h"
#include "network_fixture.h"
#include "platform/internet.h"
#include "platform/memory_registry.h"
#include "platform/services.h"
#include "updater/core/download_thread.h"
#include "updater/wizard/page1.h"
#include "updater/wizard/page2.h"
#include "updater/wizard/page3.h"
#include "updater/wizard/zelupdate_app.h"

namespace zel::updater::test {

// Processes events until `condition` holds; false after `ms` milliseconds.
inline bool WaitFor(const std::function<bool()>& condition, int ms = 30000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

// Answers every message box with OK and keeps its text.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer() {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            texts.push_back(box->text().toStdString());
            box->button(QMessageBox::Ok)->click();
        });
        m_timer.start();
    }
    std::vector<std::string> texts;

private:
    QTimer m_timer;
};

// A checked script line for `content`, installed at `dest` from `url`.
inline std::string CheckedLine(const std::string& dest, const std::string& url, const std::string& content,
                               const std::string& label = " ", const std::string& version = " ") {
    return "c<" + dest + "><" + url + "><01.01.2004><12:00:00><" + label + "><" + version + "><" +
           std::to_string(content.size()) + "><" + std::to_string(Crc32(content.data(), content.size())) + ">\r\n";
}

class WizardTest : public NetworkTest {
protected:
    WizardTest()
        : cwd(work), services(ServicesWith(registry)),
          app(desktop, profile, platform::CurlInternet(), platform::SystemFileSystem(), platform::SystemClock()) {}

    ~WizardTest() override { sheet.reset(); }

    static platform::Services ServicesWith(platform::MemoryRegistry& memory) {
        platform::Services replaced;
        replaced.registry = &memory;
        return replaced;
    }

    // Stores mirrors as the settings would hold them and loads the settings.
    void SetMirrors(const std::vector<std::pair<std::string, std::string>>& mirrors) {
        for (std::size_t i = 0; i < mirrors.size(); ++i)
            profile.strings["Settings/Mirror " + std::to_string(i)] = mirrors[i].first + "\\n" + mirrors[i].second;
        app.LoadSettings();
    }

    // Builds the wizard and shows it (the settings page becomes current).
    void Open() {
        sheet = app.CreateSheet();
        sheet->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
        sheet->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet.get()));
        ASSERT_EQ(sheet->currentId(), 0);
    }

    CPage1* Settings() const { return static_cast<CPage1*>(sheet->Page(0)); }
    CPage2* Download() const { return static_cast<CPage2*>(sheet->Page(1)); }
    CPage3* Completion() const { return static_cast<CPage3*>(sheet->Page(2)); }
    QAbstractButton* Button(QWizard::WizardButton which) const { return sheet->button(which); }
    void Click(QWizard::WizardButton which) const { QTest::mouseClick(Button(which), Qt::LeftButton); }
    // Which of Back, Next and Finish are enabled, as PSWIZB_ flags.
    DWORD EnabledButtons() const {
        return (Button(QWizard::BackButton)->isEnabled() ? kWizardBack : 0) |
               (Button(QWizard::NextButton)->isEnabled() ? kWizardNext : 0) |
               (Button(QWizard::FinishButton)->isEnabled() ? kWizardFinish : 0);
    }
    std::string Base(const ServerProcess& server) const { return "http://127.0.0.1:" + std::to_string(server.port()); }

    ScopedWorkingFolder cwd;
    platform::MemoryRegistry registry;
    platform::ScopedServices services;
    FakeDesktop desktop;
    MemoryProfile profile;
    CZelupdateApp app;
    MessageBoxAnswerer boxes;
    std::unique_ptr<CUpdateSheet> sheet;
};

}  // namespace zel::updater::test
