// How the reports name the four figures: the results file's names, and the report page's
// short names and hues (their labels are the console's, in common/messages.hpp); and how a
// run ended.
#pragma once

#include <string>

#include "results/record.hpp"

inline constexpr const char* figure_names[figure_count] = {"write_with_cache", "write_without_cache", "read_with_cache",
                                                           "read_without_cache"};
inline constexpr const char* figure_short_names[figure_count] = {"Write with cache", "Write forced to the device",
                                                                 "Read with cache", "Read without cache"};
// Each figure's hue; the page draws a figure's passes in shades of it.
inline constexpr int figure_hues[figure_count] = {221, 262, 160, 24};

// The figure a results file names, -1 for a name that is none of the four.
inline int figure_index(const std::string& name) {
    for (int kind = 0; kind < figure_count; ++kind)
        if (name == figure_names[kind]) return kind;
    return -1;
}

// The results file's `status`, which is also the page's.
inline const char* status_name(run_status status) {
    switch (status) {
        case run_status::completed: return "completed";
        case run_status::error: return "error";
        case run_status::interrupted: return "interrupted";
    }
    return "";
}
