// Finding and closing windows through Xlib. Top-level windows come from the window manager's client
// list when it publishes one, else from a walk of the window tree (windows with WM_STATE, or the
// root's mapped children when no window manager runs). Titles are matched whole against _NET_WM_NAME, else
// WM_NAME. Closing goes through _NET_CLOSE_WINDOW when the window manager supports it, else a
// WM_DELETE_WINDOW message to the window itself.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11_desktop.h"

namespace zel::platform {
namespace {

constexpr unsigned kCloseMessage = 0x0010;
constexpr unsigned kQuitMessage = 0x0012;
// How deep the tree walk looks for client windows below the root (reparenting window managers put
// one or two frames above each client).
constexpr int kTreeDepth = 3;
// Property reads ask for at most this many 32-bit items (titles and client lists are far smaller).
constexpr long kMaxPropertyItems = 1 << 16;

// The default handler ends the process when a window vanishes between two requests; errors here
// only mean that a window went away.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

struct Property {
    Atom type = None;
    int format = 0;
    std::vector<unsigned char> bytes;
    unsigned long items = 0;
};

std::optional<Property> ReadProperty(Display* display, Window window, Atom name) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, name, 0, kMaxPropertyItems, False, AnyPropertyType, &type, &format, &items,
                           &after, &data) != Success ||
        type == None) {
        if (data) XFree(data);
        return std::nullopt;
    }
    Property property;
    property.type = type;
    property.format = format;
    property.items = items;
    // Xlib hands 32-bit items back as longs.
    std::size_t size = format == 32 ? items * sizeof(long) : items * static_cast<std::size_t>(format / 8);
    if (data) property.bytes.assign(data, data + size);
    if (data) XFree(data);
    return property;
}

std::vector<Window> WindowList(const Property& property) {
    std::vector<Window> windows;
    if (property.format != 32) return windows;
    for (unsigned long i = 0; i < property.items; ++i) {
        long value = 0;
        std::copy_n(property.bytes.data() + i * sizeof(long), sizeof(long), reinterpret_cast<unsigned char*>(&value));
        windows.push_back(static_cast<Window>(static_cast<unsigned long>(value)));
    }
    return windows;
}

class X11Desktop final : public Desktop {
public:
    explicit X11Desktop(Desktop& base) : m_base(base) {}
    ~X11Desktop() override {
        if (m_display) XCloseDisplay(m_display);
    }

    WindowId FindTopLevelWindow(const std::string& title) override {
        std::lock_guard lock(m_mutex);
        Display* display = Connect();
        if (!display) return 0;
        for (Window window : ClientWindows(display))
            if (Title(display, window) == title) return static_cast<WindowId>(window);
        return 0;
    }

    void PostWindowMessage(WindowId window, unsigned message) override {
        if (message != kCloseMessage && message != kQuitMessage) return;
        std::lock_guard lock(m_mutex);
        Display* display = Connect();
        if (!display || window == 0) return;
        Window root = DefaultRootWindow(display);
        Atom netClose = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.format = 32;
        event.xclient.window = static_cast<Window>(window);
        if (Supports(display, netClose)) {
            event.xclient.message_type = netClose;
            event.xclient.data.l[0] = CurrentTime;
            event.xclient.data.l[1] = 2;  // the request comes from a pager or tool, not the application
            XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        } else {
            event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
            event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(display, static_cast<Window>(window), False, NoEventMask, &event);
        }
        XFlush(display);
    }

    bool OpenItem(const std::string& item, int showMode) override { return m_base.OpenItem(item, showMode); }

private:
    Display* Connect() {
        if (!m_display && !m_tried) {
            m_tried = true;
            XSetErrorHandler(IgnoreXError);
            m_display = XOpenDisplay(nullptr);
        }
        return m_display;
    }

    bool Supports(Display* display, Atom feature) {
        Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
        auto property = ReadProperty(display, DefaultRootWindow(display), supported);
        if (!property) return false;
        for (Window atom : WindowList(*property))
            if (atom == feature) return true;
        return false;
    }

    std::vector<Window> ClientWindows(Display* display) {
        Window root = DefaultRootWindow(display);
        Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
        if (auto property = ReadProperty(display, root, clientList)) return WindowList(*property);
        std::vector<Window> clients;
        Walk(display, root, XInternAtom(display, "WM_STATE", False), kTreeDepth, clients);
        if (!clients.empty()) return clients;
        // No window manager: the root's mapped children. Toolkits keep unmapped helper windows
        // there too, some titled like the application's main window.
        for (Window child : Children(display, root)) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, child, &attributes) && attributes.map_state == IsViewable)
                clients.push_back(child);
        }
        return clients;
    }

    static std::vector<Window> Children(Display* display, Window window) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        std::vector<Window> result;
        if (XQueryTree(display, window, &root, &parent, &children, &count) && children)
            result.assign(children, children + count);
        if (children) XFree(children);
        return result;
    }

    static void Walk(Display* display, Window window, Atom wmState, int depth, std::vector<Window>& clients) {
        if (depth == 0) return;
        for (Window child : Children(display, window)) {
            if (ReadProperty(display, child, wmState))
                clients.push_back(child);
            else
                Walk(display, child, wmState, depth - 1, clients);
        }
    }

    static std::string Title(Display* display, Window window) {
        Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
        Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
        if (auto property = ReadProperty(display, window, netName); property && property->type == utf8)
            return std::string(property->bytes.begin(), property->bytes.end());
        if (auto property = ReadProperty(display, window, XA_WM_NAME); property && property->format == 8)
            return std::string(property->bytes.begin(), property->bytes.end());
        return {};
    }

    Desktop& m_base;
    std::mutex m_mutex;
    Display* m_display = nullptr;
    bool m_tried = false;
};

}  // namespace

std::unique_ptr<Desktop> MakeX11Desktop(Desktop& base) { return std::make_unique<X11Desktop>(base); }

}  // namespace zel::platform
