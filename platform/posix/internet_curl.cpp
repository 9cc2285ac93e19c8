// The Internet transport over libcurl. Reads are pulled: the multi interface is driven only until
// the next bytes are buffered, so the caller sees the transfer block by block; the session's stop
// flag ends a transfer within a tenth of a second, between blocks or while the server is silent.
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/internet.h"

namespace zel::platform {
namespace {

constexpr long kConnectTimeoutSeconds = 30;
// How long a wait for the network lasts before the stop flag is looked at again.
constexpr int kPollMilliseconds = 100;

// Only network schemes: a script must not be able to read local files through file:// URLs.
constexpr const char* kAllowedProtocols = "http,https,ftp,ftps";

class CurlFile final : public InternetFile {
public:
    CurlFile() : m_multi(curl_multi_init()), m_easy(curl_easy_init()) { m_errorText[0] = 0; }
    ~CurlFile() override {
        if (m_multi && m_easy) curl_multi_remove_handle(m_multi, m_easy);
        if (m_easy) curl_easy_cleanup(m_easy);
        if (m_multi) curl_multi_cleanup(m_multi);
    }
    CurlFile(const CurlFile&) = delete;
    CurlFile& operator=(const CurlFile&) = delete;

    // Configures the transfer and runs it until the first bytes arrived or it ended.
    bool Start(const std::string& url, const std::string& agent, const InternetAccess& access, bool ftp,
               std::string& error) {
        if (!m_multi || !m_easy) {
            error = "Out of memory";
            return false;
        }
        curl_easy_setopt(m_easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_easy, CURLOPT_USERAGENT, agent.c_str());
        curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorText);
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlFile::OnData);
        curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_easy, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(m_easy, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
        curl_easy_setopt(m_easy, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
        curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, access.lowSpeedFloorBytes);
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, access.lowSpeedSeconds);
        m_stop = access.stop;
        curl_easy_setopt(m_easy, CURLOPT_XFERINFOFUNCTION, &CurlFile::OnProgress);
        curl_easy_setopt(m_easy, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(m_easy, CURLOPT_NOPROGRESS, 0L);
        if (access.useProxy) {
            curl_easy_setopt(m_easy, CURLOPT_PROXY, access.proxy.c_str());
            curl_easy_setopt(m_easy, CURLOPT_NOPROXY, "");
            // An HTTP proxy carries FTP through CONNECT tunnels (control and data connections).
            if (ftp) curl_easy_setopt(m_easy, CURLOPT_HTTPPROXYTUNNEL, 1L);
        }
        curl_multi_add_handle(m_multi, m_easy);
        if (!Pump(error)) return false;
        curl_off_t length = -1;
        if (curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0)
            m_length = static_cast<std::uint64_t>(length);
        return true;
    }

    std::optional<std::uint64_t> Length() const override { return m_length; }

    long Read(void* buffer, std::size_t count, std::string& error) override {
        if (!Pump(error)) return -1;
        std::size_t n = std::min(count, m_pending.size() - m_pendingPos);
        std::memcpy(buffer, m_pending.data() + m_pendingPos, n);
        m_pendingPos += n;
        if (m_pendingPos == m_pending.size()) {
            m_pending.clear();
            m_pendingPos = 0;
        }
        return static_cast<long>(n);
    }

private:
    bool Stopped() const { return m_stop && m_stop->load(); }

    // libcurl asks this while it transfers and while it waits; a non-zero answer aborts the transfer.
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return static_cast<CurlFile*>(self)->Stopped() ? 1 : 0;
    }

    static std::size_t OnData(char* data, std::size_t size, std::size_t count, void* self) {
        auto* file = static_cast<CurlFile*>(self);
        file->m_pending.append(data, size * count);
        return size * count;
    }

    // Drives the transfer until bytes are buffered or it has ended. False on a failed transfer once
    // every byte received before the failure has been handed out.
    // libcurl calls the progress function only about once a second while nothing arrives, so the
    // stop flag is also looked at after every short wait.
    bool Pump(std::string& error) {
        while (m_pendingPos == m_pending.size() && !m_done) {
            if (Stopped()) {
                error = "Stopped";
                return false;
            }
            int running = 0;
            CURLMcode code = curl_multi_perform(m_multi, &running);
            if (code != CURLM_OK) {
                error = curl_multi_strerror(code);
                return false;
            }
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
                if (message->msg == CURLMSG_DONE) {
                    m_done = true;
                    m_result = message->data.result;
                }
            }
            if (!m_done && m_pendingPos == m_pending.size())
                curl_multi_poll(m_multi, nullptr, 0, kPollMilliseconds, nullptr);
        }
        if (m_pendingPos == m_pending.size() && m_result != CURLE_OK) {
            error = m_errorText[0] ? m_errorText : curl_easy_strerror(m_result);
            return false;
        }
        return true;
    }

    CURLM* m_multi;
    CURL* m_easy;
    std::string m_pending;
    std::size_t m_pendingPos = 0;
    bool m_done = false;
    CURLcode m_result = CURLE_OK;
    std::optional<std::uint64_t> m_length;
    const std::atomic<bool>* m_stop = nullptr;
    char m_errorText[CURL_ERROR_SIZE];
};

class CurlSession final : public InternetSession {
public:
    CurlSession(std::string agent, InternetAccess access) : m_agent(std::move(agent)), m_access(std::move(access)) {}

    std::unique_ptr<InternetFile> OpenUrl(const std::string& url, std::string& error) override {
        auto file = std::make_unique<CurlFile>();
        std::string scheme = url.substr(0, 4);
        for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        bool ftp = scheme == "ftp:";
        if (!file->Start(url, m_agent, m_access, ftp, error)) return nullptr;
        return file;
    }

private:
    std::string m_agent;
    InternetAccess m_access;
};

class CurlTransport final : public Internet {
public:
    CurlTransport() { m_ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }

    std::optional<std::string> UrlScheme(const std::string& url) override {
        CURLU* handle = curl_url();
        if (!handle) return std::nullopt;
        std::optional<std::string> result;
        char* scheme = nullptr;
        char* host = nullptr;
        if (curl_url_set(handle, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
            curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            curl_url_get(handle, CURLUPART_HOST, &host, 0) == CURLUE_OK && host[0] != 0) {
            result = scheme;
        }
        curl_free(scheme);
        curl_free(host);
        curl_url_cleanup(handle);
        return result;
    }

    std::unique_ptr<InternetSession> OpenSession(const std::string& agent, const InternetAccess& access,
                                                 std::string& error) override {
        if (!m_ready) {
            error = "The Internet library could not be initialised";
            return nullptr;
        }
        return std::make_unique<CurlSession>(agent, access);
    }

private:
    bool m_ready = false;
};

}  // namespace

Internet& CurlInternet() {
    static CurlTransport transport;
    return transport;
}

Internet& SystemInternet() { return CurlInternet(); }

}  // namespace zel::platform
