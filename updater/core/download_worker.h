// What the download page uses of its download worker: the request fields it fills before posting a
// request, the counters the worker keeps, and the three thread messages. Notifications come back
// to the page's message queue (the worker's owner window).
#pragma once

#include <atomic>

#include "framework/framework_types.h"
#include "updater/core/message_queue.h"

namespace zel::updater {

constexpr std::size_t kErrorTextSize = 1024;

class CDownloadWorker {
public:
    virtual ~CDownloadWorker() = default;

    // Posts WM_DL_CONNECT, WM_DL_DOWNLOAD or WM_DL_STOP to the worker's own queue.
    virtual void Post(UINT message) = 0;

    // The error text of the last failure (for every code: the transport's message, or why a file
    // could not be stored, failed its check or could not be installed), copied under the 1024-byte limit (terminator
    // included).
    CString GetErrorText() const;
    void SetErrorText(const CString& text);

    // Request fields: written by the page only while the worker does not read them.
    CString URL;
    CString Destination;
    int UseProxy = 0;
    CString FTPProxy;
    int FTPPort = 0;
    CString HTTPProxy;
    int HTTPPort = 0;
    CString Agent;
    int SkipCheck = 0;
    int ExpectedSize = 0;
    int ExpectedCRC = 0;
    // Where notifications go; set by the page.
    CMessageQueue* m_pMainWnd = nullptr;

    // Written by the worker, read by the page at any time.
    std::atomic<DWORD> TotalSize{0};
    std::atomic<DWORD> Received{0};
    // Set with an error 7 when the file arrived sound but could not be written to Destination, so
    // that the page can tell an unwritable install folder from a bad download. Written before the
    // error is sent, like the error text.
    bool InstallFailed = false;

private:
    char m_errorText[kErrorTextSize] = {};
};

}  // namespace zel::updater
