// The WinInet transport against the updater tests' servers (started in ZEL_NETWORK_DIR on the Linux
// side by network-servers.sh): HTTP direct and through the proxy, FTP, a refused resource, a stop
// while a server stalls, and the speed floor.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "platform/internet.h"
#include "tests/support/file_bytes.h"

namespace {

namespace fs = std::filesystem;
using namespace zel::platform;
using Clock = std::chrono::steady_clock;

class WinInet : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = ZEL_NETWORK_DIR;
        std::ifstream ports(m_dir / "ports");
        if (!ports) GTEST_SKIP() << "no servers run in " << m_dir.string() << " (network-servers.sh starts them)";
        std::string name;
        int port = 0;
        while (ports >> name >> port) m_ports[name] = port;
        ASSERT_EQ(m_ports.size(), 3u);
    }
    std::string Url(const std::string& scheme, const std::string& path) {
        return scheme + "://127.0.0.1:" + std::to_string(m_ports[scheme]) + "/" + path;
    }
    // A file of `size` bytes in the mirror, different for every name.
    std::string Publish(const std::string& name, std::size_t size) {
        std::string bytes(size, '\0');
        unsigned state = static_cast<unsigned>(std::hash<std::string>()(name));
        for (char& byte : bytes) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
        std::ofstream(m_dir / "mirror" / name, std::ios::binary).write(bytes.data(), static_cast<long>(size));
        return bytes;
    }
    // Reads the whole resource; "" with `error` set on a failure.
    static std::string ReadAll(InternetFile& file, std::string& error) {
        std::string bytes;
        char block[2048];
        for (long n; (n = file.Read(block, sizeof block, error)) != 0;) {
            if (n < 0) return "";
            bytes.append(block, static_cast<std::size_t>(n));
        }
        return bytes;
    }
    std::unique_ptr<InternetSession> Session(InternetAccess access = {}) {
        std::string error;
        auto session = SystemInternet().OpenSession("Zelupdate", access, error);
        EXPECT_TRUE(session) << error;
        return session;
    }

    fs::path m_dir;
    std::map<std::string, int> m_ports;
};

TEST_F(WinInet, DownloadsOverHttpDirectAndThroughTheProxyAndOverFtp) {
    const std::string bytes = Publish("direct.bin", 300000);
    std::string error;
    auto direct = Session()->OpenUrl(Url("http", "direct.bin"), error);
    ASSERT_TRUE(direct) << error;
    EXPECT_EQ(direct->Length(), 300000u);
    EXPECT_EQ(ReadAll(*direct, error), bytes) << error;

    Publish("proxied.bin", 5000);
    InternetAccess proxied;
    proxied.useProxy = true;
    proxied.proxy = "127.0.0.1:" + std::to_string(m_ports["proxy"]);
    auto through = Session(proxied)->OpenUrl(Url("http", "proxied.bin"), error);
    ASSERT_TRUE(through) << error;
    EXPECT_EQ(ReadAll(*through, error).size(), 5000u) << error;
    EXPECT_NE(zel::testing::ReadBytes(m_dir / "proxy.log").find("proxied.bin"), std::string::npos);

    auto ftp = Session()->OpenUrl(Url("ftp", "direct.bin"), error);
    ASSERT_TRUE(ftp) << error;
    // Wine cannot tell an FTP file's size; Windows can.
    EXPECT_TRUE(!ftp->Length() || *ftp->Length() == 300000u);
    EXPECT_EQ(ReadAll(*ftp, error), bytes) << error;

    EXPECT_FALSE(Session()->OpenUrl(Url("http", "missing/direct.bin"), error));
    EXPECT_NE(error.find("404"), std::string::npos) << error;
    EXPECT_FALSE(Session()->OpenUrl(Url("ftp", "none.bin"), error));
    EXPECT_FALSE(Session()->OpenUrl("file:///C:/windows/win.ini", error));
    EXPECT_EQ(SystemInternet().UrlScheme("HTTP://mirror/x"), "http");
    EXPECT_EQ(SystemInternet().UrlScheme("ftp://mirror"), "ftp");
    EXPECT_EQ(SystemInternet().UrlScheme("no url"), std::nullopt);
    EXPECT_EQ(SystemInternet().UrlScheme("http://"), std::nullopt);
}

TEST_F(WinInet, AStopOrATricklingServerEndsTheTransferPromptly) {
    Publish("slow.bin", 100000);
    std::atomic<bool> stop{false};
    InternetAccess access;
    access.stop = &stop;
    std::string error;
    auto stalled = Session(access)->OpenUrl(Url("http", "stall/slow.bin"), error);
    ASSERT_TRUE(stalled) << error;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        stop = true;
    });
    const auto start = Clock::now();
    EXPECT_EQ(ReadAll(*stalled, error), "");
    stopper.join();
    // A tenth of a second after the stop, with room for a loaded machine.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(error, "Stopped");
    EXPECT_FALSE(Session(access)->OpenUrl(Url("http", "slow.bin"), error));

    InternetAccess floor;
    floor.lowSpeedSeconds = 1;
    auto trickle = Session(floor)->OpenUrl(Url("http", "trickle/slow.bin"), error);
    ASSERT_TRUE(trickle) << error;
    EXPECT_EQ(ReadAll(*trickle, error), "");
    EXPECT_NE(error.find("too slow"), std::string::npos) << error;
}

}  // namespace
