// The zelupdate program itself on a (virtual) X11 display: at start it asks the monitor's window to
// close, and closing its own window cancels the wizard, which starts the monitor again.
#include <gtest/gtest.h>

#include <spawn.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "fakes.h"
#include "platform/x11_desktop.h"
#include "test_support.h"
#include "virtual_x_server.h"

extern char** environ;

namespace zel::platform {
namespace {

using zel::updater::test::FakeDesktop;
using zel::updater::test::FileExists;
using zel::updater::test::TempDir;
using zel::updater::test::WriteFile;

constexpr unsigned kCloseMessage = 0x10;

// Counts the delete-window requests that `window` receives within `seconds`.
int DeleteRequests(Display* display, Window window, int expected, int seconds) {
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    int count = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (count < expected && std::chrono::steady_clock::now() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && event.xclient.window == window &&
                event.xclient.message_type == protocols && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
                ++count;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return count;
}

bool WaitForExit(pid_t pid, int seconds, int& status) {
    for (int i = 0; i < seconds * 50; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(ZelupdateOnX11Test, ClosesTheMonitorAtStartAndRestartsItWhenCancelled) {
    VirtualServer server;
    if (server.display().empty()) GTEST_SKIP() << "no virtual X server (Debian package xvfb)";
    std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(server.display().c_str()), XCloseDisplay);
    ASSERT_NE(connection, nullptr);
    Display* display = connection.get();
    Window monitor = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 40, 40, 0, 0, 0);
    XStoreName(display, monitor, "Zel Monitor");
    XMapWindow(display, monitor);
    XSync(display, False);

    TempDir dir;
    std::string work = dir / "work";
    std::filesystem::create_directories(work);
    WriteFile(work + "/zelmon.exe", "#!/bin/sh\necho started > monitor-started\n");
    std::filesystem::permissions(work + "/zelmon.exe", std::filesystem::perms::owner_all);

    std::vector<std::string> env{
        "DISPLAY=" + server.display(), "QT_QPA_PLATFORM=xcb", "ZEL_SYSTEM_ROOT=" + dir / "root",
        "HOME=" + dir.path().string(), "PATH=/usr/bin:/bin",  "XDG_RUNTIME_DIR=" + dir.path().string()};
    // Sanitizer builds: the same options as the test, and Qt's own D-Bus leaks suppressed.
    // libxkbcommon-x11 hands strndup a buffer without a terminator, which strict string checks
    // take for an overflow; the length it passes is right.
    if (const char* value = std::getenv("ASAN_OPTIONS"))
        env.push_back(std::string("ASAN_OPTIONS=") + value + ":strict_string_checks=0");
    if (const char* value = std::getenv("UBSAN_OPTIONS")) env.push_back(std::string("UBSAN_OPTIONS=") + value);
    env.push_back("LSAN_OPTIONS=suppressions=" ZEL_SOURCE_DIR "/tests/wizard/lsan-qt.supp");
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = ZEL_ZELUPDATE;
    std::vector<char*> argv{program.data(), nullptr};
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(work);  // the child starts in the working folder
    pid_t pid = 0;
    int spawned = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data());
    std::filesystem::current_path(previous);
    ASSERT_EQ(spawned, 0);

    // The monitor is asked to close and then to quit: two requests.
    EXPECT_EQ(DeleteRequests(display, monitor, 2, 20), 2);

    // Close the wizard's window as a user would: the wizard cancels.
    zel::updater::test::ScopedEnv displayForTest("DISPLAY", server.display().c_str());
    FakeDesktop base;
    auto desktop = MakeX11Desktop(base);
    WindowId wizard = 0;
    for (int i = 0; i < 500 && !wizard; ++i) {
        wizard = desktop->FindTopLevelWindow("Zelupdate");
        if (!wizard) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_NE(wizard, 0u);
    desktop->PostWindowMessage(wizard, kCloseMessage);
    int status = 0;
    bool ended = WaitForExit(pid, 20, status);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int i = 0; i < 250 && !FileExists(work + "/monitor-started"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(FileExists(work + "/monitor-started"));
}

}  // namespace
}  // namespace zel::platform
