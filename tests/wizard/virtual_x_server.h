// A virtual X server (Xvfb) for the window tests, on a free display number, stopped by its process ID.
#pragma once

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace zel::platform {

class VirtualServer {
public:
    VirtualServer() {
        if (::access(ZEL_XVFB, X_OK) != 0) return;
        // A display number whose socket and lock file are free.
        int number = 70 + static_cast<int>(::getpid() % 200);
        while (::access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) == 0 ||
               ::access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0)
            ++number;
        std::string name = ":" + std::to_string(number);
        m_pid = ::fork();
        if (m_pid == 0) {
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(ZEL_XVFB, "Xvfb", name.c_str(), "-nolisten", "tcp", "-noreset", "-screen", "0", "320x240x24",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Ready once it takes a connection.
        for (int attempt = 0; attempt < 200 && m_pid > 0; ++attempt) {
            if (Display* probe = XOpenDisplay(name.c_str())) {
                XCloseDisplay(probe);
                m_display = name;
                return;
            }
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~VirtualServer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

}  // namespace zel::platform
