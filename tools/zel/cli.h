// Command-line plumbing shared by the zel subcommands: argument cursor, options, exit codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zel::cli {

// Exit statuses of every zel command.
enum Exit : int { kOk = 0, kFound = 1, kError = 2 };

// Raised for a usage or run-time error; main() prints "zel: MESSAGE" and exits with kError.
struct Failure {
    std::string message;
};

// Raised when an interrupt (Ctrl-C, a termination or hang-up signal) stops a run, once what it
// was doing is cleaned up; main() prints "zel: interrupted" and exits with kError.
struct Interrupted {};

// The arguments of one subcommand, consumed front to back. Options may stand anywhere; "--"
// ends them.
class Args {
public:
    // `command` names the subcommand in the hint that goes with an unknown option.
    explicit Args(std::vector<std::string> words, std::string command = "")
        : m_words(std::move(words)), m_command(std::move(command)) {}

    // Takes "--name VALUE" or "--name=VALUE" (a short "-n" also "-nVALUE"); nullopt when absent.
    // Throws Failure when the value is missing.
    std::optional<std::string> TakeOption(const std::string& name);
    // The same for an option with a short form: the last one given of either wins.
    std::optional<std::string> TakeOption(const std::string& name, const std::string& short_name);
    // Takes every occurrence of a repeatable option, in order.
    std::vector<std::string> TakeAll(const std::string& name);
    // Takes a flag without value; true when it was present.
    bool TakeFlag(const std::string& name);
    bool TakeFlag(const std::string& name, const std::string& short_name);
    // After the options are taken: the remaining words ("-" alone is one). Throws Failure for an
    // unknown option: "unknown option X (try zel COMMAND --help)".
    std::vector<std::string> Positionals();
    bool Empty() const { return m_words.empty(); }
    // Removes and returns the first word that is not an option (the subcommand name), or "" when
    // none is left. Options standing before it stay in place, so "zel db --db F list" works.
    std::string TakeFirst();

private:
    std::vector<std::string> m_words;
    std::string m_command;
};

// The database file: --db FILE, else $ZEL_DB, else "default.tdb" in the current folder.
std::string DatabasePath(Args& args);

// "1 file", "2 files".
std::string Counted(std::uint64_t count, const std::string& singular, const std::string& plural);

// Parses a decimal number, or throws Failure naming `what`.
long long ParseNumber(const std::string& text, const std::string& what);

// Parses a size of at least one byte: a number with an optional K, M or G (binary multiples), or
// throws Failure naming `what`.
std::uint64_t ParseSize(const std::string& text, const std::string& what);

}  // namespace zel::cli
