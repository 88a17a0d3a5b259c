// Where two texts that should be the same part, shown so that a failure says what differs.
#pragma once

#include <string>

// Empty when `expected` and `found` are equal; otherwise the first byte where they differ and
// a stretch of each around it.
std::string where_texts_differ(const std::string& expected, const std::string& found);
