#include "tools/zel/path_filter.h"

#include "tools/zel/cli.h"

namespace zel::cli {

void PathFilter::ExcludeFiles(const std::string& expression, const std::string& option) {
    m_files.push_back(Compile(expression, option));
}

void PathFilter::ExcludeFolders(const std::string& expression, const std::string& option) {
    m_folders.push_back(Compile(expression, option));
}

std::regex PathFilter::Compile(const std::string& expression, const std::string& option) {
    try {
        return std::regex(expression, std::regex::extended | std::regex::nosubs);
    } catch (const std::regex_error& error) {
        throw Failure{option + " " + expression + " is not a valid extended regular expression (" + error.what() + ")"};
    }
}

bool PathFilter::Matches(const std::vector<std::regex>& expressions, const std::string& path) {
    for (const auto& expression : expressions) {
        try {
            if (std::regex_search(path, expression)) return true;
        } catch (const std::regex_error&) {
            // A path too complex for the matcher is scanned rather than left out unseen.
        }
    }
    return false;
}

}  // namespace zel::cli
