#include "archive/qv_archive.h"

#include <new>
#include <string_view>

#include "archive/backends.h"
#include "platform/files.h"

CQVArchiveException::~CQVArchiveException() = default;
CQVArchive::~CQVArchive() = default;
CQVArchiveEngine::~CQVArchiveEngine() = default;

namespace {

using namespace zel::arcopen;

// The extension of the last path component, with its leading ".", in lower case; "" when it has
// none. Both "/" and "\" end a folder name.
std::string ExtensionOf(std::string_view path) {
    auto slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    auto dot = name.find_last_of('.');
    if (dot == std::string_view::npos) return {};
    std::string extension(name.substr(dot));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

static_assert(CQVArchiveEngine::kSniffHeadSize >= kProbeHeadSize &&
              CQVArchiveEngine::kSniffTailSize >= kZipEndSearchSize);

enum class EFormat { none, zip, cab, arj, rar, ace };

// What each back-end's probe says about one file.
struct ProbeResults {
    bool zip = false;
    bool cab = false;
    bool arj = false;
    bool rar = false;                 // by content
    bool ace = false;                 // by content
    EFormat leading = EFormat::none;  // the format whose signature the file begins with
    EFormat byName = EFormat::none;   // RAR or ACE by the file's extension
};

// RAR and ACE by the file's extension.
EFormat FormatByName(const char* path) {
    std::string extension = ExtensionOf(path);
    if (extension == ".rar") return EFormat::rar;
    if (extension == ".ace") return EFormat::ace;
    return EFormat::none;
}

ProbeResults Probe(const char* path) {
    ProbeResults found;
    // Only a regular file is an archive: a FIFO, device or socket is not opened at all. As far as
    // the probes by content look; nothing when the file cannot be read.
    if (zel::platform::KindOfTarget(path) != zel::platform::EntryKind::file) return found;
    std::vector<std::uint8_t> bytes;
    zel::platform::ReadFileHead(path, kProbeHeadSize, bytes);
    FileHead head(bytes);
    if (StartsAsCab(head))
        found.leading = EFormat::cab;
    else if (StartsAsArj(head))
        found.leading = EFormat::arj;
    else if (StartsAsRar(head))
        found.leading = EFormat::rar;
    else if (StartsAsAce(head))
        found.leading = EFormat::ace;
    found.zip = IsZipArchive(path);
    found.cab = IsCabArchive(path);
    found.arj = IsArjArchive(path);
    found.rar = HasRarSignature(head);
    found.ace = HasAceSignature(head);
    found.byName = FormatByName(path);
    return found;
}

// The one reader the factory returns. ZIP, CAB and ARJ are recognised by their contents whatever
// the file is called, and in that order: ZIP first, because a ZIP file may also hold an ARJ header
// (a self-extracting stub or a stored ARJ archive) and must still be read as ZIP; CAB before ARJ,
// because the ARJ probe searches the first 25,000 bytes for a header and would accept an ARJ
// archive stored inside a cabinet. Both ZIP and ARJ accept data in front of their archive, so
// neither claims a file that begins with another format's signature: a RAR, CAB or ACE archive
// whose stored member is a ZIP or ARJ archive is read as itself. Then RAR and ACE by their
// extension in any letter case, and last by their signatures.
EFormat Choose(const ProbeResults& found) {
    if (found.zip && found.leading == EFormat::none) return EFormat::zip;
    if (found.cab) return EFormat::cab;
    if (found.arj && (found.leading == EFormat::none || found.leading == EFormat::arj)) return EFormat::arj;
    if (found.byName != EFormat::none) return found.byName;
    if (found.rar) return EFormat::rar;
    if (found.ace) return EFormat::ace;
    return EFormat::none;
}

CQVArchive* NewReader(EFormat format) {
    switch (format) {
        case EFormat::zip: return NewZipReader();
        case EFormat::cab: return NewCabReader();
        case EFormat::arj: return NewArjReader();
        case EFormat::rar: return NewRarReader();
        case EFormat::ace: return NewAceReader();
        case EFormat::none: break;
    }
    return nullptr;
}

}  // namespace

CQVArchive* CQVArchiveEngine::CreateUnpacker(const char* path) {
    if (path == nullptr) return nullptr;
    try {
        return NewReader(Choose(Probe(path)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::vector<std::unique_ptr<CQVArchive>> CQVArchiveEngine::CreateAllUnpackers(const char* path) {
    std::vector<std::unique_ptr<CQVArchive>> readers;
    if (path == nullptr) return readers;
    try {
        ProbeResults found = Probe(path);
        EFormat first = Choose(found);
        std::vector<EFormat> formats;
        if (first != EFormat::none) formats.push_back(first);
        const std::pair<bool, EFormat> byContent[] = {{found.zip, EFormat::zip},
                                                      {found.cab, EFormat::cab},
                                                      {found.arj, EFormat::arj},
                                                      {found.rar, EFormat::rar},
                                                      {found.ace, EFormat::ace}};
        for (const auto& [accepted, format] : byContent) {
            if (accepted && format != first) formats.push_back(format);
        }
        for (EFormat format : formats) {
            std::unique_ptr<CQVArchive> reader(NewReader(format));
            if (reader) readers.push_back(std::move(reader));
        }
    } catch (const std::bad_alloc&) {
        readers.clear();
    }
    return readers;
}

bool CQVArchiveEngine::MayBeArchive(const char* path, std::span<const std::uint8_t> head,
                                    std::span<const std::uint8_t> tail) {
    if (path == nullptr) return false;
    try {
        return FormatByName(path) != EFormat::none || MayEndAsZip(tail) || HasCabSignature(head) ||
               HasArjMainHeader(head) || HasRarSignature(head) || HasAceSignature(head);
    } catch (const std::bad_alloc&) {
        return true;
    }
}
