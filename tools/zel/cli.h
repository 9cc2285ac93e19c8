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
    Args(std::vector<std::string> words) : m_words(std::move(words)) {}

    // Takes "--name VALUE" or "--name=VALUE"; nullopt when absent. Throws Failure when the value is missing.
    std::optional<std::string> TakeOption(const std::string& name);
    // Takes every occurrence of a repeatable option, in order.
    std::vector<std::string> TakeAll(const std::string& name);
    // Takes a flag without value; true when it was present.
    bool TakeFlag(const std::string& name);
    // After the options are taken: the remaining words. Throws Failure for an unknown option.
    std::vector<std::string> Positionals();
    bool Empty() const { return m_words.empty(); }
    // Removes and returns the first word that is not an option (the subcommand name), or "" when
    // none is left. Options standing before it stay in place, so "zel db --db F list" works.
    std::string TakeFirst();

private:
    std::vector<std::string> m_words;
};

// The database file: --db FILE, else $ZEL_DB, else "default.tdb" in the current folder.
std::string DatabasePath(Args& args);

// Parses a decimal number, or throws Failure naming `what`.
long long ParseNumber(const std::string& text, const std::string& what);

// Parses a size of at least one byte: a number with an optional K, M or G (binary multiples), or
// throws Failure naming `what`.
std::uint64_t ParseSize(const std::string& text, const std::string& what);

}  // namespace zel::cli
