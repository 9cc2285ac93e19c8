// Opening the cabinets of a set: the header, the reserve areas, the names of the neighbouring
// cabinets, and the change from one cabinet to the next.
#include <cstring>

#include "archive/cabinet/cab_context.h"
#include "framework/little_endian.h"

namespace zel::cabinet {
namespace {

constexpr int kSeekSet = 0;
constexpr int kSeekCurrent = 1;

// Reads a zero-terminated string of at most kCabMaxString bytes (terminator included) at the
// handle's position and leaves the handle just after it. `length` receives the bytes consumed.
bool ReadString(CabContext* context, CabHandle handle, char* out, std::uint32_t* length) {
    char buffer[kCabMaxString];
    std::uint32_t got = context->callbacks.read(handle, buffer, kCabMaxString);
    if (got == std::uint32_t(-1) || got > kCabMaxString) return CabFail(context, cabErrCorrupt);
    const void* nul = std::memchr(buffer, 0, got);
    if (nul == nullptr) return CabFail(context, cabErrCorrupt);
    std::uint32_t used = std::uint32_t(static_cast<const char*>(nul) - buffer) + 1;
    std::memcpy(out, buffer, used);
    if (got > used && context->callbacks.seek(handle, -std::int32_t(got - used), kSeekCurrent) < 0) {
        return CabFail(context, cabErrCorrupt);
    }
    *length = used;
    return true;
}

bool ReadReserve(CabContext* context, std::uint32_t* position) {
    BYTE sizes[kReserveSizesSize];
    if (!CabReadExactly(context, context->fileHandle, sizes, kReserveSizesSize)) return false;
    const std::uint32_t headerReserve = LoadLe16(sizes + kReserveHeaderSizeAt, sizes + kReserveSizesSize);
    const std::uint32_t folderEntry = kCabFolderEntrySize + sizes[kReserveFolderSizeAt];
    const std::uint32_t dataHeader = kCabDataHeaderSize + sizes[kReserveDataSizeAt];
    if (!context->reserveFixed) {
        context->headerReserveSize = headerReserve;
        context->folderEntrySize = folderEntry;
        context->dataHeaderSize = dataHeader;
        context->reserveFixed = true;
        if (headerReserve > 0) {
            context->headerReserve = static_cast<BYTE*>(context->callbacks.alloc(headerReserve));
            if (context->headerReserve == nullptr) return CabFail(context, cabErrAllocFail);
        }
    } else if (headerReserve != context->headerReserveSize || folderEntry != context->folderEntrySize ||
               dataHeader != context->dataHeaderSize) {
        return CabFail(context, cabErrReserveMismatch);
    }
    if (headerReserve > 0 && !CabReadExactly(context, context->fileHandle, context->headerReserve, headerReserve)) {
        return false;
    }
    *position += kReserveSizesSize + headerReserve;
    return true;
}

bool ReadNames(CabContext* context, std::uint32_t* position) {
    auto readPair = [&](bool present, char* cabinet, char* disk) {
        cabinet[0] = disk[0] = '\0';
        if (!present) return true;
        std::uint32_t a = 0, b = 0;
        if (!ReadString(context, context->fileHandle, cabinet, &a)) return false;
        if (!ReadString(context, context->fileHandle, disk, &b)) return false;
        *position += a + b;
        return true;
    };
    return readPair(context->header.flags & kFlagPrevious, context->previousCabinet, context->previousDisk) &&
           readPair(context->header.flags & kFlagNext, context->nextCabinet, context->nextDisk);
}

}  // namespace

bool CabReadExactly(CabContext* context, CabHandle handle, void* buffer, std::uint32_t count) {
    if (count == 0) return true;
    if (context->callbacks.read(handle, buffer, count) != count) return CabFail(context, cabErrCorrupt);
    return true;
}

bool CabSeekTo(CabContext* context, CabHandle handle, std::uint32_t position) {
    if (position > 0x7FFFFFFFu || context->callbacks.seek(handle, std::int32_t(position), kSeekSet) < 0) {
        return CabFail(context, cabErrCorrupt);
    }
    return true;
}

bool CabParseHeader(const BYTE* bytes, CabHeader* header) {
    const BYTE* end = bytes + kCabHeaderSize;
    if (std::memcmp(bytes + kHeaderSignatureAt, "MSCF", 4) != 0) return false;
    header->cabinetSize = LoadLe32(bytes + kHeaderCabinetSizeAt, end);
    header->firstFileOffset = LoadLe32(bytes + kHeaderFirstFileAt, end);
    header->versionMinor = bytes[kHeaderVersionMinorAt];
    header->versionMajor = bytes[kHeaderVersionMajorAt];
    header->folderCount = LoadLe16(bytes + kHeaderFolderCountAt, end);
    header->fileCount = LoadLe16(bytes + kHeaderFileCountAt, end);
    header->flags = LoadLe16(bytes + kHeaderFlagsAt, end);
    header->setId = LoadLe16(bytes + kHeaderSetIdAt, end);
    header->cabinetIndex = LoadLe16(bytes + kHeaderCabinetIndexAt, end);
    return true;
}

void CabCloseCabinet(CabContext* context) {
    if (context->fileHandle != -1) context->callbacks.close(context->fileHandle);
    if (context->dataHandle != -1) context->callbacks.close(context->dataHandle);
    context->fileHandle = context->dataHandle = -1;
}

bool CabOpenCabinet(CabContext* context, const char* name, const CabHeader* previous) {
    CabCloseCabinet(context);
    char path[kCabMaxPath + 1];
    const std::size_t dirLength = std::strlen(context->directory);
    const std::size_t nameLength = std::strlen(name);
    if (dirLength + nameLength > kCabMaxPath) return CabFail(context, cabErrCabinetNotFound);
    std::memcpy(path, context->directory, dirLength);
    std::memcpy(path + dirLength, name, nameLength + 1);

    const int flags = cabOpenReadOnly | cabOpenBinary;
    context->fileHandle = context->callbacks.open(path, flags, 0);
    if (context->fileHandle != -1) context->dataHandle = context->callbacks.open(path, flags, 0);
    if (context->fileHandle == -1 || context->dataHandle == -1) {
        CabCloseCabinet(context);
        return CabFail(context, cabErrCabinetNotFound);
    }

    BYTE bytes[kCabHeaderSize];
    CabHeader header;
    if (context->callbacks.read(context->fileHandle, bytes, kCabHeaderSize) != kCabHeaderSize ||
        !CabParseHeader(bytes, &header)) {
        return CabFail(context, cabErrNotACabinet);
    }
    if (header.versionMajor != 1 || header.versionMinor != 3) {
        return CabFail(context, cabErrUnknownVersion, header.versionMajor * 256 + header.versionMinor);
    }
    if (previous != nullptr &&
        (header.setId != previous->setId || header.cabinetIndex != std::uint16_t(previous->cabinetIndex + 1))) {
        return CabFail(context, cabErrWrongCabinet);
    }
    context->header = header;

    std::uint32_t position = kCabHeaderSize;
    if (header.flags & kFlagReserve) {
        if (!ReadReserve(context, &position)) return false;
    } else if (context->reserveFixed &&
               (context->headerReserveSize != 0 || context->folderEntrySize != kCabFolderEntrySize ||
                context->dataHeaderSize != kCabDataHeaderSize)) {
        return CabFail(context, cabErrReserveMismatch);
    } else {
        context->reserveFixed = true;
    }
    if (!ReadNames(context, &position)) return false;
    context->foldersOffset = position;
    std::strncpy(context->cabinetName, name, kCabMaxString - 1);
    if (!CabSeekTo(context, context->fileHandle, header.firstFileOffset)) return false;
    context->walkPosition = header.firstFileOffset;
    context->walkRemaining = header.fileCount;

    CabNotification note;
    note.first = context->nextCabinet;
    note.second = context->nextDisk;
    note.third = context->directory;
    note.user = context->user;
    note.setId = header.setId;
    note.cabinetIndex = header.cabinetIndex;
    if (context->notify(cabNotifyCabinetInfo, &note) == -1) return CabFail(context, cabErrUserAbort);
    return true;
}

bool CabReadFileEntry(CabContext* context, CabFileEntry* entry) {
    BYTE bytes[kCabFileEntrySize];
    if (!CabReadExactly(context, context->fileHandle, bytes, kCabFileEntrySize)) return false;
    const BYTE* end = bytes + kCabFileEntrySize;
    entry->size = LoadLe32(bytes + kFileSizeAt, end);
    entry->offset = LoadLe32(bytes + kFileOffsetAt, end);
    entry->folder = LoadLe16(bytes + kFileFolderAt, end);
    entry->date = LoadLe16(bytes + kFileDateAt, end);
    entry->time = LoadLe16(bytes + kFileTimeAt, end);
    entry->attributes = LoadLe16(bytes + kFileAttributesAt, end);
    std::uint32_t nameLength = 0;
    if (!ReadString(context, context->fileHandle, entry->name, &nameLength)) return false;
    context->walkPosition += kCabFileEntrySize + nameLength;
    return true;
}

bool CabChangeCabinet(CabContext* context) {
    if (!(context->header.flags & kFlagNext) || context->nextCabinet[0] == '\0') {
        return CabFail(context, cabErrCorrupt);
    }
    const CabHeader previous = context->header;
    char nextCabinet[kCabMaxString];
    char nextDisk[kCabMaxString];
    std::memcpy(nextCabinet, context->nextCabinet, kCabMaxString);
    std::memcpy(nextDisk, context->nextDisk, kCabMaxString);
    CabCloseCabinet(context);

    std::int32_t lastError = cabErrNone;
    for (;;) {
        CabNotification note;
        note.first = nextCabinet;
        note.second = nextDisk;
        note.third = context->directory;
        note.user = context->user;
        note.setId = previous.setId;
        note.cabinetIndex = std::uint16_t(previous.cabinetIndex + 1);
        note.lastError = lastError;
        if (context->notify(cabNotifyNextCabinet, &note) == -1) return CabFail(context, cabErrUserAbort);
        // The callback may have rewritten the directory; keep it terminated.
        context->directory[kCabMaxPath - 1] = '\0';
        if (CabOpenCabinet(context, nextCabinet, &previous)) break;
        CabCloseCabinet(context);
        if (context->error != nullptr && context->error->code == cabErrUserAbort) return false;
        lastError = context->error != nullptr ? context->error->code : cabErrCorrupt;
    }

    // The folder goes on in the new cabinet's first folder: same stream, same decoder.
    BYTE entry[kCabFolderEntrySize];
    if (context->header.folderCount == 0) return CabFail(context, cabErrCorrupt);
    if (!CabSeekTo(context, context->dataHandle, context->foldersOffset) ||
        !CabReadExactly(context, context->dataHandle, entry, kCabFolderEntrySize)) {
        return false;
    }
    context->currentFolder = 0;
    context->continuedFolder = true;
    context->resumeOffset = context->writingEnd;
    context->nextBlockOffset = LoadLe32(entry + kFolderFirstBlockAt, entry + kCabFolderEntrySize);
    context->blocksLeft = LoadLe16(entry + kFolderBlockCountAt, entry + kCabFolderEntrySize);
    return true;
}

}  // namespace zel::cabinet
