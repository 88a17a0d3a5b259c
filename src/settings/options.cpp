#include "settings/options.hpp"

#include <algorithm>

#include "platform/command_line.hpp"

namespace {

constexpr std::uint32_t max_files_per_worker = 1000000;

// In the help's order; the results file's keys keep their own order through json_place.
constexpr option_row options[] = {
    {.name = "-?", .value = option_value::first_argument, .help = "This help"},
    {.name = "-path",
     .value = option_value::directory,
     .text = &run_settings::target_directory,
     .default_words = "none, required",
     .help = "Path that will be tested",
     .help_shows_default = true},
    {.name = "-block",
     .value = option_value::number,
     .number = &run_settings::block_kib,
     .minimum = 1,
     .maximum = 1024,
     .default_number = 100,
     .help = "Size of one block (in Ko)",
     .help_shows_default = true,
     .json_key = "block_kib",
     .json_place = 0,
     .compared = true,
     .ranks_agree = true},
    {.name = "-file",
     .value = option_value::number,
     .number = &run_settings::file_mib,
     .minimum = 1,
     .maximum = 102400,
     .default_number = 1024,
     .help = "Size total per file (in Mo)",
     .help_shows_default = true,
     .json_key = "file_mib",
     .json_place = 1,
     .compared = true,
     .ranks_agree = true},
    {.name = "-file_number",
     .value = option_value::number,
     .number = &run_settings::files_per_worker,
     .minimum = 1,
     .maximum = max_files_per_worker,
     .default_number = 1,
     .help = "Number of files to write",
     .help_shows_default = true,
     .json_key = "file_number",
     .json_place = 2,
     .compared = true,
     .ranks_agree = true},
    {.name = "-thread",
     .value = option_value::number,
     .number = &run_settings::worker_count,
     .minimum = 1,
     .maximum = 100,
     .default_number = 1,
     .help = "Number of thread",
     .help_shows_default = true,
     .json_key = "thread",
     .json_place = 3,
     .compared = true,
     .ranks_agree = true},
    {.name = "-cache",
     .value = option_value::number,
     .number = &run_settings::controller_cache_gib,
     .minimum = 0,
     .maximum = 100,
     .default_number = 1,
     .help = "Size of controller's cache (in Go)",
     .help_shows_default = true,
     .help_continuation = "0 to disable the cache flush process",
     .json_key = "cache_gib",
     .json_place = 4,
     .compared = true,
     .ranks_agree = true},
    // The ranks settle -fill apart: quorlane-mpi refuses it.
    {.name = "-fill",
     .value = option_value::number,
     .number = &run_settings::fill_percent,
     .minimum = 1,
     .maximum = 100,
     .default_words = "off",
     .help = "Percent of the free space to write",
     .json_key = "fill_percent",
     .json_only_when_given = true,
     .compared = true},
    {.name = "-time",
     .value = option_value::number,
     .number = &run_settings::phase_seconds,
     .minimum = 1,
     .maximum = 86400,
     .default_words = "no limit",
     .help = "Seconds a phase may last at most",
     .json_key = "time_limit_s",
     .json_only_when_given = true,
     .compared = true},
    {.name = "-latency",
     .value = option_value::none,
     .turned_on = &run_settings::latency,
     .default_words = "off",
     .help = "Time every call: percentiles, longest stalls",
     .json_key = "latency",
     .json_place = 10,
     .compared = true},
    {.name = "-clean",
     .value = option_value::none,
     .turned_on = &run_settings::clean,
     .default_words = "off",
     .help = "Remove the files of runs that ended without removing them",
     .json_key = "clean",
     .json_only_when_given = true},
    {.name = "-version", .value = option_value::first_argument, .help = "Print the version and exit"},
    {.name = "-repeat",
     .value = option_value::number,
     .number = &run_settings::pass_count,
     .minimum = 1,
     .maximum = 100,
     .default_number = 1,
     .help = "Passes of the whole run (median)",
     .help_shows_default = true,
     .json_key = "repeat",
     .json_place = 5,
     .compared = true,
     .ranks_agree = true},
    // Only rank 0 writes the results file and the page: a rank given other names would be ignored.
    {.name = "-json",
     .value = option_value::file_name,
     .text = &run_settings::results_file,
     .default_words = "none",
     .help = "Write the results to this JSON file",
     .json_key = "json",
     .json_place = 6,
     .ranks_agree = true},
    {.name = "-verify",
     .value = option_value::none,
     .turned_on = &run_settings::verify,
     .default_words = "off",
     .help = "Check every byte read against what was written",
     .json_key = "verify",
     .json_place = 8,
     .compared = true,
     .ranks_agree = true},
    {.name = "-direct",
     .value = option_value::none,
     .turned_on = &run_settings::direct,
     .default_words = "off",
     .help = "Unbuffered I/O: bypass the OS cache",
     .json_key = "direct",
     .json_place = 9,
     .compared = true,
     .ranks_agree = true},
    {.name = "-html",
     .value = option_value::file_name,
     .text = &run_settings::report_page,
     .default_words = "none",
     .help = "Write a report with charts to this HTML file",
     .json_key = "html",
     .json_place = 7,
     .ranks_agree = true},
};

}  // namespace

std::span<const option_row> option_table() { return options; }

run_settings default_settings(std::span<const option_row> table) {
    run_settings settings;
    for (const option_row& row : table)
        if (row.number != nullptr) settings.*row.number = row.default_number;
    return settings;
}

run_settings default_settings() { return default_settings(options); }

const option_row* option_named(std::span<const option_row> table, const char* argument) {
    for (const option_row& row : table)
        if (row.value != option_value::first_argument && compare_ignoring_case(argument, row.name) == 0) return &row;
    return nullptr;
}

std::vector<const option_row*> results_file_order(std::span<const option_row> table) {
    std::vector<const option_row*> rows;
    for (const option_row& row : table)
        if (row.json_key != nullptr) rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(), [](const option_row* a, const option_row* b) {
        if (a->json_only_when_given != b->json_only_when_given) return b->json_only_when_given;
        return !a->json_only_when_given && a->json_place < b->json_place;
    });
    return rows;
}

bool option_given(const option_row& row, const run_settings& settings) {
    if (row.number != nullptr) return settings.*row.number != row.default_number;
    if (row.turned_on != nullptr) return settings.*row.turned_on;
    return row.text != nullptr && !(settings.*row.text).empty();
}

std::string option_value_text(const option_row& row, const run_settings& settings) {
    if (row.turned_on != nullptr) return settings.*row.turned_on ? "yes" : "no";
    if (row.text != nullptr) return settings.*row.text;
    if (row.number == nullptr) return std::string();
    if (row.json_only_when_given && !option_given(row, settings)) return row.default_words;
    return std::to_string(settings.*row.number);
}
