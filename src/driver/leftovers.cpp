#include <algorithm>
#include <map>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "driver/driver.hpp"
#include "platform/listed_files.hpp"
#include "platform/file_io.hpp"
#include "report/page_text.hpp"
#include "run/run_marker.hpp"
#include "settings/settings.hpp"

namespace {

// Larger than any marker a run writes: thousands of passes' prefixes.
constexpr std::size_t marker_limit = 4 * 1024 * 1024;

struct dead_run {
    listed_file marker;
    std::vector<listed_file> files;
};

std::string count_text(std::uint64_t files) {
    return files == 1 ? std::string(messages::one_file)
                      : format_text(messages::file_count, static_cast<unsigned long long>(files));
}

// The dead runs' files in `directory`. A file counts only when its dead run's marker claims it,
// no marker of a run that may be alive claims it too, and it has the marker's owner: a marker
// written by another user, or by hand, never makes a run remove someone else's file.
std::vector<dead_run> dead_runs_in(const std::string& directory) {
    std::vector<listed_file> entries;
    if (!list_files(directory, "vellumcrate_", entries)) return {};
    std::vector<std::pair<listed_file, run_marker>> dead;
    std::vector<run_marker> alive;
    for (const listed_file& entry : entries) {
        if (!is_marker_name(entry.name)) continue;
        std::string text;
        run_marker marker;
        if (!read_small_file(directory + entry.name, marker_limit, text)) continue;
        // A marker whose header is not all there names no file: its run, if it still runs, has
        // created none yet (it writes the header first); if it was cut by a power failure, it
        // must not hide the other dead runs' files.
        switch (parse_run_marker(text, marker)) {
            case marker_reading::foreign:
            case marker_reading::unfinished: break;
            case marker_reading::whole:
                if (liveness_of(marker.owner) == process_liveness::gone)
                    dead.emplace_back(entry, marker);
                else
                    alive.push_back(marker);
                break;
        }
    }
    std::vector<dead_run> runs;
    for (const auto& [marker_entry, marker] : dead) {
        dead_run run{marker_entry, {}};
        for (const listed_file& entry : entries) {
            if (is_marker_name(entry.name) || !claims(marker, entry.name) || entry.owner != marker_entry.owner) continue;
            const bool claimed_by_live = std::any_of(alive.begin(), alive.end(),
                                                     [&entry](const run_marker& live) { return claims(live, entry.name); });
            if (!claimed_by_live) run.files.push_back(entry);
        }
        runs.push_back(run);
    }
    return runs;
}

}  // namespace

void settle_leftovers(const run_state& state) {
    const run_settings& settings = state.settings;
    const std::string& directory = settings.target_directory;
    const std::vector<dead_run> runs = dead_runs_in(directory);
    std::uint64_t files = 0, bytes = 0, removed_files = 0, removed_bytes = 0;
    for (const dead_run& run : runs) {
        bool all_removed = true;
        for (const listed_file& file : run.files) {
            ++files;
            bytes += file.bytes;
            if (!settings.clean) continue;
            std::string reason;
            if (remove_file(state.directory, file.name, reason)) {
                ++removed_files;
                removed_bytes += file.bytes;
            } else {
                all_removed = false;
                print_on_own_line(format_text(messages::leftover_not_removed, (directory + file.name).c_str(), reason.c_str()));
            }
        }
        // The marker goes last: while a file it names remains, a later -clean still finds it.
        std::string reason;
        if (settings.clean && all_removed) remove_file(state.directory, run.marker.name, reason);
    }
    if (!settings.clean && files > 0)
        print_on_own_line(format_text(messages::leftovers_found, directory.c_str(), count_text(files).c_str(),
                                      binary_size(bytes).c_str()));
    if (removed_files > 0)
        print_on_own_line(format_text(messages::leftovers_removed, count_text(removed_files).c_str(),
                                      binary_size(removed_bytes).c_str(), directory.c_str()));
}
