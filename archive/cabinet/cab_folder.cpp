// Folders and data blocks: selecting a folder's decoder, reading and checking each data block
// (including a block split across two cabinets) and decoding it into the output buffer.
#include <cstring>

#include "archive/cabinet/cab_checksum.h"
#include "archive/cabinet/cab_context.h"
#include "framework/little_endian.h"

namespace zel::cabinet {
namespace {

bool SelectCompression(CabContext* context, std::uint16_t type) {
    if (CabMethodOf(type) > cabMethodLzx) return CabFail(context, cabErrBadComprType);
    if (context->methodSelected && context->compressionType == type) {
        if (!context->decoder->Reset()) return CabFail(context, cabErrDecompressor);
        return true;
    }
    CabReleaseDecoder(context);
    if (context->input == nullptr) {
        context->input = static_cast<BYTE*>(context->callbacks.alloc(kCabMaxInput));
        context->output = static_cast<BYTE*>(context->callbacks.alloc(kCabMaxBlockSize));
        if (context->input == nullptr || context->output == nullptr) return CabFail(context, cabErrAllocFail);
    }
    context->decoder = CreateCabDecoder(type, context->memory);
    if (context->decoder == nullptr) return CabFail(context, cabErrDecompressor);
    context->compressionType = type;
    context->methodSelected = true;
    return true;
}

// Reads the header and data of the next block of the current folder, appending the data to the
// input buffer at `*inputLength`. Returns the block's uncompressed size in `*uncompressed`.
bool ReadBlock(CabContext* context, std::uint32_t* inputLength, std::uint32_t* uncompressed) {
    if (context->blocksLeft == 0) return CabFail(context, cabErrCorrupt);
    BYTE header[kCabDataHeaderSize + 255];
    const std::uint32_t headerSize = context->dataHeaderSize;
    if (!CabSeekTo(context, context->dataHandle, context->nextBlockOffset) ||
        !CabReadExactly(context, context->dataHandle, header, headerSize)) {
        return false;
    }
    const BYTE* headerEnd = header + headerSize;
    const std::uint32_t checksum = LoadLe32(header + kBlockChecksumAt, headerEnd);
    const std::uint32_t compressed = LoadLe16(header + kBlockCompressedAt, headerEnd);
    *uncompressed = LoadLe16(header + kBlockUncompressedAt, headerEnd);
    const std::uint32_t limit = kCabMaxBlockSize + CabInputMargin(CabMethodOf(context->compressionType));
    if (compressed > limit - *inputLength || *uncompressed > kCabMaxBlockSize) return CabFail(context, cabErrCorrupt);

    BYTE* data = context->input + *inputLength;
    if (!CabReadExactly(context, context->dataHandle, data, compressed)) return false;
    if (checksum != 0) {
        std::uint32_t sum = CabChecksum(data, compressed, 0);
        sum = CabChecksum(header + kBlockCompressedAt, headerSize - kBlockCompressedAt, sum);
        if (sum != checksum) return CabFail(context, cabErrCorrupt);
    }
    *inputLength += compressed;
    context->nextBlockOffset += headerSize + compressed;
    --context->blocksLeft;
    return true;
}

}  // namespace

void CabReleaseDecoder(CabContext* context) {
    DestroyCabDecoder(context->decoder, context->memory);
    context->decoder = nullptr;
    context->methodSelected = false;
}

bool CabSelectFolder(CabContext* context, int folder) {
    context->currentFolder = -1;
    context->continuedFolder = false;  // decoding from a folder's start ends any carried-over stream
    BYTE entry[kCabFolderEntrySize];
    const std::uint64_t position = context->foldersOffset + std::uint64_t(folder) * context->folderEntrySize;
    if (position > 0x7FFFFFFFu) return CabFail(context, cabErrCorrupt);
    if (!CabSeekTo(context, context->dataHandle, std::uint32_t(position)) ||
        !CabReadExactly(context, context->dataHandle, entry, kCabFolderEntrySize)) {
        return false;
    }
    const BYTE* end = entry + kCabFolderEntrySize;
    if (!SelectCompression(context, LoadLe16(entry + kFolderCompressionAt, end))) return false;
    context->currentFolder = folder;
    context->nextBlockOffset = LoadLe32(entry + kFolderFirstBlockAt, end);
    context->blocksLeft = LoadLe16(entry + kFolderBlockCountAt, end);
    context->blockStart = 0;
    context->blockLength = 0;
    return true;
}

bool CabNextBlock(CabContext* context) {
    context->blockStart += context->blockLength;
    context->blockLength = 0;
    if (context->blocksLeft == 0) {
        // The folder's blocks in this cabinet are used up: it goes on in the next cabinet, if this
        // is the cabinet's last folder and the set has one.
        if (context->currentFolder != context->header.folderCount - 1) return CabFail(context, cabErrCorrupt);
        if (!CabChangeCabinet(context)) return false;
    }
    std::uint32_t inputLength = 0;
    std::uint32_t uncompressed = 0;
    if (!ReadBlock(context, &inputLength, &uncompressed)) return false;
    while (uncompressed == 0) {
        // The block is split: its rest is the first block of the next cabinet (which may itself go
        // on into the one after). The input buffer's limit bounds the whole.
        if (context->blocksLeft != 0) return CabFail(context, cabErrCorrupt);
        if (!CabChangeCabinet(context) || !ReadBlock(context, &inputLength, &uncompressed)) return false;
    }
    if (context->decoder == nullptr ||
        !context->decoder->Decompress(context->input, inputLength, context->output, uncompressed)) {
        return CabFail(context, cabErrDecompressor);
    }
    context->blockLength = uncompressed;
    context->decodedBytes += uncompressed;
    return true;
}

}  // namespace zel::cabinet
