// zelupdate.exe: the update wizard. It takes no command-line options.
#include "platform/win32/windows_api.h"

#include <string>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "updater/core/registry_profile.h"
#include "updater/win32/zelupdate_app.h"

int main() {
    using namespace zel;
    updater::InitCommonControlClasses();
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    updater::CRegistryProfile profile;
    updater::CWin32UpdateApp app(platform::SystemDesktop(), profile, platform::SystemInternet(),
                                 platform::SystemFileSystem(), platform::SystemClock(), GetModuleHandleW(nullptr));
    app.InitInstance(updater::NarrowText(path));
    return app.ExitInstance();
}
