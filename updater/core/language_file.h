// A language for Zelupdate: texts that replace the built-in string table and the texts of the three
// pages. The file lies beside the program and is named after the language; its format is described
// in docs/formats/language-file.md. No widgets here.
#pragma once

#include <map>
#include <string_view>
#include <utility>

#include "framework/framework_types.h"

namespace zel::updater {

// Dialog numbers of the three pages; a page's caption is its control 0.
enum DialogId : int { kDialogSettings = 130, kDialogDownload = 131, kDialogCompletion = 132 };
constexpr int kCaptionControl = 0;

// Larger files are not language files.
constexpr std::size_t kMaxLanguageFileSize = 1 << 20;

class CLanguage {
public:
    // Reads `text` (UTF-8, "KEY=TEXT" lines). On any malformed line nothing is taken, `error` says
    // which line and why, and the result is false.
    bool Parse(std::string_view text, std::string& error);
    // Reads the file at `path`; false when it is missing, too large or malformed.
    bool LoadFile(const CString& path, std::string& error);

    // String `id`: the language's text, else the built-in one ("" when neither has it).
    CString String(UINT id) const;
    // The text of control `control` of dialog `dialog`: the language's, else `builtIn`.
    CString DialogText(int dialog, int control, const CString& builtIn) const;
    // A text the updater's core produced from its string table, in this language: the language's
    // text of the string whose built-in text it is, else the text unchanged.
    CString Translate(const CString& builtInText) const;

    bool Empty() const { return m_strings.empty() && m_dialogs.empty(); }

private:
    std::map<UINT, CString> m_strings;
    std::map<std::pair<int, int>, CString> m_dialogs;
};

// The string numbers that a language may replace, with their built-in texts.
const std::map<UINT, CString>& BuiltInStrings();

}  // namespace zel::updater
