// How the reports name the four figures: the results file's names, the console's labels, and
// the report page's short names and hues.
#pragma once

#include "results/record.hpp"

inline constexpr const char* figure_names[figure_count] = {"write_with_cache", "write_without_cache", "read_with_cache",
                                                           "read_without_cache"};
inline constexpr const char* figure_labels[figure_count] = {
    "Writing time with cache ram", "Writing time without cache ram", "Reading time with cache ram",
    "Reading time without cache ram"};
inline constexpr const char* figure_short_names[figure_count] = {"Write with cache", "Write forced to the device",
                                                                 "Read with cache", "Read without cache"};
// Each figure's hue; the page draws a figure's passes in shades of it.
inline constexpr int figure_hues[figure_count] = {221, 262, 160, 24};
