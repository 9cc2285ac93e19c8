// Files and folders as the updater handles them: temporary downloads, installation by atomic
// copy, and the housekeeping commands of an update script.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zel::platform {

enum class PathTarget { missing, file, folder, other, outside };

// The operations an update script may ask for; handed to the script runner so that tests and
// fuzzing never touch the real file system.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Last-modification time in seconds since 1970 (UTC), or nullopt when the status of `path`
    // cannot be read.
    virtual std::optional<std::int64_t> ModificationTime(const std::string& path) = 0;
    // Deletes one file. False when it could not be deleted.
    virtual bool RemoveFile(const std::string& path) = 0;
    // Creates one folder (no parents). False when it could not be created.
    virtual bool MakeFolder(const std::string& path) = 0;
    // What `relativePath` (relative to the current folder, "/"-separated, no ".." parts) names once
    // every symbolic link along it is followed. `outside` when it leads out of the current folder, or
    // when that cannot be ruled out (a dangling or unreadable link, an unreadable folder).
    virtual PathTarget Locate(const std::string& relativePath) = 0;
};

FileSystem& SystemFileSystem();

// The folder for temporary files ($TMPDIR, else /tmp), without a trailing slash.
std::string TempFolder();

// Creates an empty, uniquely named file in `folder` whose name starts with `prefix`; returns its
// path, or "" when none can be made.
std::string CreateTempFileIn(const std::string& folder, const std::string& prefix);

// Copies `source` over `target` so that `target` is either its old self or a complete copy, never a
// part. False when the copy failed; `target` is then untouched.
bool CopyFileReplacing(const std::string& source, const std::string& target);
// The same; on failure `error` says what could not be done and why ("cannot write T: reason").
bool CopyFileReplacing(const std::string& source, const std::string& target, std::string& error);

// Seconds since 1970 of a local date and time (daylight saving decided by the system), or nullopt
// when the fields do not form a valid local time.
std::optional<std::int64_t> LocalTimeToUnix(int year, int month, int day, int hour, int minute, int second);

// The seconds field (0-59) of the local wall clock now.
int LocalClockSecond();

}  // namespace zel::platform
