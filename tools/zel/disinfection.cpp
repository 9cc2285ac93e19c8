#include "tools/zel/disinfection.h"

#include "cure/trojan_cure_module.h"
#include "platform/files.h"
#include "tools/zel/cli.h"
#include "tools/zel/json.h"
#include "tools/zel/safe_text.h"

namespace zel::cli {

CureReport Disinfection::Run(const std::string& path, int index) {
    std::lock_guard lock(m_mutex);
    CTrojanCureModule module(&m_base);
    // Absolute but not resolved: the cure must see whether a symbolic link lies on the way.
    module.DisinfectTrojan(platform::AbsolutePath(path), index);
    CureReport report = module.GetReport();
    if (report.deleted) {
        ++m_removed;
    } else {
        ++m_not_removed;
    }
    m_failed_steps += static_cast<int>(report.failed_steps.size());
    return report;
}

bool Disinfection::AllDone() const {
    std::lock_guard lock(m_mutex);
    return m_not_removed == 0 && m_failed_steps == 0;
}

std::string Disinfection::Outcome(const CureReport& report) { return report.deleted ? ", removed" : ", not removed"; }

std::string Disinfection::FailureLines(const std::string& path, const CureReport& report) {
    std::string lines;
    for (const auto& failure : report.failed_steps) {
        lines += TerminalText(path) + ": " + TerminalText(failure.Text()) + "\n";
    }
    return lines;
}

std::string Disinfection::JsonFields(const CureReport& report) {
    std::string steps;
    for (const auto& failure : report.failed_steps) {
        steps += std::string(steps.empty() ? "" : ", ") + "{\"step\": " + JsonString(failure.step) +
                 ", \"target\": " + JsonString(failure.target) + ", \"reason\": " + JsonString(failure.reason) +
                 ", \"message\": " + JsonString(failure.Text()) + "}";
    }
    return std::string(", \"disinfected\": ") + (report.deleted ? "true" : "false") + ", \"failed_steps\": [" + steps +
           "]";
}

std::string Disinfection::Summary() const {
    std::lock_guard lock(m_mutex);
    return "Disinfection: " + std::to_string(m_removed) + " removed, " + std::to_string(m_not_removed) +
           " not removed, " + Counted(static_cast<std::uint64_t>(m_failed_steps), "failed step", "failed steps") + ".";
}

}  // namespace zel::cli
