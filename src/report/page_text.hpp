// Text for people in the report page: escaped for HTML, numbers grouped by thousands.
#pragma once

#include <cstdint>
#include <string>

// `text` safe inside an element or a quoted attribute, shown as visible_text shows it: a name
// that is not UTF-8 reads the same on every page, whichever record it came from.
std::string html_escape(const std::string& text);

// 1234567 → "1,234,567".
std::string grouped(std::uint64_t value);

// `value` with `decimals` digits after the point and its whole part grouped: 1950.25, 1 → "1,950.3".
std::string grouped(double value, int decimals);

// A byte count in the largest binary unit that keeps it at or above 1: "64 MiB", "1.5 GiB".
std::string binary_size(std::uint64_t bytes);
