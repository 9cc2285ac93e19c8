// Internet access for the updater: HTTP and FTP downloads, directly, through the system's proxy
// configuration, or through a named proxy.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zel::platform {

// One resource opened for reading. Belongs to the thread that opened it.
class InternetFile {
public:
    virtual ~InternetFile() = default;
    // The resource's size as the server reported it, or nullopt when it told none.
    virtual std::optional<std::uint64_t> Length() const = 0;
    // Reads up to `count` bytes (blocking until at least one byte came, the transfer ended or the
    // session's stop flag was set).
    // Returns the number read, 0 at the end of the resource, or -1 on failure with `error` set to
    // the transport's own message.
    virtual long Read(void* buffer, std::size_t count, std::string& error) = 0;
};

// A transfer that averages fewer bytes a second than the floor for this long fails, so that a server
// that trickles cannot hold a run for ever (one byte every half second is far below it).
constexpr long kLowSpeedFloorBytes = 256;
constexpr long kLowSpeedSeconds = 60;

// How a session reaches the servers, and when its transfers give up.
struct InternetAccess {
    // False: the system's own configuration (for libcurl: http_proxy, ftp_proxy, no_proxy).
    bool useProxy = false;
    // With useProxy: "host:port" of the HTTP proxy used for this URL's scheme.
    std::string proxy;
    // Once set (from any thread), opening and reading fail within about a tenth of a second, even
    // while a server stalls or never answers. Must outlive the session.
    const std::atomic<bool>* stop = nullptr;
    long lowSpeedFloorBytes = kLowSpeedFloorBytes;
    long lowSpeedSeconds = kLowSpeedSeconds;
};

class InternetSession {
public:
    virtual ~InternetSession() = default;
    // Opens `url` for binary reading. Returns null with `error` set to the transport's message when
    // the server cannot be reached or refuses the resource.
    virtual std::unique_ptr<InternetFile> OpenUrl(const std::string& url, std::string& error) = 0;
};

class Internet {
public:
    virtual ~Internet() = default;
    // The scheme of `url` in lower case ("http", "ftp", ...) or nullopt when it cannot be parsed
    // as an absolute URL with a host.
    virtual std::optional<std::string> UrlScheme(const std::string& url) = 0;
    // Opens a session that uses `access` for every URL it opens (the proxy applies to any scheme).
    // Returns null with `error` set when the transport cannot be initialised.
    virtual std::unique_ptr<InternetSession> OpenSession(const std::string& agent, const InternetAccess& access,
                                                         std::string& error) = 0;
};

// The libcurl transport. Thread-safe: sessions may be opened from any thread.
Internet& CurlInternet();
// The WinInet transport of Windows (platform/win32). Thread-safe. A named proxy carries FTP as a
// CERN proxy does (the URL in an HTTP request), not through a tunnel as libcurl does.
Internet& WinInetInternet();
// The system's transport: WinInet on Windows, libcurl elsewhere.
Internet& SystemInternet();

}  // namespace zel::platform
