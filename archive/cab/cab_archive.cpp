#include "archive/cab/cab_archive.h"

#include <cstdlib>
#include <new>
#include <system_error>

#include "archive/backends.h"
#include "archive/reader_support.h"
#include "framework/codepage.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/low_io.h"

using namespace zel::cabinet;

namespace {

// Cabinet names are UTF-8 when this attribute is set, and Windows-1252 otherwise.
constexpr std::uint16_t kAttributeNameIsUtf8 = 0x80;

// The reader whose worker runs on this thread, if any: the file callbacks carry no user value.
thread_local std::atomic<bool>* t_closing = nullptr;

bool Closing() { return t_closing != nullptr && t_closing->load(); }

void* HeapAlloc(std::uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
void HeapRelease(void* memory) { std::free(memory); }
std::uint32_t ReadFile(CabHandle handle, void* buffer, std::uint32_t count) {
    if (Closing()) return std::uint32_t(-1);
    return zel::platform::LowRead(handle, buffer, count);
}
std::uint32_t WriteFile(CabHandle handle, const void* buffer, std::uint32_t count) {
    if (Closing()) return 0;
    return zel::platform::LowWrite(handle, buffer, count);
}

}  // namespace

CabCallbacks CQVCabArchive::Callbacks() {
    return CabCallbacks{HeapAlloc, HeapRelease, zel::platform::LowOpen, ReadFile, WriteFile,
                        zel::platform::LowClose, zel::platform::LowSeek};
}

CQVCabArchive::CQVCabArchive(int waitLimitMs) : m_waitLimitMs(waitLimitMs) {}

CQVCabArchive::~CQVCabArchive() { Close(); }

int CQVCabArchive::Open(const char* path) {
    Close();
    if (path == nullptr) return 0;
    m_path = path;
    std::size_t cut = m_path.find_last_of("/\\");
    m_directory = cut == std::string::npos ? "" : m_path.substr(0, cut + 1);
    m_cabinet = cut == std::string::npos ? m_path : m_path.substr(cut + 1);
    m_command = commandNone;
    m_state = stateRunning;
    m_commandEvent.Reset();
    m_notificationEvent.Reset();
    try {
        m_worker = std::thread(&CQVCabArchive::WorkerMain, this);
    } catch (const std::system_error&) {
        m_state = stateFinished;
        return 0;
    }
    return 1;
}

// Wakes a worker that waits for a command with an abort (any command other than extract, skip or
// restart), makes its file reads and writes fail so that a decode in progress stops, and joins it.
// The decompressor then closes both cabinet handles and any output file, and frees its memory.
void CQVCabArchive::Close() {
    if (!m_worker.joinable()) return;
    m_closing = true;
    m_command = commandNone;
    m_commandEvent.Set();
    m_worker.join();
    m_closing = false;
    m_state = stateFinished;
}

void CQVCabArchive::WorkerMain() {
    t_closing = &m_closing;
    CabErrorRecord error;
    CabContext* context = CabCreate(Callbacks(), 1, &error);
    if (context != nullptr) {
        for (;;) {
            CabCopy(context, m_cabinet.c_str(), m_directory.c_str(), 0, Notify, nullptr, this);
            // An output whose file did not come to its end (a damaged folder, a file continued in
            // the next cabinet, a Close in the middle) is removed rather than left truncated.
            if (!m_output.empty()) {
                zel::platform::RemoveFileQuietly(m_output);
                m_output.clear();
            }
            // A restart aborts the run at the waiting file; run again from the first file. The
            // command is cleared first, so that a run that ends before offering a file (say, the
            // cabinet vanished) cannot restart for ever.
            if (m_command != commandRestart || m_closing) break;
            m_command = commandNone;
        }
        CabDestroy(context);
    }
    t_closing = nullptr;
    m_state = stateFinished;
    m_notificationEvent.Set();
}

CabHandle CQVCabArchive::Notify(ECabNotification type, CabNotification* notification) {
    auto* self = static_cast<CQVCabArchive*>(notification->user);
    switch (type) {
        case cabNotifyCopyFile: return self->OnCopyFile(notification->first, notification->attributes);
        case cabNotifyCloseFileInfo:
            // Date, time and attributes are not applied to the output file.
            zel::platform::LowClose(notification->handle);
            self->m_output.clear();
            return 1;
        case cabNotifyNextCabinet:
            // A file continued in a further cabinet is not followed: the run ends there.
            return -1;
        default: return 0;
    }
}

CabHandle CQVCabArchive::OnCopyFile(const char* name, std::uint16_t attributes) {
    {
        std::lock_guard<std::mutex> lock(m_exchangeLock);
        m_exchange = (attributes & kAttributeNameIsUtf8) ? std::string(name) : zel::codepage::Windows1252ToUtf8(name);
    }
    m_state = stateWaiting;
    m_notificationEvent.Set();
    m_commandEvent.Wait(-1);
    m_state = stateRunning;
    if (m_closing) return -1;

    switch (m_command.load()) {
        case commandExtract: {
            std::string destination;
            {
                std::lock_guard<std::mutex> lock(m_exchangeLock);
                destination = m_exchange;
            }
            if (zel::arcopen::NamesDirectory(destination)) {
                // A destination that names a folder creates it; the entry's data is passed over.
                zel::platform::MakeDirectories(zel::arcopen::DirectoryPath(destination));
                return 0;
            }
            using namespace zel::platform;
            CabHandle out = LowOpen(destination.c_str(), kLowWriteOnly | kLowBinary | kLowSequential | kLowCreate | kLowTruncate,
                                    kLowModeRead | kLowModeWrite);
            if (out != -1) m_output = destination;
            return out;  // -1 when it cannot be opened: that ends the run
        }
        case commandSkip: return 0;
        default: return -1;  // restart, or no valid command: abort this run
    }
}

void CQVCabArchive::SendCommand(ECommand command) {
    m_command = command;
    m_commandEvent.Set();
}

void CQVCabArchive::MoveFirst() {
    if (m_state == stateFinished) zel::arcopen::ThrowEnd();
    if (!m_notificationEvent.Wait(m_waitLimitMs)) zel::arcopen::ThrowEnd();
    m_notificationEvent.Reset();
    SendCommand(commandRestart);
}

CString CQVCabArchive::GetName() {
    for (;;) {
        if (m_state == stateFinished) zel::arcopen::ThrowEnd();
        if (!m_notificationEvent.Wait(m_waitLimitMs)) zel::arcopen::ThrowEnd();
        m_notificationEvent.Reset();
        if (m_state == stateWaiting) {
            std::lock_guard<std::mutex> lock(m_exchangeLock);
            return m_exchange;
        }
    }
}

void CQVCabArchive::MoveNext() {
    if (m_state == stateFinished) zel::arcopen::ThrowEnd();
    SendCommand(commandSkip);
}

void CQVCabArchive::Extract(CString destination, int skip) {
    if (m_state == stateFinished) zel::arcopen::ThrowEnd();
    {
        std::lock_guard<std::mutex> lock(m_exchangeLock);
        m_exchange = std::move(destination);
    }
    SendCommand(skip ? commandSkip : commandExtract);
}

void CQVCabArchive::ExtractNext() {
    if (m_state == stateFinished) zel::arcopen::ThrowEnd();
}

namespace zel::arcopen {

// A cabinet is recognised only by a version 1.3 header at the very start of the file.
bool IsCabArchive(const char* path) {
    CabErrorRecord error;
    CabContext* context = CabCreate(CQVCabArchive::Callbacks(), 1, &error);
    if (context == nullptr) return false;
    using namespace zel::platform;
    bool found = false;
    CabHandle file = LowOpen(path, kLowReadOnly | kLowBinary | kLowSequential, 0);
    if (file != -1) {
        CabInfo info;
        found = CabIsCabinet(context, file, &info);
        LowClose(file);
    }
    CabDestroy(context);
    return found;
}

// The signature "MSCF", then version 1.3 at bytes 24 (minor) and 25 (major) of the header.
bool StartsAsCab(FileHead head) {
    return head.size() >= 36 && head[0] == 'M' && head[1] == 'S' && head[2] == 'C' && head[3] == 'F' &&
           head[24] == 3 && head[25] == 1;
}

CQVArchive* NewCabReader() { return new (std::nothrow) CQVCabArchive(); }

}  // namespace zel::arcopen
