// The cabinet decompressor: reads Microsoft Cabinet files (version 1.3) and decompresses their
// files (methods none, MSZIP, Quantum and LZX). It does no file or memory management of its own:
// every allocation and every file access goes through the callbacks given to CabCreate, and every
// file is offered to the caller through a notification callback that decides to extract, skip or
// abort. A context is used by one thread at a time; contexts share no state.
#pragma once

#include <cstdint>

namespace zel::cabinet {

// Error codes of the error record.
enum ECabError : std::int32_t {
    cabErrNone = 0,
    cabErrCabinetNotFound = 1,  // the cabinet file could not be opened
    cabErrNotACabinet = 2,      // fewer than 36 header bytes, or no "MSCF" signature
    cabErrUnknownVersion = 3,   // version other than 1.3 (the extra value holds it)
    cabErrCorrupt = 4,          // a read/seek failed, a bad string, an oversized block, a bad checksum
    cabErrAllocFail = 5,
    cabErrBadComprType = 6,     // a folder's compression method is not 0 to 3
    cabErrDecompressor = 7,     // a decoder could not be set up, failed, or gave the wrong length
    cabErrTargetFile = 8,       // a short write, or the close notification returned 0
    cabErrReserveMismatch = 9,  // a later cabinet of a set has other reserve sizes
    cabErrWrongCabinet = 10,    // the next cabinet has another set id or index
    cabErrUserAbort = 11,       // a notification returned -1
};

// Filled on every failure.
struct CabErrorRecord {
    std::int32_t code = cabErrNone;
    std::int32_t extra = 0;      // for cabErrUnknownVersion: the version found (major * 256 + minor)
    std::int32_t errorFlag = 0;  // set to 1 on failure
};

// Open flags passed to the open callback (the values of the classic C runtime's low-level calls).
enum ECabOpenFlags : int {
    cabOpenReadOnly = 0x0000,
    cabOpenWriteOnly = 0x0001,
    cabOpenReadWrite = 0x0002,
    cabOpenSequential = 0x0020,
    cabOpenCreate = 0x0100,
    cabOpenTruncate = 0x0200,
    cabOpenBinary = 0x8000,
};
// Permission bits for the open callback when it creates a file.
enum ECabOpenMode : int { cabModeRead = 0x0100, cabModeWrite = 0x0080 };

using CabHandle = std::intptr_t;  // -1 is "no handle"

// The seven callbacks. Each returns what the low-level C runtime call of the same name returns.
struct CabCallbacks {
    void* (*alloc)(std::uint32_t size);                                          // memory or null
    void (*release)(void* memory);                                               // null is allowed
    CabHandle (*open)(const char* path, int flags, int mode);                    // handle or -1
    std::uint32_t (*read)(CabHandle, void* buffer, std::uint32_t count);         // count read; (UINT)-1 on error
    std::uint32_t (*write)(CabHandle, const void* buffer, std::uint32_t count);  // count written
    int (*close)(CabHandle);                                                     // 0 on success
    std::int32_t (*seek)(CabHandle, std::int32_t offset, int origin);            // origin 0/1/2; new position or -1
};

// The result of CabIsCabinet.
struct CabInfo {
    std::int32_t cabinetSize = 0;
    std::uint16_t folderCount = 0;
    std::uint16_t fileCount = 0;
    std::uint16_t setId = 0;
    std::uint16_t cabinetIndex = 0;
    bool reservePresent = false;
    bool hasPrevious = false;
    bool hasNext = false;
};

enum ECabNotification : int {
    cabNotifyCabinetInfo = 0,
    cabNotifyPartialFile = 1,
    cabNotifyCopyFile = 2,
    cabNotifyCloseFileInfo = 3,
    cabNotifyNextCabinet = 4,
    cabNotifyEnumerate = 5,
};

// Passed to the notification callback; which fields mean what depends on the notification.
struct CabNotification {
    std::int32_t size = 0;
    char* first = nullptr;
    char* second = nullptr;
    char* third = nullptr;
    void* user = nullptr;
    CabHandle handle = -1;
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attributes = 0;
    std::uint16_t setId = 0;
    std::uint16_t cabinetIndex = 0;
    std::uint16_t folderIndex = 0;
    std::int32_t lastError = cabErrNone;
};

// Returns, for cabNotifyCopyFile, an output handle, 0 to skip or -1 to abort (with a handle it
// may also lower `size` to the number of the file's first bytes it wants written); for
// cabNotifyCloseFileInfo nonzero on success, 0 for an error, -1 to abort; -1 aborts elsewhere.
using CabNotifyFn = CabHandle (*)(ECabNotification type, CabNotification* notification);
// Kept for the call's shape; this decompressor never decrypts and ignores it.
using CabDecryptFn = int (*)(void* parameters);

struct CabContext;

// Creates a context, allocated through `callbacks.alloc`; null (with cabErrAllocFail) on failure.
// `processorType` is recorded and otherwise without effect.
CabContext* CabCreate(const CabCallbacks& callbacks, int processorType, CabErrorRecord* error);

// Reads 36 bytes at the handle's position; true when they are a version 1.3 cabinet header, with
// `info` filled. A file that is merely no cabinet sets no error; a wrong version sets
// cabErrUnknownVersion with the version in `extra`.
bool CabIsCabinet(CabContext* context, CabHandle file, CabInfo* info);

// Walks every file of the cabinet `directory` + `name` (and of the following cabinets of its set
// when the notification callback allows), offering each to `notify`. True when every file was
// handled; false with the error record set otherwise. `flags` and `decrypt` have no effect.
bool CabCopy(CabContext* context, const char* name, const char* directory, int flags, CabNotifyFn notify,
             CabDecryptFn decrypt, void* user);

// The bytes decoded through this context so far, by every CabCopy: those written to the files and
// those decoded only to reach a file further into its folder.
std::uint64_t CabDecodedBytes(const CabContext* context);

// Releases the decoder, the buffers, any open cabinet handle and the context itself. Null is allowed.
bool CabDestroy(CabContext* context);

}  // namespace zel::cabinet
