// The option table drives the help, the parser and the results file's settings: every row
// reaches each of them, a row added to the table reaches them all, and the README's option
// table says what the table says.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "compare/comparison.hpp"
#include "compare/results_reader.hpp"
#include "report/json_report.hpp"
#include "settings/options.hpp"
#include "settings/settings.hpp"
#include "support/temporary_directory.hpp"

namespace {

// The table with one more row, for an option no run has: it stores into -fill's setting.
std::vector<option_row> table_with_dummy_row() {
    std::vector<option_row> table(option_table().begin(), option_table().end());
    table.push_back({.name = "-dummy",
                     .value = option_value::number,
                     .number = &run_settings::fill_percent,
                     .minimum = 2,
                     .maximum = 9,
                     .default_number = 3,
                     .help = "A row added in the test",
                     .help_shows_default = true,
                     .json_key = "dummy",
                     .json_place = 99,
                     .compared = true});
    return table;
}

parsed_arguments parse_with(std::span<const option_row> table, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "quorlane");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    ::testing::internal::CaptureStdout();
    parsed_arguments parsed = parse_arguments(static_cast<int>(argv.size()), argv.data(), table);
    ::testing::internal::GetCapturedStdout();
    return parsed;
}

// The settings quorlane-report reads from a results file's `settings` object, and its fault.
run_settings settings_read(const checked_document& settings, std::span<const option_row> table) {
    json_reading reading;
    const run_settings read = settings_of(reading, document_root(settings), table);
    EXPECT_EQ(reading.fault, "");
    return read;
}

std::string reading_fault(const checked_document& settings, std::span<const option_row> table) {
    json_reading reading;
    settings_of(reading, document_root(settings), table);
    return reading.fault;
}

// What quorlane-report says differs between two runs of these settings, on the same machine.
std::vector<setting_difference> differences_between(const run_settings& first, const run_settings& second,
                                                    std::span<const option_row> table) {
    std::vector<compared_run> runs(2);
    runs[0].read.record.settings = first;
    runs[1].read.record.settings = second;
    return differing_settings(runs, table);
}

// A value the option accepts other than its default, as typed on the command line.
std::string other_value(const option_row& row) {
    return std::to_string(row.default_number == row.maximum ? row.minimum : row.maximum);
}

}  // namespace

// Every option of the table is in the help, is read by the parser into its setting, and is in
// the results file's settings at its value when it has a key.
TEST(OptionTable, EveryOptionReachesTheHelpTheParserAndTheResultsFile) {
    temporary_directory dir;
    const std::string help = help_text(option_table());
    for (const option_row& row : option_table()) {
        SCOPED_TRACE(row.name);
        std::string line_start = "\n";
        line_start.append(row.name).append(" ");
        EXPECT_NE(help.find(line_start), std::string::npos);
        if (row.value == option_value::first_argument || row.value == option_value::directory) continue;
        std::vector<std::string> arguments{"-path", dir.path_name, row.name};
        if (row.value == option_value::number) arguments.push_back(other_value(row));
        if (row.value == option_value::file_name) arguments.push_back("named");
        const parsed_arguments parsed = parse_with(option_table(), arguments);
        // -fill refuses a directory with too little room, after it has read its value.
        if (parsed.end != parse_end::run) {
            EXPECT_STREQ(row.name, "-fill") << parsed.refusal.message;
        }
        EXPECT_TRUE(option_given(row, parsed.settings));
        if (row.json_key == nullptr) continue;
        const nlohmann::ordered_json settings = settings_json(parsed.settings, option_table());
        ASSERT_TRUE(settings.contains(row.json_key));
        EXPECT_EQ(settings[row.json_key].dump(), row.value == option_value::number ? other_value(row)
                                                 : row.value == option_value::none ? std::string("true")
                                                                                   : std::string("\"named\""));
        const nlohmann::ordered_json defaults = settings_json(default_settings(), option_table());
        EXPECT_EQ(defaults.contains(row.json_key), !row.json_only_when_given);
    }
}

