// Finding and closing other programs' windows on a real (virtual) X server, with and without a
// window manager's client list, and silence without a display.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "fakes.h"
#include "platform/x11_desktop.h"
#include "test_support.h"
#include "virtual_x_server.h"

namespace zel::platform {
namespace {

using zel::updater::test::FakeDesktop;
using zel::updater::test::ScopedEnv;

class X11DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (server.display().empty()) GTEST_SKIP() << "no virtual X server (Debian package xvfb)";
        env = std::make_unique<ScopedEnv>("DISPLAY", server.display().c_str());
        display = XOpenDisplay(server.display().c_str());
        ASSERT_NE(display, nullptr) << server.display();
    }
    void TearDown() override {
        if (display) XCloseDisplay(display);
    }

    // A mapped top-level window with the given titles (either may be null).
    Window MakeWindow(const char* utf8Title, const char* plainTitle) {
        Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 50, 50, 0, 0, 0);
        if (plainTitle) XStoreName(display, window, plainTitle);
        if (utf8Title)
            XChangeProperty(display, window, Intern("_NET_WM_NAME"), Intern("UTF8_STRING"), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(utf8Title), static_cast<int>(strlen(utf8Title)));
        XMapWindow(display, window);
        XSync(display, False);
        return window;
    }
    ::Atom Intern(const char* name) { return XInternAtom(display, name, False); }

    // The next client message this connection receives within two seconds, or none.
    bool NextClientMessage(XClientMessageEvent& message) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == ClientMessage) {
                    message = event.xclient;
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    VirtualServer server;
    std::unique_ptr<ScopedEnv> env;
    Display* display = nullptr;
    FakeDesktop base;
};

TEST_F(X11DesktopTest, FindsWholeTitlesAndAsksTheWindowToClose) {
    // An unmapped helper window with the same title, created first (so
    // listed before the real one), is not a program's window.
    Window hidden = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XStoreName(display, hidden, "Zel Monitor");
    XSync(display, False);
    Window scanner = MakeWindow(nullptr, "Zelscan");
    Window monitor = MakeWindow("Zel Monitor", "old name");
    MakeWindow(nullptr, "Zelscan - Qt Selection Owner");
    auto desktop = MakeX11Desktop(base);
    EXPECT_EQ(desktop->FindTopLevelWindow("Zelscan"), scanner);
    EXPECT_EQ(desktop->FindTopLevelWindow("Zel Monitor"), monitor);  // _NET_WM_NAME before WM_NAME
    EXPECT_EQ(desktop->FindTopLevelWindow("old name"), 0u);
    EXPECT_EQ(desktop->FindTopLevelWindow("Zel"), 0u);

    // No window manager: the request goes to the window itself.
    desktop->PostWindowMessage(scanner, 0x12);
    XClientMessageEvent message{};
    ASSERT_TRUE(NextClientMessage(message));
    EXPECT_EQ(message.window, scanner);
    EXPECT_EQ(message.message_type, Intern("WM_PROTOCOLS"));
    EXPECT_EQ(static_cast<::Atom>(message.data.l[0]), Intern("WM_DELETE_WINDOW"));
    desktop->PostWindowMessage(scanner, 0x0201);  // other messages are not sent
    EXPECT_FALSE(NextClientMessage(message));

    // Starting programs is the base desktop's work.
    EXPECT_TRUE(desktop->OpenItem("zelscan.exe", 10));
    ASSERT_EQ(base.opened.size(), 1u);
}

TEST_F(X11DesktopTest, UsesTheWindowManagersClientListAndCloseRequest) {
    Window listed = MakeWindow(nullptr, "Zelscan");
    MakeWindow(nullptr, "Zel Monitor");  // not in the client list: not a client
    Window root = DefaultRootWindow(display);
    long clients[] = {static_cast<long>(listed)};
    XChangeProperty(display, root, Intern("_NET_CLIENT_LIST"), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(clients), 1);
    long supported[] = {static_cast<long>(Intern("_NET_CLOSE_WINDOW"))};
    XChangeProperty(display, root, Intern("_NET_SUPPORTED"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(supported), 1);
    // Play the window manager: receive what is sent to the root.
    XSelectInput(display, root, SubstructureRedirectMask);
    XSync(display, False);
    auto desktop = MakeX11Desktop(base);
    EXPECT_EQ(desktop->FindTopLevelWindow("Zelscan"), listed);
    EXPECT_EQ(desktop->FindTopLevelWindow("Zel Monitor"), 0u);
    desktop->PostWindowMessage(listed, 0x10);
    XClientMessageEvent message{};
    ASSERT_TRUE(NextClientMessage(message));
    EXPECT_EQ(message.message_type, Intern("_NET_CLOSE_WINDOW"));
    EXPECT_EQ(message.window, listed);
}

TEST(X11DesktopWithoutDisplayTest, FindsNothingSilently) {
    ScopedEnv noDisplay("DISPLAY", nullptr);
    ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
    FakeDesktop base;
    auto desktop = MakeX11Desktop(base);
    EXPECT_EQ(desktop->FindTopLevelWindow("Zelscan"), 0u);
    desktop->PostWindowMessage(1234, 0x10);
    ScopedEnv badDisplay("DISPLAY", ":4711");
    auto other = MakeX11Desktop(base);
    EXPECT_EQ(other->FindTopLevelWindow("Zelscan"), 0u);
}

}  // namespace
}  // namespace zel::platform
