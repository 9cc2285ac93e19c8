// POSIX file names are UTF-8.
#include "platform/file_names.h"

#include "framework/codepage.h"

namespace zel::platform {

std::string FileNameFromAnsi(std::string_view ansi) { return codepage::Windows1252ToUtf8(ansi); }

std::optional<std::string> AnsiFromFileName(std::string_view name) { return codepage::Utf8ToWindows1252(name); }

}  // namespace zel::platform
