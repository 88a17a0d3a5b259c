#include "report/html_tables.hpp"

#include <cstdint>
#include <vector>

#include "report/figure_names.hpp"
#include "report/page_text.hpp"
#include "report/run_summary.hpp"

namespace {

struct cell {
    std::string text;  // already HTML
    bool number = false;
};

cell text_cell(const std::string& text) { return cell{html_escape(text), false}; }
cell number_cell(const std::string& text) { return cell{text, true}; }

std::string table(const std::vector<cell>& heading, const std::vector<std::vector<cell>>& rows) {
    std::string html = "<table><thead><tr>";
    for (const cell& title : heading)
        html += std::string(title.number ? "<th class=\"number\">" : "<th>") + title.text + "</th>";
    html += "</tr></thead><tbody>";
    for (const std::vector<cell>& row : rows) {
        html += "<tr>";
        for (const cell& value : row)
            html += std::string(value.number ? "<td class=\"number\">" : "<td>") + value.text + "</td>";
        html += "</tr>";
    }
    return html + "</tbody></table>";
}

// A table of names and values, one per row.
std::string facts(const char* title, const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::vector<std::vector<cell>> rows;
    for (const auto& [name, value] : pairs) rows.push_back({text_cell(name), text_cell(value)});
    return std::string("<div><h3>") + title + "</h3>" + table({text_cell("What"), text_cell("Value")}, rows) + "</div>";
}

std::string seconds(std::int64_t microseconds) { return grouped(static_cast<double>(microseconds) / 1e6, 3); }
std::string yes_no(bool value) { return value ? "yes" : "no"; }

std::string passes_table(const run_record& run) {
    std::vector<std::vector<cell>> rows;
    for (std::size_t pass = 0; pass < run.passes.size(); ++pass)
        for (int kind = 0; kind < figure_count; ++kind) {
            const figure_record& figure = run.passes[pass].figures[kind];
            if (!figure.measured) continue;
            rows.push_back({number_cell(std::to_string(pass + 1)), text_cell(figure_short_names[kind]),
                            number_cell(grouped(figure_mb_per_second(figure), 1)),
                            number_cell(grouped(figure_mib_per_second(figure), 1)),
                            number_cell(grouped(figure.kib_per_ms)), number_cell(binary_size(figure.bytes)),
                            number_cell(seconds(figure.elapsed_us))});
        }
    if (rows.empty()) return "";
    return "<h3>Every figure</h3>" +
           table({number_cell("Pass"), text_cell("Figure"), number_cell("MB/s"), number_cell("MiB/s"),
                  number_cell("Mo/s"), number_cell("Data"), number_cell("Seconds")},
                 rows);
}

std::string spread_table(const run_record& run) {
    const run_summary summary = summary_of(run);
    if (summary.passes < 2) return "";
    std::vector<std::vector<cell>> rows;
    for (int kind = 0; kind < figure_count; ++kind) {
        const figure_statistics& mb = summary.figures[kind].mb_per_second;
        rows.push_back({text_cell(figure_short_names[kind]), number_cell(grouped(mb.median, 1)),
                        number_cell(grouped(mb.minimum, 1)), number_cell(grouped(mb.maximum, 1)),
                        number_cell(grouped(mb.standard_deviation, 1)),
                        number_cell(grouped(summary.figures[kind].kib_per_ms.median, 1))});
    }
    return "<h3>Over " + std::to_string(summary.passes) + " passes</h3>" +
           table({text_cell("Figure"), number_cell("Median MB/s"), number_cell("Min"), number_cell("Max"),
                  number_cell("Std. dev."), number_cell("Median Mo/s")},
                 rows);
}

std::string steps_table(const run_record& run) {
    std::vector<std::vector<cell>> rows;
    for (std::size_t pass = 0; pass < run.passes.size(); ++pass)
        for (const step_record& step : run.passes[pass].steps)
            rows.push_back({number_cell(std::to_string(pass + 1)), text_cell(step.name),
                            number_cell(seconds(step.start_us)), number_cell(seconds(step.elapsed_us)),
                            number_cell(step.bytes != 0 ? binary_size(step.bytes) : "")});
    if (rows.empty()) return "";
    return "<h3>Steps between the phases</h3>" +
           table({number_cell("Pass"), text_cell("Step"), number_cell("Start (s)"), number_cell("Seconds"),
                  number_cell("Data")},
                 rows);
}

std::string ranks_table(const run_record& run) {
    if (run.ranks.empty()) return "";
    std::vector<std::vector<cell>> rows;
    for (std::size_t rank = 0; rank < run.ranks.size(); ++rank) {
        const rank_description& described = run.ranks[rank];
        rows.push_back({number_cell(std::to_string(rank)), text_cell(described.host),
                        number_cell(std::to_string(described.node)), text_cell(described.path),
                        number_cell(std::to_string(described.reads_from))});
    }
    return "<h3>Ranks</h3>" + table({number_cell("Rank"), text_cell("Host"), number_cell("Node"),
                                     text_cell("Directory"), number_cell("Reads the files of rank")},
                                    rows);
}

// The settings are one rank's: with several ranks, the ranks' total beside it, where it can be
// counted.
std::string per_rank(const run_record& run, std::uint64_t one, std::string (*shown)(std::uint64_t)) {
    if (run.ranks.empty()) return shown(one);
    const std::uint64_t ranks = run.ranks.size();
    const std::string all = one <= UINT64_MAX / ranks ? ", " + shown(one * ranks) + " for the " +
                                                            std::to_string(ranks) + (ranks == 1 ? " rank" : " ranks")
                                                      : std::string();
    return shown(one) + " a rank" + all;
}

}  // namespace

std::string figure_tables(const run_record& run) {
    const std::string tables = spread_table(run) + passes_table(run) + steps_table(run);
    return tables.empty() ? "" : "<h2>Figures</h2>" + tables;
}

std::string context_tables(const run_record& run) {
    const settings_record& given = run.settings;
    const host_record& host = run.host;
    const target_record& target = run.target;
    return "<h2>How it was measured</h2><div class=\"columns\">" +
           facts("Settings",
                 {{"Block", grouped(std::uint64_t{given.block_kib}) + " KiB"},
                  {"File", grouped(std::uint64_t{given.file_mib}) + " MiB asked, " + binary_size(test_file_bytes(given)) +
                               " in whole blocks"},
                  {"Files per worker", grouped(std::uint64_t{given.files_per_worker})},
                  {"Workers", per_rank(run, given.worker_count, grouped)},
                  {"Data per pass", per_rank(run, bytes_per_pass(given), binary_size)},
                  {"Controller cache emptied",
                   given.controller_cache_gib == 0 ? std::string("no") : grouped(std::uint64_t{given.controller_cache_gib}) + " GiB"},
                  {"Passes", grouped(std::uint64_t{given.pass_count})},
                  {"Unbuffered I/O (-direct)", yes_no(given.direct)},
                  {"Data verified (-verify)", given.verify ? binary_size(bytes_verified(run)) : std::string("no")}}) +
           facts("Target", {{"Directory", target.path},
                            {"File system", target.file_system.empty() ? std::string("unknown") : target.file_system},
                            {"In memory", yes_no(target.memory_backed)},
                            {"Size", binary_size(target.total_bytes)},
                            {"Free at the end", binary_size(target.free_bytes)}}) +
           facts("Machine", {{"Name", host.name},
                             {"System", host.os + " " + host.os_version},
                             {"Logical CPUs", std::to_string(host.logical_cpus)},
                             {"Memory", binary_size(host.memory_bytes)}}) +
           "</div>" + ranks_table(run);
}
