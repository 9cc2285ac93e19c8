// Splitting a path into its parts, for code that must judge every part of a path it was handed.
#pragma once

#include <string_view>
#include <vector>

namespace zel {

// The parts of `path` between any of `separators`, without the empty and "." parts that name no
// folder ("a//./b" gives "a", "b"). ".." parts are kept: whether they may appear is for the caller to
// decide. The views point into `path`.
inline std::vector<std::string_view> PathParts(std::string_view path, std::string_view separators = "/") {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(separators, start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

}  // namespace zel
