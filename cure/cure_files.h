// The file side of the cure: where each destructive step may act, and acting there with every
// failure written into the report. A path is acted on as named when no symbolic link lies on it. A
// file reached through a link (the file itself, or a folder on its way such as the Windows or the
// Start-up folder) is acted on at its real place only when that lies in one of the step's areas:
// the system root's folder and, for a file named by a Windows path, the folder of its drive (Wine's
// dosdevices may map a drive outside the root, z: to "/": what a drive reaches is the root's too).
// Anything but a regular file is refused without being opened.
#pragma once

#include <string>
#include <vector>

#include "cure/cure_report.h"
#include "platform/system_root.h"

class CTextBuffer;

namespace zel::cure {

// The same program file: both paths resolved to their real file (symbolic links, "." and ".."),
// then compared exactly. Names that differ only in letter case are different files.
bool SameFile(const std::string& a, const std::string& b);

class CureFiles {
public:
    // A file the cure may act on: its path on disk and the real folders a link may lead into.
    struct Place {
        std::string disk;  // "" when the file has no place on disk (a Windows path with no drive)
        std::vector<std::string> areas;
    };
    // What a step is, for its failures: e.g. {"win.ini", "file", "cleaned"}.
    struct Step {
        const char* step;
        const char* subject;
        const char* action;
    };

    CureFiles(platform::SystemRoot* root, CureReport& report);

    // A file named by a Windows path of the root, and one named by its path on disk.
    Place WindowsPlace(const std::string& windows_path) const;
    Place DiskPlace(const std::string& disk_path) const;
    // A file in a folder that a Windows path names (the Start-up folder).
    Place PlaceIn(const std::string& folder_windows_path, const std::string& disk_path) const;

    // Deletes the file. Nothing there is no failure, unless `missing_fails`. True when it is gone.
    bool Delete(const Place& place, const Step& step, bool missing_fails = false);
    // True when the cure may look at what the place holds; false, reported, for a link out of the
    // step's areas (left alone unread).
    bool Examine(const Place& place, const Step& step);
    // Reads the file: false when it is not there (no failure) or cannot be read (a failure).
    bool Load(const Place& place, const Step& step, CTextBuffer& buffer);
    // Writes the file atomically, keeping its owner, group and mode.
    bool Save(const Place& place, const Step& step, const CTextBuffer& buffer);
    // The path to act on; "" with `refusal` set when a link leads out of the step's areas.
    std::string RealPlace(const Place& place, std::string& refusal) const;

    void Fail(const Step& step, const std::string& target, const std::string& reason);

private:
    platform::SystemRoot* m_root;
    CureReport& m_report;
};

}  // namespace zel::cure
