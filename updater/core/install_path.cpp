#include "updater/core/install_path.h"

#include "framework/path_parts.h"

namespace zel::updater {

CString RefusalText(PathRefusal refusal) {
    switch (refusal) {
        case PathRefusal::none: return {};
        case PathRefusal::notAName: return "refused path: no file name";
        case PathRefusal::absolute: return "refused path: absolute";
        case PathRefusal::driveLetter: return "refused path: drive letter";
        case PathRefusal::parentFolder: return "refused path: \"..\" leads out of the install folder";
        case PathRefusal::leadsOutside: return "refused path: a symbolic link leads out of the install folder";
        case PathRefusal::notAFile: return "refused path: no file in the install folder";
    }
    return {};
}

PathRefusal NormaliseScriptPath(std::string_view scriptPath, CString& relative) {
    relative.clear();
    if (scriptPath.empty() || scriptPath.find('\0') != std::string_view::npos) return PathRefusal::notAName;
    if (scriptPath[0] == '/' || scriptPath[0] == '\\') return PathRefusal::absolute;
    auto first = static_cast<unsigned char>(scriptPath[0]);
    bool letter = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
    if (scriptPath.size() >= 2 && letter && scriptPath[1] == ':') return PathRefusal::driveLetter;
    std::vector<std::string_view> parts = PathParts(scriptPath, "/\\");
    if (parts.empty()) return PathRefusal::notAName;
    for (std::string_view part : parts) {
        if (part == "..") {
            relative.clear();
            return PathRefusal::parentFolder;
        }
        if (!relative.empty()) relative += '/';
        relative += part;
    }
    return PathRefusal::none;
}

PathRefusal ResolveInstallPath(platform::FileSystem& files, std::string_view scriptPath, bool mustBeFile,
                               CString& relative) {
    PathRefusal refusal = NormaliseScriptPath(scriptPath, relative);
    if (refusal != PathRefusal::none) return refusal;
    platform::PathTarget target = files.Locate(relative);
    if (target == platform::PathTarget::outside)
        refusal = PathRefusal::leadsOutside;
    else if (mustBeFile && target != platform::PathTarget::file)
        refusal = PathRefusal::notAFile;
    if (refusal != PathRefusal::none) relative.clear();
    return refusal;
}

}  // namespace zel::updater
