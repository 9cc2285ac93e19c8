// The updater's program-wide state: the settings, and the scanner and monitor that were running when
// it started, which it asks to quit and starts again afterwards.
#pragma once

#include "platform/desktop.h"
#include "updater/core/context_help.h"
#include "updater/core/language_file.h"
#include "updater/core/update_settings.h"

namespace zel::updater {

inline constexpr const char* kMonitorTitle = "Zel Monitor";
inline constexpr const char* kScannerTitle = "Zelscan";
inline constexpr const char* kMonitorProgram = "zelmon.exe";
inline constexpr const char* kScannerProgram = "zelscan.exe";
// The window system's close message (its own name is a macro where its header is included).
constexpr unsigned kCloseMessage = 0x0010;

class CUpdateApp {
public:
    CUpdateApp(platform::Desktop& desktop, CProfileStore& profile) : m_desktop(desktop), m_profile(profile) {}
    virtual ~CUpdateApp() = default;

    void LoadSettings();
    // Writes the settings back, but only when LoadSettings ran in this program run. False when
    // some value could not be stored (nothing is shown: the caller decides).
    bool SaveSettings();
    // Asks a running monitor (close, then quit) and scanner (quit) to end; does not wait.
    void CloseRunningPrograms();
    // Starts the scanner and then the monitor again, as the flags say. The flags stay set.
    void RestartPrograms();

    platform::Desktop& Desktop() { return m_desktop; }

    // The language's texts, or the built-in ones. Loads the language named in the registry from the
    // file beside `programPath`; a missing or unreadable file keeps the built-in texts.
    void LoadLanguage(const CString& programPath);
    const CLanguage& Language() const { return m_language; }
    // The controls' help texts: the built-in ones, or those of the help file beside `programPath`.
    void LoadContextHelp(const CString& programPath) { m_help.LoadFile(programPath); }
    const CContextHelp& ContextHelp() const { return m_help; }

    CUpdateSettings m_settings;
    int m_bMonitorWasRunning = 0;
    int m_bScannerWasRunning = 0;

private:
    platform::Desktop& m_desktop;
    CProfileStore& m_profile;
    bool m_settingsLoaded = false;
    CLanguage m_language;
    CContextHelp m_help;
};

}  // namespace zel::updater
