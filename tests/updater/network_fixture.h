// Shared set-up of the tests that talk to real servers: a mirror folder, a private temporary
// folder (so that leftover "zsu" files can be counted), no proxy from the environment, and a page
// window whose messages the test thread handles.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "test_support.h"
#include "updater/core/message_queue.h"

namespace zel::updater::test {

class NetworkTest : public ::testing::Test {
protected:
    NetworkTest() : mirror(dir / "mirror"), temp(dir / "tmp"), work(dir / "work") {
        std::filesystem::create_directories(mirror);
        std::filesystem::create_directories(temp);
        std::filesystem::create_directories(work);
        tmpdir = std::make_unique<ScopedEnv>("TMPDIR", temp.c_str());
    }

    // Handles the window's messages with `handler` until `done` holds; false on a 30 s timeout.
    bool Pump(const std::function<void(const CMessage&)>& handler, const std::function<bool()>& done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            window.Dispatch(handler, std::chrono::milliseconds(50));
        }
        return true;
    }

    std::unique_ptr<ServerProcess> Http() {
        std::string error;
        auto server = StartHttpMirror(mirror, dir / "requests.log", error);
        EXPECT_TRUE(server) << error;
        return server;
    }
    std::unique_ptr<ServerProcess> Ftp() {
        std::string error;
        auto server = StartFtpMirror(mirror, error);
        EXPECT_TRUE(server) << error;
        return server;
    }
    std::unique_ptr<Proxy> StartProxy() {
        std::string error;
        auto proxy = Proxy::Start(dir.path().string(), error);
        EXPECT_TRUE(proxy) << error;
        return proxy;
    }
    std::vector<std::string> TempLeftovers() { return FilesStartingWith(temp, "zsu"); }

    TempDir dir;
    std::string mirror;
    std::string temp;
    std::string work;
    NoProxyEnvironment noProxy;
    std::unique_ptr<ScopedEnv> tmpdir;
    CMessageQueue window;
};

}  // namespace zel::updater::test
