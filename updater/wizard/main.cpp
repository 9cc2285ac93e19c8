// zelupdate: the update wizard. It takes no command-line options.
#include <QApplication>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/x11_desktop.h"
#include "updater/core/registry_profile.h"
#include "updater/wizard/text_convert.h"
#include "updater/wizard/zelupdate_app.h"

int main(int argc, char** argv) {
    using namespace zel;
    QApplication application(argc, argv);
    std::unique_ptr<platform::Desktop> desktop = platform::MakeX11Desktop(platform::SystemDesktop());
    updater::CRegistryProfile profile;
    updater::CZelupdateApp app(*desktop, profile, platform::CurlInternet(), platform::SystemFileSystem(),
                               platform::SystemClock());
    app.InitInstance(updater::FromQt(QCoreApplication::applicationFilePath()));
    return app.ExitInstance();
}
