#include "archive/qv_archive.h"

#include <string_view>

#include "archive/backends.h"

CQVArchiveException::~CQVArchiveException() = default;
CQVArchive::~CQVArchive() = default;
CQVArchiveEngine::~CQVArchiveEngine() = default;

namespace {

// The extension of the last path component, with its leading "."; "" when it has none.
// Both "/" and "\" end a folder name.
std::string_view ExtensionOf(std::string_view path) {
    auto slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    auto dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
}

}  // namespace

// Probe order. ZIP, CAB and ARJ are recognised by their contents whatever the file is called,
// and in that order: ZIP first, because a ZIP file may also hold an ARJ header (a self-extracting
// stub or a stored ARJ archive) and must still be read as ZIP; CAB before ARJ, because the ARJ
// probe searches the first 25,000 bytes for a header and would accept an ARJ archive stored
// inside a cabinet. RAR and ACE come last and are recognised by their extension alone, compared
// case-sensitively (".RAR" is not a RAR archive to us), without looking at the contents.
CQVArchive* CQVArchiveEngine::CreateUnpacker(const char* path) {
    if (path == nullptr) return nullptr;
    using namespace zel::arcopen;
    if (IsZipArchive(path)) return NewZipReader();
    if (IsCabArchive(path)) return NewCabReader();
    if (IsArjArchive(path)) return NewArjReader();
    std::string_view extension = ExtensionOf(path);
    if (extension == ".rar") return NewRarReader();
    if (extension == ".ace") return NewAceReader();
    return nullptr;
}
