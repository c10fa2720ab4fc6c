#include "platform/platform.h"

namespace qv {

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    // Iterative matcher with one backtrack point for the last "*".
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        // A "*" in the pattern is always a wildcard, also facing a "*" in the name.
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::size_t directoryPartLength(std::string_view pattern, bool backslashSeparates) {
    // On Windows a drive prefix ("C:*.log") is a directory part as well.
    const std::size_t cut =
        pattern.find_last_of(backslashSeparates ? std::string_view("/\\:") : std::string_view("/"));
    return cut == std::string_view::npos ? 0 : cut + 1;
}

bool findNextFile(FileSearch& search, std::string& path) {
    return search.next(path);
}

} // namespace qv
