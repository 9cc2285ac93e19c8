// The decompressor's entry points and the walk over a cabinet's files.
#include "archive/cabinet/cabinet.h"

#include <cstring>
#include <new>

#include "archive/cabinet/cab_context.h"

namespace zel::cabinet {
namespace {

constexpr std::uint16_t kAttributeRunAfterExtract = 0x40;

CabNotification NoteFor(CabContext* context, CabFileEntry* entry) {
    CabNotification note;
    note.first = entry->name;
    note.user = context->user;
    note.date = entry->date;
    note.time = entry->time;
    note.attributes = entry->attributes;
    note.folderIndex = entry->folder;
    note.setId = context->header.setId;
    note.cabinetIndex = context->header.cabinetIndex;
    return note;
}

// Decodes the first `wanted` bytes of the entry from its folder and writes them to `out`.
bool WriteFile(CabContext* context, const CabFileEntry& entry, std::uint32_t wanted, CabHandle out) {
    if (wanted == 0) return true;
    int folder = entry.folder;
    if (entry.folder == kFolderContinuedFromPrevious) {
        folder = 0;
    } else if (entry.folder == kFolderContinuedToNext || entry.folder == kFolderContinuedBoth) {
        folder = context->header.folderCount - 1;
    }
    if (folder < 0 || folder >= context->header.folderCount) return CabFail(context, cabErrCorrupt);
    if (std::uint64_t(entry.offset) + entry.size > 0xFFFFFFFFu) return CabFail(context, cabErrCorrupt);

    // A file before the current block needs its folder decoded again from the start.
    if (folder != context->currentFolder || entry.offset < context->blockStart) {
        if (!CabSelectFolder(context, folder)) return false;
    }
    std::uint32_t position = entry.offset;
    const std::uint32_t end = entry.offset + wanted;
    context->writingEnd = end;
    while (position < end) {
        while (position >= context->blockStart + context->blockLength) {
            if (!CabNextBlock(context)) return false;
        }
        const std::uint32_t blockEnd = context->blockStart + context->blockLength;
        const std::uint32_t count = (end < blockEnd ? end : blockEnd) - position;
        if (context->callbacks.write(out, context->output + (position - context->blockStart), count) != count) {
            return CabFail(context, cabErrTargetFile);
        }
        position += count;
    }
    return true;
}

bool CopyOneFile(CabContext* context, CabFileEntry* entry) {
    CabNotification note = NoteFor(context, entry);
    const bool fromPrevious = entry->folder == kFolderContinuedFromPrevious || entry->folder == kFolderContinuedBoth;
    const bool resumable =
        context->continuedFolder && context->currentFolder == 0 && entry->offset >= context->resumeOffset;
    if (fromPrevious && !resumable) {
        note.second = context->previousCabinet;
        note.third = context->previousDisk;
        if (context->notify(cabNotifyPartialFile, &note) == -1) return CabFail(context, cabErrUserAbort);
        return true;
    }
    note.size = std::int32_t(entry->size);
    CabHandle out = context->notify(cabNotifyCopyFile, &note);
    if (out == -1) return CabFail(context, cabErrUserAbort);
    if (out == 0) return true;
    // The callback may have lowered the size: only that many bytes are wanted, and the folder is
    // not decoded past them for this file.
    std::uint32_t wanted = entry->size;
    if (note.size >= 0 && std::uint32_t(note.size) < wanted) wanted = std::uint32_t(note.size);

    if (!WriteFile(context, *entry, wanted, out)) {
        context->callbacks.close(out);
        return false;
    }
    CabNotification close = NoteFor(context, entry);
    close.handle = out;
    close.size = (entry->attributes & kAttributeRunAfterExtract) ? 1 : 0;
    close.attributes = std::uint16_t(entry->attributes & ~kAttributeRunAfterExtract);
    CabHandle result = context->notify(cabNotifyCloseFileInfo, &close);
    if (result == -1) {
        context->callbacks.close(out);
        return CabFail(context, cabErrUserAbort);
    }
    if (result == 0) return CabFail(context, cabErrTargetFile);
    return true;
}

// Sends cabNotifyEnumerate; the callback may move the walk's position or change the count left.
bool Enumerate(CabContext* context) {
    CabNotification note;
    note.user = context->user;
    note.size = std::int32_t(context->walkPosition);
    note.folderIndex = std::uint16_t(context->walkRemaining);
    note.setId = context->header.setId;
    note.cabinetIndex = context->header.cabinetIndex;
    if (context->notify(cabNotifyEnumerate, &note) == -1) return CabFail(context, cabErrUserAbort);
    if (std::uint32_t(note.size) != context->walkPosition) {
        context->walkPosition = std::uint32_t(note.size);
        if (!CabSeekTo(context, context->fileHandle, context->walkPosition)) return false;
    }
    context->walkRemaining = note.folderIndex;
    return true;
}

bool WalkFiles(CabContext* context) {
    if (!Enumerate(context)) return false;
    for (;;) {
        while (context->walkRemaining > 0) {
            --context->walkRemaining;
            CabFileEntry entry;
            if (!CabReadFileEntry(context, &entry)) return false;
            if (!CopyOneFile(context, &entry)) return false;
        }
        if (!Enumerate(context)) return false;
        if (context->walkRemaining == 0) return true;
    }
}

}  // namespace

bool CabFail(CabContext* context, ECabError code, std::int32_t extra) {
    if (context != nullptr && context->error != nullptr) {
        context->error->code = code;
        context->error->extra = extra;
        context->error->errorFlag = 1;
    }
    return false;
}

CabContext* CabCreate(const CabCallbacks& callbacks, int processorType, CabErrorRecord* error) {
    void* place = callbacks.alloc != nullptr ? callbacks.alloc(sizeof(CabContext)) : nullptr;
    if (place == nullptr) {
        if (error != nullptr) *error = CabErrorRecord{cabErrAllocFail, 0, 1};
        return nullptr;
    }
    auto* context = new (place) CabContext;
    context->callbacks = callbacks;
    context->memory = CabMemory{callbacks.alloc, callbacks.release};
    context->processorType = processorType;
    context->error = error;
    return context;
}

bool CabIsCabinet(CabContext* context, CabHandle file, CabInfo* info) {
    if (context == nullptr) return false;
    BYTE bytes[kCabHeaderSize];
    CabHeader header;
    if (context->callbacks.read(file, bytes, kCabHeaderSize) != kCabHeaderSize || !CabParseHeader(bytes, &header)) {
        return false;
    }
    if (header.versionMajor != 1 || header.versionMinor != 3) {
        return CabFail(context, cabErrUnknownVersion, header.versionMajor * 256 + header.versionMinor);
    }
    if (info != nullptr) {
        info->cabinetSize = std::int32_t(header.cabinetSize);
        info->folderCount = header.folderCount;
        info->fileCount = header.fileCount;
        info->setId = header.setId;
        info->cabinetIndex = header.cabinetIndex;
        info->reservePresent = (header.flags & kFlagReserve) != 0;
        info->hasPrevious = (header.flags & kFlagPrevious) != 0;
        info->hasNext = (header.flags & kFlagNext) != 0;
    }
    return true;
}

bool CabCopy(CabContext* context, const char* name, const char* directory, int /*flags*/, CabNotifyFn notify,
             CabDecryptFn /*decrypt*/, void* user) {
    if (context == nullptr) return false;
    if (context->error != nullptr) *context->error = CabErrorRecord{};
    if (notify == nullptr || name == nullptr) return CabFail(context, cabErrCabinetNotFound);
    if (directory == nullptr) directory = "";
    if (std::strlen(directory) >= kCabMaxPath) return CabFail(context, cabErrCabinetNotFound);
    std::strcpy(context->directory, directory);
    context->notify = notify;
    context->user = user;
    context->reserveFixed = false;
    context->currentFolder = -1;
    context->blockStart = context->blockLength = 0;
    context->continuedFolder = false;

    bool ok = CabOpenCabinet(context, name, nullptr) && WalkFiles(context);
    CabCloseCabinet(context);
    if (context->headerReserve != nullptr) {
        context->callbacks.release(context->headerReserve);
        context->headerReserve = nullptr;
    }
    context->notify = nullptr;
    return ok;
}

std::uint64_t CabDecodedBytes(const CabContext* context) { return context == nullptr ? 0 : context->decodedBytes; }

bool CabDestroy(CabContext* context) {
    if (context == nullptr) return true;
    CabCloseCabinet(context);
    CabReleaseDecoder(context);
    const CabCallbacks callbacks = context->callbacks;
    callbacks.release(context->input);
    callbacks.release(context->output);
    callbacks.release(context->headerReserve);
    context->~CabContext();
    callbacks.release(context);
    return true;
}

}  // namespace zel::cabinet
