// Context help for the wizard's controls: a short text per control, shown when the user asks for
// help on it (F1 or Shift+F1 on the focused control, or the title bar's help button). The texts are
// built in; a help file beside the program ("zelupdate.hlp", the same KEY=TEXT lines as a language
// file, keyed by dialog and control number) replaces any of them. No widgets here.
#pragma once

#include "framework/framework_types.h"
#include "updater/core/language_file.h"

namespace zel::updater {

class CContextHelp {
public:
    // Reads the help file beside `programPath`; a missing or malformed file keeps the built-in
    // texts.
    void LoadFile(const CString& programPath);
    // The help of control `control` on dialog `dialog`; "" when the control has none.
    CString Text(int dialog, int control) const;

private:
    CLanguage m_file;
};

// The help file that belongs to the program at `programPath`.
CString HelpFilePath(const CString& programPath);

}  // namespace zel::updater
