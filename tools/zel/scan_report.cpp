#include "tools/zel/scan_report.h"

#include <cstdio>

#include "tools/zel/database_io.h"
#include "tools/zel/disinfection.h"
#include "tools/zel/json.h"
#include "tools/zel/safe_text.h"

namespace zel::cli {
namespace {

void WriteWhole(FILE* stream, const std::string& text) {
    if (text.empty()) return;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace

void ScanReport::Report(const std::string& path, const Verdict& verdict, const CureReport* cure,
                        const std::string& volume_of) {
    bool error = verdict.status == Verdict::error;
    bool failed_cure = cure && (!cure->deleted || !cure->failed_steps.empty());
    bool shown =
        error || failed_cure || (verdict.status == Verdict::clean ? m_options.ShowsClean() : m_options.ShowsFindings());
    std::string text;
    if (shown) {
        text = m_options.json ? JsonLine(path, verdict, cure, volume_of) : TextLines(path, verdict, cure, volume_of);
    }
    std::lock_guard lock(m_mutex);
    ++m_totals.files;
    m_totals.infected += verdict.status == Verdict::infected;
    m_totals.errors += error;
    m_totals.limits += verdict.status == Verdict::limit;
    // With --quiet only failures go out, and to standard error, where a script that keeps the
    // output quiet still sees them.
    WriteWhole(m_options.quiet && !m_options.json ? stderr : stdout, text);
}

std::string ScanReport::TextLines(const std::string& path, const Verdict& verdict, const CureReport* cure,
                                  const std::string& volume_of) const {
    std::string shown = TerminalText(path);
    switch (verdict.status) {
        case Verdict::infected:
            return shown + ": " + TerminalText(ToUtf8(m_base.GetTrojanName(verdict.index))) + " FOUND (type " +
                   TerminalText(ToUtf8(m_base.GetTrojanType(verdict.index))) + ", version " +
                   TerminalText(ToUtf8(m_base.GetTrojanVer(verdict.index))) + ")" +
                   (cure ? Disinfection::Outcome(*cure) : "") + "\n" +
                   (cure ? Disinfection::FailureLines(path, *cure) : "");
        case Verdict::error: return shown + ": ERROR " + TerminalText(verdict.message) + "\n";
        case Verdict::limit: return shown + ": LIMIT " + TerminalText(verdict.message) + "\n";
        case Verdict::clean: break;
    }
    if (!volume_of.empty()) return shown + ": OK (volume of " + TerminalText(volume_of) + ")\n";
    return shown + ": OK\n";
}

std::string ScanReport::JsonLine(const std::string& path, const Verdict& verdict, const CureReport* cure,
                                 const std::string& volume_of) const {
    static constexpr const char* kStatus[] = {"clean", "infected", "error", "limit"};
    std::string line = "{\"path\": " + JsonString(path) + ", \"status\": \"" + kStatus[verdict.status] + "\"";
    if (verdict.status == Verdict::infected) {
        line += ", \"index\": " + std::to_string(verdict.index) +
                ", \"type\": " + JsonString(ToUtf8(m_base.GetTrojanType(verdict.index))) +
                ", \"name\": " + JsonString(ToUtf8(m_base.GetTrojanName(verdict.index))) +
                ", \"version\": " + JsonString(ToUtf8(m_base.GetTrojanVer(verdict.index)));
    }
    if (cure) line += Disinfection::JsonFields(*cure);
    if (verdict.status == Verdict::error) line += ", \"error\": " + JsonString(verdict.message);
    if (verdict.status == Verdict::limit) line += ", \"limit\": " + JsonString(verdict.message);
    if (!volume_of.empty()) line += ", \"volume_of\": " + JsonString(volume_of);
    return line + "}\n";
}

ScanTotals ScanReport::Totals() const {
    std::lock_guard lock(m_mutex);
    return m_totals;
}

void ScanReport::PrintSummary(std::uint64_t scanned_bytes, double seconds, const std::string& extra) const {
    ScanTotals totals = Totals();
    char figures[96];
    std::snprintf(figures, sizeof figures, "Data scanned: %.2f MB\nTime: %.3f s\n",
                  static_cast<double>(scanned_bytes) / 1e6, seconds);
    std::string text = "\n----------- SCAN SUMMARY -----------\n";
    text += "Known trojans: " + Counted(static_cast<std::uint64_t>(m_base.GetSize()), "record", "records") + ", " +
            Counted(static_cast<std::uint64_t>(m_base.GetTotalSignatureCount()), "signature", "signatures") + "\n";
    text += "Scanned: " + Counted(static_cast<std::uint64_t>(totals.files), "file", "files") + "\n";
    text += "Infected: " + Counted(static_cast<std::uint64_t>(totals.infected), "file", "files") + "\n";
    text += "Errors: " + Counted(static_cast<std::uint64_t>(totals.errors), "file", "files") + "\n";
    text += "Limits reached: " + Counted(static_cast<std::uint64_t>(totals.limits), "file", "files") + "\n";
    text += figures + extra;
    WriteWhole(stdout, text);
}

}  // namespace zel::cli
