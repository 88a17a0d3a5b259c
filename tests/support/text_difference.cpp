#include "support/text_difference.hpp"

#include <algorithm>

std::string where_texts_differ(const std::string& expected, const std::string& found) {
    if (expected == found) return "";
    const auto parted = std::mismatch(expected.begin(), expected.end(), found.begin(), found.end());
    const std::size_t at = static_cast<std::size_t>(parted.first - expected.begin());
    const std::size_t from = at < 200 ? 0 : at - 200;
    return "they differ at byte " + std::to_string(at) + " (of " + std::to_string(expected.size()) + " and " +
           std::to_string(found.size()) + ")\nexpected: " + expected.substr(from, 400) +
           "\nfound:    " + found.substr(from, 400);
}
