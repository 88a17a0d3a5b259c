// The option table: every option once, with all that the help, the parser, the results file,
// quorlane-report's comparison and the ranks of quorlane-mpi need to know of it. A new option is
// a new row here; the README's option table is checked against it by the tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "settings/settings.hpp"

// What follows an option's name on the command line.
enum class option_value {
    directory,       // an existing directory: -path
    number,          // a whole number in [minimum, maximum]
    file_name,       // a file to write, kept as typed; never empty
    none,            // a switch: its presence turns it on
    first_argument,  // an action taken only as the first argument (the help, the version)
};

struct option_row {
    const char* name;
    option_value value;
    // Where the option's value goes in run_settings: one of the three, by `value`.
    std::uint32_t run_settings::*number = nullptr;
    bool run_settings::*turned_on = nullptr;
    std::string run_settings::*text = nullptr;
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
    std::uint32_t default_number = 0;
    // The default as the README's option table says it, for an option whose default is no number.
    const char* default_words = nullptr;
    // The help's line, its default shown after it or not, and the line under it, if any.
    const char* help = nullptr;
    bool help_shows_default = false;
    const char* help_continuation = nullptr;
    // Its key in the results file's settings; written only when given (not at its default) or
    // always, and then at its place among the keys always written.
    const char* json_key = nullptr;
    bool json_only_when_given = false;
    int json_place = 0;
    // quorlane-report names it among the settings that differ between runs.
    bool compared = false;
    // Every rank of quorlane-mpi must be given the same value.
    bool ranks_agree = false;
};

// Every option, in the help's order.
std::span<const option_row> option_table();

// The row of `options` for an option given as `argument` (names ignore case), null for none;
// never a first-argument action.
const option_row* option_named(std::span<const option_row> options, const char* argument);

// The option's value in `settings` as quorlane-report shows it: the number, "yes" or "no" for a
// switch, the text of a file name or directory, the row's words for a value left at its default
// when those words replace it.
std::string option_value_text(const option_row& row, const run_settings& settings);

// The rows of `options` with a key in the results file, in the file's order: those always
// written at their places, then those written only when given, in the table's order.
std::vector<const option_row*> results_file_order(std::span<const option_row> options);

// Whether `settings` holds the option at other than its default.
bool option_given(const option_row& row, const run_settings& settings);
