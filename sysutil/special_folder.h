// CSpecialFolder: the file-system folder of a shell special folder of the system root. Folder 7 is
// the current user's Start-up folder: the "StartUp" value of the user's Shell Folders key, mapped
// to the disk, or the root's default location when the value is missing.
#pragma once

#include "framework/framework_types.h"

class CSpecialFolder {
public:
    // The shell's number of the current user's Start-up folder.
    static constexpr int kStartup = 7;

    CSpecialFolder();
    virtual ~CSpecialFolder();
    CSpecialFolder(const CSpecialFolder&) = delete;
    CSpecialFolder& operator=(const CSpecialFolder&) = delete;

    // Opens a special folder; 1 when it exists on disk, else 0 (also for numbers not served).
    int Open(int folderNumber);
    // The opened folder's path on disk ending in "/", so that path + "*.lnk" names its shortcuts;
    // "" when nothing is open.
    CString GetPath() const;
    // The opened folder as a Windows path of the system root; "" when nothing is open.
    CString GetWindowsPath() const { return m_windowsPath; }

private:
    CString m_path;
    CString m_windowsPath;
};
