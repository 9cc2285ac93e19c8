// What each back-end offers the factory: probes by content and a maker of a new, unopened reader.
// One definition per back-end, in that back-end's folder (archive/zip, archive/cab, archive/arj,
// archive/rar, archive/ace). Probes that take `head` look only at the file's first bytes, as read
// by the factory (up to kProbeHeadSize); the others open the file themselves. Makers return null
// when allocation fails; probes and makers never throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "archive/qv_archive.h"

namespace zel::arcopen {

using FileHead = std::span<const std::uint8_t>;

// How much of a file the probes by content look at: a RAR signature may begin anywhere in the
// first MiB (a self-extractor's stub comes first), an ACE main header in the first 512 KiB.
constexpr std::size_t kRarSearchSize = 1024 * 1024;
constexpr std::size_t kAceSearchSize = 512 * 1024;
constexpr std::size_t kProbeHeadSize = kRarSearchSize + 16;

// How far from the end of a file the ZIP directory's end record (or the ZIP64 locator) may start:
// minizip looks 65,535 bytes back; the rest is margin.
constexpr std::size_t kZipEndSearchSize = 128 * 1024;

// minizip can open the file (data in front of the archive is allowed).
bool IsZipArchive(const char* path);
// The last bytes of a file (up to kZipEndSearchSize, or all of it) hold an end record's or a ZIP64
// locator's signature: true for every file that IsZipArchive accepts.
bool MayEndAsZip(FileHead tail);
CQVArchive* NewZipReader();

// A version 1.3 cabinet header at the very start.
bool IsCabArchive(const char* path);
bool StartsAsCab(FileHead head);
// The cabinet signature at the very start, whatever the version: true for every file that
// IsCabArchive accepts.
bool HasCabSignature(FileHead head);
CQVArchive* NewCabReader();

// A valid ARJ main header within the first 25,000 bytes; StartsAsArj: at offset 0.
bool IsArjArchive(const char* path);
bool StartsAsArj(FileHead head);
// A header that the ARJ reader would take for the main header (id, size and CRC) within the first
// 25,000 bytes: true for every file that IsArjArchive accepts.
bool HasArjMainHeader(FileHead head);
CQVArchive* NewArjReader();

// A RAR 4 or RAR 5 signature followed by a main header, within the first MiB.
bool HasRarSignature(FileHead head);
bool StartsAsRar(FileHead head);
CQVArchive* NewRarReader();

// An ACE main header ("**ACE**" in a type 0 block), starting within the first 512 KiB.
bool HasAceSignature(FileHead head);
bool StartsAsAce(FileHead head);
CQVArchive* NewAceReader();

}  // namespace zel::arcopen
