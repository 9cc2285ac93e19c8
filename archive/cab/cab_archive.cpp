#include "archive/cab/cab_archive.h"

#include <cstdlib>
#include <limits>
#include <new>
#include <system_error>

#include "archive/backends.h"
#include "archive/reader_support.h"
#include "framework/codepage.h"
#include "platform/low_io.h"

using namespace zel::cabinet;
using zel::arcopen::ThrowFailure;

namespace {

// Cabinet names are UTF-8 when this attribute is set, and Windows-1252 otherwise.
constexpr std::uint16_t kAttributeNameIsUtf8 = 0x80;
// The handle that the decompressor writes an entry through: it stands for the worker's
// CEntryOutput, and no file call ever sees it.
constexpr CabHandle kEntryOutputHandle = std::numeric_limits<CabHandle>::max();

// The reader whose worker runs on this thread, if any: the file callbacks carry no user value.
thread_local CQVCabArchive* t_worker = nullptr;

void* HeapAlloc(std::uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
void HeapRelease(void* memory) { std::free(memory); }

}  // namespace

CabCallbacks CQVCabArchive::Callbacks() {
    return CabCallbacks{HeapAlloc,     HeapRelease,   zel::platform::LowOpen, ReadCallback,
                        WriteCallback, CloseCallback, zel::platform::LowSeek};
}

std::uint32_t CQVCabArchive::ReadCallback(CabHandle handle, void* buffer, std::uint32_t count) {
    CQVCabArchive* worker = t_worker;
    if (worker != nullptr && worker->m_closing) return std::uint32_t(-1);
    std::uint32_t got = zel::platform::LowRead(handle, buffer, count);
    if (worker != nullptr && got != std::uint32_t(-1)) worker->m_progress += got;
    return got;
}

std::uint32_t CQVCabArchive::WriteCallback(CabHandle handle, const void* buffer, std::uint32_t count) {
    CQVCabArchive* worker = t_worker;
    if (worker == nullptr || handle != kEntryOutputHandle) return zel::platform::LowWrite(handle, buffer, count);
    if (worker->m_closing || !worker->m_output) return 0;
    try {
        worker->m_output->Write(buffer, count);
    } catch (const CQVArchiveException&) {
        return 0;  // a short write: the decompressor ends the run, and the entry fails
    }
    worker->m_progress += count;
    return count;
}

int CQVCabArchive::CloseCallback(CabHandle handle) {
    // The entry's output is closed (or removed) by the worker itself.
    if (handle == kEntryOutputHandle) return 0;
    return zel::platform::LowClose(handle);
}

CQVCabArchive::CQVCabArchive(int waitLimitMs, CabCallbacks files) : m_waitLimitMs(waitLimitMs), m_files(files) {}

CQVCabArchive::~CQVCabArchive() { Close(); }

int CQVCabArchive::Open(const char* path) {
    Close();
    // A cabinet that cannot be read is an error, never an empty archive.
    if (path == nullptr || !zel::arcopen::IsCabArchive(path)) return 0;
    m_path = path;
    std::size_t cut = m_path.find_last_of("/\\");
    m_directory = cut == std::string::npos ? "" : m_path.substr(0, cut + 1);
    m_cabinet = cut == std::string::npos ? m_path : m_path.substr(cut + 1);
    m_command = commandNone;
    m_state = stateRunning;
    m_progress = 0;
    m_decoded = 0;
    m_decodedReported = 0;
    m_runFailed = m_entryFailed = m_entryTruncated = false;
    m_notified = m_stalled = false;
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
// The decompressor then closes both cabinet handles, and the worker removes an unfinished output.
void CQVCabArchive::Close() {
    if (!m_worker.joinable()) return;
    m_closing = true;
    m_command = commandNone;
    m_commandEvent.Set();
    m_worker.join();
    m_closing = false;
    m_state = stateFinished;
    m_notified = false;
}

void CQVCabArchive::WorkerMain() {
    t_worker = this;
    CabErrorRecord error;
    CabContext* context = CabCreate(m_files, 1, &error);
    m_context = context;
    if (context != nullptr) {
        RunCabinet(context, error);
        m_decoded = CabDecodedBytes(context);
        CabDestroy(context);
    } else {
        m_runFailed = true;
    }
    m_context = nullptr;
    t_worker = nullptr;
    m_state = stateFinished;
    m_notificationEvent.Set();
}

void CQVCabArchive::RunCabinet(CabContext* context, const CabErrorRecord& error) {
    m_resumeAfter = 0;
    for (;;) {
        m_offered = 0;
        m_volumeRefused = false;
        bool done = CabCopy(context, m_cabinet.c_str(), m_directory.c_str(), 0, Notify, nullptr, this);
        // An output whose file did not come to its end is removed rather than left truncated.
        bool inEntry = m_output != nullptr;
        m_output.reset();
        if (done || m_closing) return;
        // A restart aborts the run at the waiting file; run again from the first file. The
        // command is cleared first, so that a run that ends before offering a file (say, the
        // cabinet vanished) cannot restart for ever.
        if (m_command == commandRestart) {
            m_command = commandNone;
            m_resumeAfter = 0;
            continue;
        }
        std::int32_t code = error.code;
        if (inEntry && (code != cabErrUserAbort || m_volumeRefused)) {
            // The entry's data is damaged, cut short or continued in a cabinet that is not
            // followed: that entry fails, and the walk goes on after it. Every such restart
            // passes over at least one more file, so the runs come to an end.
            m_entryFailed = true;
            m_resumeAfter = m_offered;
            continue;
        }
        if (code != cabErrUserAbort) m_runFailed = true;
        return;
    }
}

CabHandle CQVCabArchive::Notify(ECabNotification type, CabNotification* notification) {
    auto* self = static_cast<CQVCabArchive*>(notification->user);
    switch (type) {
        case cabNotifyCopyFile: return self->OnCopyFile(notification);
        case cabNotifyCloseFileInfo: return self->OnCloseFile();
        case cabNotifyNextCabinet:
            // A file continued in a further cabinet is not followed: that file fails.
            self->m_volumeRefused = true;
            return -1;
        default: return 0;
    }
}

CabHandle CQVCabArchive::OnCopyFile(CabNotification* notification) {
    // After a failed entry the cabinet runs again; the files offered before are passed over.
    if (++m_offered <= m_resumeAfter) return 0;
    const char* name = notification->first;
    {
        std::lock_guard<std::mutex> lock(m_exchangeLock);
        m_exchange = (notification->attributes & kAttributeNameIsUtf8) ? std::string(name)
                                                                       : zel::codepage::Windows1252ToUtf8(name);
    }
    m_decoded = CabDecodedBytes(m_context);
    m_state = stateWaiting;
    m_notificationEvent.Set();
    m_commandEvent.Wait(-1);
    m_state = stateRunning;
    if (m_closing) return -1;

    switch (m_command.load()) {
        case commandExtract: return StartEntry(notification);
        case commandSkip: return 0;
        default: return -1;  // restart, or no valid command: abort this run
    }
}

// Prepares the entry's output. A destination that names a folder creates it and passes over the
// data; an output that cannot be made fails the entry, which is then passed over.
CabHandle CQVCabArchive::StartEntry(CabNotification* notification) {
    std::string destination;
    {
        std::lock_guard<std::mutex> lock(m_exchangeLock);
        destination = m_exchange;
    }
    m_entryFailed = false;
    m_entryTruncated = false;
    try {
        if (zel::arcopen::NamesDirectory(destination)) {
            zel::arcopen::MakeEntryDirectory(destination);
            return 0;
        }
        m_output = std::make_unique<zel::arcopen::CEntryOutput>(destination, 0);
    } catch (const CQVArchiveException&) {
        m_entryFailed = true;
        return 0;
    } catch (const std::bad_alloc&) {
        m_entryFailed = true;
        return 0;
    }
    // Only the first bytes up to the limit are decoded and written.
    std::uint64_t limit = m_commandLimit;
    if (limit != 0 && std::uint64_t(notification->size) > limit) {
        notification->size = std::int32_t(limit);
        m_entryTruncated = true;
    }
    return kEntryOutputHandle;
}

CabHandle CQVCabArchive::OnCloseFile() {
    // Date, time and attributes are not applied to the output file.
    try {
        if (m_output) m_output->Commit();
    } catch (const CQVArchiveException&) {
        m_entryFailed = true;
    }
    m_output.reset();
    return 1;
}

void CQVCabArchive::SendCommand(ECommand command) {
    m_notified = false;
    // The worker waits for this command, so it is running from now on; until it offers the next
    // file, a notification left from before must not be taken for that file's.
    int waiting = stateWaiting;
    m_state.compare_exchange_strong(waiting, stateRunning);
    m_command = command;
    m_commandEvent.Set();
}

void CQVCabArchive::AwaitNotification() {
    std::uint64_t seen = m_progress;
    while (!m_notificationEvent.Wait(m_waitLimitMs)) {
        std::uint64_t now = m_progress;
        if (now == seen) {
            m_stalled = true;
            ThrowFailure();
        }
        seen = now;
    }
}

void CQVCabArchive::AwaitOffer() {
    if (m_stalled) ThrowFailure();
    while (!m_notified) {
        if (m_state != stateFinished) AwaitNotification();
        m_notified = m_state != stateRunning;
    }
}

void CQVCabArchive::ThrowPassEnd() const {
    if (m_runFailed || m_stalled) ThrowFailure();
    zel::arcopen::ThrowEnd();
}

void CQVCabArchive::MoveFirst() {
    if (m_state == stateFinished) ThrowPassEnd();
    AwaitOffer();
    if (m_state == stateFinished) ThrowPassEnd();
    SendCommand(commandRestart);
}

CString CQVCabArchive::GetName() {
    AwaitOffer();
    if (m_state == stateFinished) ThrowPassEnd();
    std::lock_guard<std::mutex> lock(m_exchangeLock);
    return m_exchange;
}

void CQVCabArchive::MoveNext() {
    AwaitOffer();
    if (m_state == stateFinished) ThrowPassEnd();
    SendCommand(commandSkip);
}

void CQVCabArchive::Extract(CString destination, int skip) {
    SetExtractTruncated(false);
    // What the worker decoded since the last Extract, as of its latest notification: for an
    // extracted entry, once it is written; for a skipped one, nothing yet (a skipped file is
    // decoded only on the way to a later one, which is charged with it).
    zel::arcopen::OnScopeExit report_decoded([&] {
        std::uint64_t decoded = m_decoded;
        SetExtractDecodedBytes(decoded - m_decodedReported);
        m_decodedReported = decoded;
    });
    AwaitOffer();
    if (m_state == stateFinished) ThrowPassEnd();
    {
        std::lock_guard<std::mutex> lock(m_exchangeLock);
        m_exchange = std::move(destination);
    }
    m_commandLimit = GetExtractLimit();
    SendCommand(skip ? commandSkip : commandExtract);
    if (skip) return;
    // The entry is done when the worker offers the next file or ends.
    AwaitOffer();
    if (m_entryFailed) ThrowFailure();
    SetExtractTruncated(m_entryTruncated);
}

void CQVCabArchive::ExtractNext() {
    if (m_stalled) ThrowFailure();
    if (m_state == stateFinished) ThrowPassEnd();
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
    return head.size() >= 36 && head[0] == 'M' && head[1] == 'S' && head[2] == 'C' && head[3] == 'F' && head[24] == 3 &&
           head[25] == 1;
}

bool HasCabSignature(FileHead head) {
    return head.size() >= 4 && head[0] == 'M' && head[1] == 'S' && head[2] == 'C' && head[3] == 'F';
}

CQVArchive* NewCabReader() { return new (std::nothrow) CQVCabArchive(); }

}  // namespace zel::arcopen
