// The disinfection half of `zel scan --disinfect`: runs the cure module on each file found, keeps
// count, and says what each cure left undone, in text and in JSON.
#pragma once

#include <mutex>
#include <string>

#include "cure/cure_report.h"
#include "database/trojan_base2.h"

namespace zel::cli {

class Disinfection {
public:
    explicit Disinfection(CTrojanBase2& base) : m_base(base) {}

    // Disinfects the system root of the file at `path` (as the user named it) for record `index`.
    // Scanning workers call it from several threads; it runs one cure at a time, since a cure ends
    // processes and edits the start-up places that another cure may be editing.
    CureReport Run(const std::string& path, int index);

    // ", removed" or ", not removed" for the FOUND line.
    static std::string Outcome(const CureReport& report);
    // One line per failed step: "PATH: registry value ... could not be removed: REASON\n".
    static std::string FailureLines(const std::string& path, const CureReport& report);
    // The fields for the file's JSON object: ", \"disinfected\": ..., \"failed_steps\": [...]".
    static std::string JsonFields(const CureReport& report);
    // "Disinfection: R removed, N not removed, F failed steps."
    std::string Summary() const;
    // True when every file found was removed and every step succeeded.
    bool AllDone() const;

private:
    CTrojanBase2& m_base;
    mutable std::mutex m_mutex;
    int m_removed = 0;
    int m_not_removed = 0;
    int m_failed_steps = 0;
};

}  // namespace zel::cli