// A row added to the table is in the help in its columns, is parsed and refused by its range,
// and is written to the results file, after the keys the file always had.
TEST(OptionTable, ARowAddedToTheTableReachesTheHelpTheParserAndTheResultsFile) {
    temporary_directory dir;
    const std::vector<option_row> table = table_with_dummy_row();
    EXPECT_NE(help_text(table).find("\n-dummy        A row added in the test            Defaut: 3\n"),
              std::string::npos);
    EXPECT_EQ(help_text(option_table()).find("-dummy"), std::string::npos);

    const parsed_arguments parsed = parse_with(table, {"-path", dir.path_name, "-DUMMY", "7.5"});
    ASSERT_EQ(parsed.end, parse_end::run) << parsed.refusal.message;
    EXPECT_EQ(parsed.settings.fill_percent, 7u);
    const parsed_arguments refused = parse_with(table, {"-path", dir.path_name, "-dummy", "10"});
    EXPECT_EQ(refused.end, parse_end::refused);
    EXPECT_EQ(refused.refusal.message, "Sorry, the argument -dummy must be between 2 and 9");
    EXPECT_EQ(parse_with(option_table(), {"-path", dir.path_name, "-dummy", "7"}).settings.fill_percent, 0u);

    const nlohmann::ordered_json settings = settings_json(parsed.settings, table);
    EXPECT_EQ(settings["dummy"], 7);
    std::vector<std::string> keys;
    for (const auto& [key, value] : settings.items()) keys.push_back(key);
    const auto dummy = std::find(keys.begin(), keys.end(), "dummy");
    ASSERT_NE(dummy, keys.end());
    EXPECT_EQ(*std::prev(dummy), "latency");
    EXPECT_EQ(*std::next(dummy), "blocks_per_file");
    EXPECT_FALSE(settings_json(parsed.settings, option_table()).contains("dummy"));

    // quorlane-report reads it back, needs it, and names it when two runs differ on it.
    checked_document written = checked_document::parse(settings.dump());
    EXPECT_EQ(settings_read(written, table).fill_percent, 7u);
    written.erase("dummy");
    EXPECT_NE(reading_fault(written, table).find("/dummy"), std::string::npos);
    EXPECT_EQ(reading_fault(written, option_table()), "");
    run_settings other = parsed.settings;
    other.fill_percent = 3;
    const std::vector<setting_difference> differences = differences_between(parsed.settings, other, table);
    ASSERT_FALSE(differences.empty());
    EXPECT_EQ(differences.back().name, "-dummy");
    EXPECT_EQ(differences.back().values, (std::vector<std::string>{"7", "3"}));
}

// Every option the table has compared is named by quorlane-report when two runs differ on it,
// -fill, -time and -latency with the rest; every option with a key reads back as written.
TEST(OptionTable, QuorlaneReportReadsAndComparesEveryOptionOfTheTable) {
    const run_settings defaults = default_settings();
    for (const option_row& row : option_table()) {
        SCOPED_TRACE(row.name);
        run_settings changed = defaults;
        if (row.number != nullptr) changed.*row.number = row.default_number == row.maximum ? row.minimum : row.maximum;
        if (row.turned_on != nullptr) changed.*row.turned_on = true;
        if (row.text != nullptr) changed.*row.text = "named";
        std::vector<std::string> names;
        for (const setting_difference& difference : differences_between(defaults, changed, option_table()))
            names.push_back(difference.name);
        EXPECT_EQ(names, row.compared ? std::vector<std::string>{row.name} : std::vector<std::string>{});
        if (row.json_key == nullptr) continue;
        changed.blocks_per_file = changed.file_mib * 1024 / changed.block_kib;
        const run_settings read = settings_read(checked_document::parse(settings_json(changed, option_table()).dump()),
                                                option_table());
        EXPECT_EQ(option_value_text(row, read), option_value_text(row, changed));
    }
    run_settings with_time = defaults;
    with_time.phase_seconds = 50;
    const std::vector<setting_difference> time = differences_between(defaults, with_time, option_table());
    ASSERT_EQ(time.size(), 1u);
    EXPECT_EQ(time[0].values, (std::vector<std::string>{"no limit", "50"}));
}

// The README's option table: one row per option, each with the table's default and range.
TEST(OptionTable, TheReadmeSaysWhatTheTableSays) {
    std::ifstream stream(QUORLANE_README);
    ASSERT_TRUE(stream.is_open()) << QUORLANE_README;
    std::map<std::string, std::vector<std::string>> rows;  // first name → its cells
    std::string line;
    bool in_table = false;
    while (std::getline(stream, line)) {
        if (line == "| Option | Meaning | Default | Accepted |") {
            in_table = true;
            continue;
        }
        if (!in_table || line.rfind("|---", 0) == 0) continue;
        if (line.empty() || line[0] != '|') break;
        std::vector<std::string> cells;
        std::stringstream cut(line.substr(1));
        for (std::string cell; std::getline(cut, cell, '|');) {
            const std::size_t first = cell.find_first_not_of(' ');
            cells.push_back(first == std::string::npos ? ""
                                                       : cell.substr(first, cell.find_last_not_of(' ') - first + 1));
        }
        const std::size_t name_end = cells[0].find('`', 1);
        ASSERT_NE(name_end, std::string::npos) << line;
        rows[cells[0].substr(1, name_end - 1)] = cells;
    }
    std::size_t options = 0;
    for (const option_row& row : option_table()) {
        SCOPED_TRACE(row.name);
        ++options;
        ASSERT_EQ(rows.count(row.name), 1u);
        if (row.value == option_value::first_argument) continue;
        const std::vector<std::string>& cells = rows[row.name];
        ASSERT_EQ(cells.size(), 4u);
        const bool numeric_default = row.value == option_value::number && row.default_words == nullptr;
        EXPECT_EQ(cells[2], numeric_default ? std::to_string(row.default_number) : std::string(row.default_words));
        switch (row.value) {
            case option_value::number:
                EXPECT_EQ(cells[3], std::to_string(row.minimum) + " to " + std::to_string(row.maximum));
                break;
            case option_value::directory: EXPECT_EQ(cells[3], "an existing directory"); break;
            case option_value::file_name: EXPECT_EQ(cells[3], "a file that can be created"); break;
            case option_value::none: EXPECT_EQ(cells[3], "a switch, no value"); break;
            case option_value::first_argument: break;
        }
    }
    EXPECT_EQ(rows.size(), options);
}
