/* The Zel ACE library: reads and unpacks ACE archives through its C functions.
 *
 *   handle = ZelAceOpen(&open)            open.OpenResult is 0 on success; null handle otherwise
 *   ZelAceReadHeader(handle, &header)     0: a header was read; 128: normal end; else an error
 *   ZelAceProcess(handle, op, dest)       op 0 skips the entry, 2 extracts it to `dest`; 0 = done
 *   ZelAceProcessData(handle, fn, user)   unpacks the entry into a callback instead of a file
 *   ZelAceUnpackedBytes(handle)           what the last of those two unpacked
 *   ZelAceVolumeName(handle, i)           the i-th volume of a set that the handle opened
 *   ZelAceClose(handle)
 *
 * Names in the header record are as the archive stores them (OEM code page), with "\" between
 * path components and a terminating zero. Records are packed. Their byte positions are those of
 * the 32-bit layout, except that each pointer field takes 8 bytes in a 64-bit build, moving every
 * later field by 4 bytes per widened pointer before it (see the offsets below).
 *
 * One handle is used by one thread at a time; different handles are independent. */
#ifndef ZEL_ARCHIVE_ACELIB_ZELACE_H
#define ZEL_ARCHIVE_ACELIB_ZELACE_H

#include <stddef.h>
#include <stdint.h>

#include "archive/acelib/zelace_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results. */
#define ZELACE_SUCCESS 0
#define ZELACE_END_ARCHIVE 128    /* ZelAceReadHeader: no further entry */
#define ZELACE_ERROR_OPEN 1       /* the archive (or an output file) cannot be opened */
#define ZELACE_ERROR_FORMAT 2     /* no ACE archive, or a malformed header */
#define ZELACE_ERROR_HEADER_CRC 3 /* a header's CRC does not match */
#define ZELACE_ERROR_DATA 4       /* corrupt or truncated data, or the entry's CRC does not match */
#define ZELACE_ERROR_ENCRYPTED 5  /* the entry is encrypted; such entries are not extracted */
#define ZELACE_ERROR_METHOD 6     /* unknown compression method or dictionary size */
#define ZELACE_ERROR_VOLUME 7     /* the next volume of the set is missing or does not belong */
#define ZELACE_ERROR_WRITE 8      /* the output could not be written */
#define ZELACE_ERROR_PARAMETER 9  /* bad argument, or no current entry */
#define ZELACE_ERROR_MEMORY 10

/* Open modes. */
#define ZELACE_OPEN_LIST 0
#define ZELACE_OPEN_EXTRACT 1

/* Operations of ZelAceProcess. */
#define ZELACE_SKIP 0
#define ZELACE_TEST 1 /* unpack and check the CRC, write nothing */
#define ZELACE_EXTRACT 2

#pragma pack(push, 1)

/* 95 bytes in the 32-bit layout, 103 in the 64-bit one. */
typedef struct ZelAceOpenRecord {
    const char* ArchiveName;    /* 0: path of the archive (its first volume) */
    uint32_t OpenMode;          /* 4 (64-bit: 8): ZELACE_OPEN_LIST or ZELACE_OPEN_EXTRACT */
    uint32_t OpenResult;        /* 8 (12): 0 on success, otherwise an error above */
    uint8_t Reserved1[59];      /* 12 (16) */
    char* CommentBuffer;        /* 71 (75): not written; comments are skipped */
    uint32_t CommentBufferSize; /* 75 (83) */
    uint8_t Reserved2[16];      /* 79 (87) */
} ZelAceOpenRecord;

/* 568 bytes in the 32-bit layout, 572 in the 64-bit one. */
typedef struct ZelAceHeaderRecord {
    char ArchiveName[260];      /* 0: the volume that holds the entry's header */
    char FileName[260];         /* 260: OEM code page, zero-terminated */
    uint64_t PackedSize;        /* 520: packed bytes in this volume */
    uint64_t OriginalSize;      /* 528 */
    uint32_t FileCrc;           /* 536: ACE CRC-32 of the unpacked data */
    uint32_t FileTime;          /* 540: DOS date and time */
    uint16_t HeaderFlags;       /* 544: flags of the file header (0x4000 encrypted, ...) */
    uint8_t Method;             /* 546: 0 stored, 1 ACE 1.0 LZ77, 2 ACE 2.0 blocked */
    uint8_t DictionaryBits;     /* 547: the dictionary is 2^DictionaryBits bytes */
    uint32_t FileAttr;          /* 548: 0x10 marks a directory */
    char* CommentBuffer;        /* 552: not written */
    uint32_t CommentBufferSize; /* 556 (64-bit: 560) */
    uint8_t Reserved[8];        /* 560 (564) */
} ZelAceHeaderRecord;

#pragma pack(pop)

ZELACE_API void* ZelAceOpen(ZelAceOpenRecord* record);
ZELACE_API int ZelAceClose(void* handle);
ZELACE_API int ZelAceReadHeader(void* handle, ZelAceHeaderRecord* header);
ZELACE_API int ZelAceProcess(void* handle, int operation, const char* destination);

/* Receives an entry's unpacked data, block after block. Returns 1 to go on; 0 when it wants no
 * more (the entry is then passed over, without a CRC check); -1 when the data cannot be taken. */
typedef int (*ZelAceDataCallback)(void* user, const uint8_t* data, size_t size);

/* Unpacks the entry of the last header into `callback`, which may stop early. A solid archive's
 * entry is unpacked to its end even then, because later entries refer back into it. Returns 0
 * when the entry was unpacked (or stopped early), ZELACE_ERROR_WRITE when the callback returned
 * -1, otherwise an error above. */
ZELACE_API int ZelAceProcessData(void* handle, ZelAceDataCallback callback, void* user);

/* The bytes that the last ZelAceProcess or ZelAceProcessData on this handle unpacked, whatever
 * became of them: written, handed to the callback, or unpacked and dropped (the rest of a solid
 * archive's entry after the callback stopped, or an entry skipped in a solid archive's extraction
 * pass). What an entry cost to process. */
ZELACE_API uint64_t ZelAceUnpackedBytes(void* handle);

/* The path of the index-th volume that this handle has opened (0: the archive given to
 * ZelAceOpen, then name.c00, ... as they were reached), or null past the last one. The text stays
 * valid until ZelAceClose. */
ZELACE_API const char* ZelAceVolumeName(void* handle, uint32_t index);

#ifdef __cplusplus
}
#endif

#endif /* ZEL_ARCHIVE_ACELIB_ZELACE_H */
