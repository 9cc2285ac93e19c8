#include "tools/zel/cli.h"

#include <cerrno>
#include <cstdlib>

namespace zel::cli {

std::optional<std::string> Args::TakeOption(const std::string& name) {
    for (size_t i = 0; i < m_words.size(); ++i) {
        if (m_words[i] == "--") break;
        if (m_words[i] == name) {
            if (i + 1 >= m_words.size()) throw Failure{name + " needs a value"};
            std::string value = m_words[i + 1];
            m_words.erase(m_words.begin() + static_cast<long>(i), m_words.begin() + static_cast<long>(i) + 2);
            return value;
        }
        bool joined = m_words[i].rfind(name + "=", 0) == 0;
        bool attached = name.size() == 2 && m_words[i].size() > 2 && m_words[i].rfind(name, 0) == 0;
        if (joined || attached) {
            std::string value = m_words[i].substr(name.size() + (joined ? 1 : 0));
            m_words.erase(m_words.begin() + static_cast<long>(i));
            return value;
        }
    }
    return std::nullopt;
}

std::optional<std::string> Args::TakeOption(const std::string& name, const std::string& short_name) {
    std::optional<std::string> value;
    while (auto taken = TakeOption(name)) value = taken;
    while (auto taken = TakeOption(short_name)) value = taken;
    return value;
}

bool Args::TakeFlag(const std::string& name, const std::string& short_name) {
    bool found = false;
    while (TakeFlag(name)) found = true;
    while (TakeFlag(short_name)) found = true;
    return found;
}

std::vector<std::string> Args::TakeAll(const std::string& name) {
    std::vector<std::string> values;
    while (auto value = TakeOption(name)) values.push_back(*value);
    return values;
}

bool Args::TakeFlag(const std::string& name) {
    for (size_t i = 0; i < m_words.size(); ++i) {
        if (m_words[i] == "--") break;
        if (m_words[i] == name) {
            m_words.erase(m_words.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

std::vector<std::string> Args::Positionals() {
    std::vector<std::string> result;
    bool options_ended = false;
    for (const auto& word : m_words) {
        if (!options_ended && word == "--") {
            options_ended = true;
            continue;
        }
        if (!options_ended && word.size() > 1 && word[0] == '-') {
            std::string help = m_command.empty() ? "zel --help" : "zel " + m_command + " --help";
            throw Failure{"unknown option " + word + " (try " + help + ")"};
        }
        result.push_back(word);
    }
    m_words.clear();
    return result;
}

std::string Args::TakeFirst() {
    // Options that take a value, so that their value is not mistaken for the subcommand.
    static const char* const kValued[] = {"--db", "--system-root", "--mode"};
    for (size_t i = 0; i < m_words.size(); ++i) {
        const std::string& word = m_words[i];
        if (word == "--help" || word == "-h") return word;
        if (!word.empty() && word[0] == '-') {
            for (const char* valued : kValued) {
                if (word == valued) ++i;
            }
            continue;
        }
        std::string first = word;
        m_words.erase(m_words.begin() + static_cast<long>(i));
        return first;
    }
    return {};
}

std::string DatabasePath(Args& args) {
    if (auto path = args.TakeOption("--db")) return *path;
    if (const char* env = std::getenv("ZEL_DB"); env && *env) return env;
    return "default.tdb";
}

std::string Counted(std::uint64_t count, const std::string& singular, const std::string& plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

long long ParseNumber(const std::string& text, const std::string& what) {
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0) throw Failure{what + " is not a number: " + text};
    return value;
}

std::uint64_t ParseSize(const std::string& text, const std::string& what) {
    std::string digits = text;
    unsigned shift = 0;
    if (!digits.empty()) {
        switch (digits.back()) {
            case 'k':
            case 'K': shift = 10; break;
            case 'm':
            case 'M': shift = 20; break;
            case 'g':
            case 'G': shift = 30; break;
            default: break;
        }
        if (shift) digits.pop_back();
    }
    bool valid = !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
    errno = 0;
    unsigned long long value = valid ? std::strtoull(digits.c_str(), nullptr, 10) : 0;
    if (!valid || errno != 0 || value == 0 || value > (~0ull >> shift)) {
        throw Failure{what + " is not a size of at least one byte (a number, optionally with K, M or G): " + text};
    }
    return static_cast<std::uint64_t>(value) << shift;
}

}  // namespace zel::cli
