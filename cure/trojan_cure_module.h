// CTrojanCureModule: reads a suspect file's leading bytes, asks the database which trojan they
// belong to, and disinfects the system root of a found trojan: ends the processes running the
// file, cleans the start-up places the record names and deletes the file. Each destructive step is
// aimed at what the record names and nothing else (see cure/cure_files.h); whatever could not be
// done is kept in a report beside the result.
#pragma once

#include <memory>
#include <string>

#include "cure/cure_export.h"
#include "cure/cure_report.h"
#include "database/trojan_base2.h"
#include "framework/framework_types.h"
#include "framework/hkey.h"

class ZEL_CURE_API CTrojanCureModule {
public:
    // Files shorter than this never match; longer than the window, only its first bytes are read.
    static constexpr std::uint64_t kMinimumAttachBytes = 1024;
    static constexpr std::uint64_t kAttachWindowBytes = 0x200000;
    // The wait after each process ended, so that the system lets go of its program file.
    static constexpr DWORD kKillWaitMs = 1000;

    // The database must outlive the module.
    explicit CTrojanCureModule(CTrojanBase2* base);
    // Copies take their own copy of the attached content.
    CTrojanCureModule(const CTrojanCureModule& other);
    CTrojanCureModule& operator=(const CTrojanCureModule& other);
    virtual ~CTrojanCureModule();

    // 1 when the file begins with "MZ", else 0 (also when it cannot be read).
    int IsExecutableFile(const CString& path);
    // Reads up to the first 2 MiB of the file; 1, or 0 when it cannot be read. A file under 1,024
    // bytes attaches nothing (its length is kept) and so never matches.
    int AttachFile(const CString& path);
    void DetachFile();
    // The first record at or after `start` whose signatures match the content, or -1.
    int SearchTrojan(int start, int mode);
    // Disinfects the system root of the file at `path` (a path on disk) for the record at `index`.
    // Nonzero when the file was deleted. GetReport then says what could not be done.
    int DisinfectTrojan(const CString& path, int index);
    // What the last DisinfectTrojan left undone, step by step.
    const CureReport& GetReport() const { return m_report; }

    // Ends every process whose program file is `path`: both resolved to their real file and compared
    // exactly (a file whose name differs only in letter case is another program). The calling
    // process and the processes that started it are never ended.
    static void DisinfectTrojanFromMemory(const char* path);
    static void KillInfectedProcess(DWORD processId);

    int GetDataLength() const { return m_nDataLength; }

protected:
    void CureWinstartBat();
    void CureWininitIni();
    void CureAutoexecBat();
    void CureWinIni();
    void CureSystemIni();
    void CureStartUp();
    void CureAutoeraseWininit();
    void CureTracerRegistry();
    void CureRegistry(HKEY root, const CString& subkey);
    CString GetShortcutPath(const CString& shortcutPath);

    CTrojanBase2* m_pBase;
    std::unique_ptr<BYTE[]> m_pData;
    int m_nDataLength = 0;
    CString m_strFilePath;
    CString m_strFileName;
    CureReport m_report;

private:
    // Replaces, in the Windows folder's file `name`, the line holding the first mention of the file
    // name by `replacement` when the line begins with one of `prefixes` (tried in order).
    void EmptyNamingLine(const char* name, const std::pair<const char*, const char*>* prefixes, int count);
    // Deletes a file of the Windows folder.
    void DeleteWindowsFile(const char* name);
    // The target of a shortcut as a path on disk; `unreadable` says why a file could not be read.
    CString ShortcutTarget(const CString& shortcutPath, std::string* unreadable);
    // DisinfectTrojanFromMemory, writing what it could not end into `report` when given.
    static void EndProcesses(const std::string& path, CureReport* report);
};
