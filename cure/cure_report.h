// What one disinfection left undone. DisinfectTrojan answers only whether the file was deleted;
// the report says, step by step, what could not be cleaned and why, so that a half-done cure is
// never taken for a whole one. A step that found nothing to clean is no failure.
#pragma once

#include <string>
#include <vector>

struct CureFailure {
    std::string step;     // which step: "processes", "winstart.bat", "wininit.ini", "autoexec.bat", "win.ini",
                          // "system.ini", "startup-folder", "wininit-request", "open-commands", "registry",
                          // "delete"
    std::string subject;  // what kind of thing was to be cleaned: "file", "process", "registry value", ...
    std::string target;   // which one: a path, a process, a registry key or value (in UTF-8)
    std::string action;   // what could not be done to it: "deleted", "cleaned", "ended", "removed", ...
    std::string reason;   // why not

    // One line for the user, e.g. "registry value HKEY_CURRENT_USER\...\Run\Evil could not be removed:
    // Wine is running on /home/u/.wine".
    std::string Text() const { return subject + " " + target + " could not be " + action + ": " + reason; }
};

struct CureReport {
    bool deleted = false;  // the file itself is gone
    std::vector<CureFailure> failed_steps;

    void Fail(CureFailure failure) { failed_steps.push_back(std::move(failure)); }
    bool Complete() const { return deleted && failed_steps.empty(); }
};
