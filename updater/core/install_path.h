// The install folder is the boundary of an update script: the script arrives unauthenticated, so a
// path it names (a file to install, delete or start, a folder to create) is taken only when it stays
// inside the current folder. "\" separates folders as "/" does, so scripts written for Windows work.
#pragma once

#include <string_view>

#include "framework/framework_types.h"
#include "platform/files.h"

namespace zel::updater {

enum class PathRefusal { none, notAName, absolute, driveLetter, parentFolder, leadsOutside, notAFile };

// Why a path was refused, as a row and the command line show it ("" for none).
CString RefusalText(PathRefusal refusal);

// The script's path as a "/"-separated path relative to the install folder, with "." parts and
// repeated separators dropped; refuses empty paths and NUL bytes, absolute paths, drive letters and
// ".." parts. Looks at the text only.
PathRefusal NormaliseScriptPath(std::string_view scriptPath, CString& relative);

// NormaliseScriptPath, then refuses a path that a symbolic link leads out of the install folder;
// with `mustBeFile` also anything but an existing file (what `g` may start).
PathRefusal ResolveInstallPath(platform::FileSystem& files, std::string_view scriptPath, bool mustBeFile,
                               CString& relative);

}  // namespace zel::updater
