#include "report/html_tables.hpp"

#include <vector>

#include "report/figure_names.hpp"
#include "report/page_text.hpp"

using json = nlohmann::ordered_json;

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

std::string seconds(const json& microseconds) { return grouped(microseconds.get<double>() / 1e6, 3); }
std::string yes_no(const json& value) { return value.get<bool>() ? "yes" : "no"; }

const char* short_name(const std::string& name) {
    for (int kind = 0; kind < figure_count; ++kind)
        if (name == figure_names[kind]) return figure_short_names[kind];
    return "";
}

std::string passes_table(const json& results) {
    std::vector<std::vector<cell>> rows;
    for (const json& pass : results["passes"])
        for (const json& figure : pass["figures"])
            rows.push_back({number_cell(std::to_string(pass["pass"].get<std::size_t>())),
                            text_cell(short_name(figure["name"])),
                            number_cell(grouped(figure["mb_per_second"].get<double>(), 1)),
                            number_cell(grouped(figure["mib_per_second"].get<double>(), 1)),
                            number_cell(grouped(figure["kib_per_ms"].get<std::uint64_t>())),
                            number_cell(binary_size(figure["bytes"].get<std::uint64_t>())),
                            number_cell(seconds(figure["microseconds"]))});
    if (rows.empty()) return "";
    return "<h3>Every figure</h3>" +
           table({number_cell("Pass"), text_cell("Figure"), number_cell("MB/s"), number_cell("MiB/s"),
                  number_cell("Mo/s"), number_cell("Data"), number_cell("Seconds")},
                 rows);
}

std::string spread_table(const json& results) {
    const json& summary = results["summary"];
    if (summary["passes"].get<std::size_t>() < 2) return "";
    std::vector<std::vector<cell>> rows;
    for (int kind = 0; kind < figure_count; ++kind) {
        const json& mb = summary["figures"][figure_names[kind]]["mb_per_second"];
        const json& mo = summary["figures"][figure_names[kind]]["kib_per_ms"];
        rows.push_back({text_cell(figure_short_names[kind]), number_cell(grouped(mb["median"].get<double>(), 1)),
                        number_cell(grouped(mb["minimum"].get<double>(), 1)),
                        number_cell(grouped(mb["maximum"].get<double>(), 1)),
                        number_cell(grouped(mb["standard_deviation"].get<double>(), 1)),
                        number_cell(grouped(mo["median"].get<double>(), 1))});
    }
    return "<h3>Over " + std::to_string(summary["passes"].get<std::size_t>()) + " passes</h3>" +
           table({text_cell("Figure"), number_cell("Median MB/s"), number_cell("Min"), number_cell("Max"),
                  number_cell("Std. dev."), number_cell("Median Mo/s")},
                 rows);
}

std::string steps_table(const json& results) {
    std::vector<std::vector<cell>> rows;
    for (const json& pass : results["passes"])
        for (const json& step : pass["steps"])
            rows.push_back(
                {number_cell(std::to_string(pass["pass"].get<std::size_t>())), text_cell(step["name"]),
                 number_cell(seconds(step["start_us"])), number_cell(seconds(step["microseconds"])),
                 number_cell(step.contains("bytes") ? binary_size(step["bytes"].get<std::uint64_t>()) : "")});
    if (rows.empty()) return "";
    return "<h3>Steps between the phases</h3>" +
           table({number_cell("Pass"), text_cell("Step"), number_cell("Start (s)"), number_cell("Seconds"),
                  number_cell("Data")},
                 rows);
}

std::string ranks_table(const json& results) {
    if (!results.contains("cluster")) return "";
    std::vector<std::vector<cell>> rows;
    for (const json& rank : results["cluster"]["rank_details"])
        rows.push_back({number_cell(std::to_string(rank["rank"].get<std::size_t>())), text_cell(rank["host"]),
                        number_cell(std::to_string(rank["node"].get<std::size_t>())), text_cell(rank["path"]),
                        number_cell(std::to_string(rank["reads_files_of"].get<std::size_t>()))});
    return "<h3>Ranks</h3>" + table({number_cell("Rank"), text_cell("Host"), number_cell("Node"),
                                     text_cell("Directory"), number_cell("Reads the files of rank")},
                                    rows);
}

// The settings are one rank's: with several ranks, the ranks' total beside it.
std::string per_rank(const json& results, std::uint64_t one, std::string (*shown)(std::uint64_t)) {
    if (!results.contains("cluster")) return shown(one);
    const std::uint64_t ranks = results["cluster"]["ranks"].get<std::uint64_t>();
    return shown(one) + " a rank, " + shown(one * ranks) + " for the " + std::to_string(ranks) +
           (ranks == 1 ? " rank" : " ranks");
}

}  // namespace

std::string figure_tables(const json& results) {
    const std::string tables = spread_table(results) + passes_table(results) + steps_table(results);
    return tables.empty() ? "" : "<h2>Figures</h2>" + tables;
}

std::string context_tables(const json& results) {
    const json& settings = results["settings"];
    const json& host = results["host"];
    const json& target = results["target"];
    const json& verification = results["verification"];
    const std::string file_system = target["file_system"].get<std::string>();
    return "<h2>How it was measured</h2><div class=\"columns\">" +
           facts("Settings",
                 {{"Block", grouped(settings["block_kib"].get<std::uint64_t>()) + " KiB"},
                  {"File", grouped(settings["file_mib"].get<std::uint64_t>()) + " MiB asked, " +
                               binary_size(settings["bytes_per_file"].get<std::uint64_t>()) + " in whole blocks"},
                  {"Files per worker", grouped(settings["file_number"].get<std::uint64_t>())},
                  {"Workers", per_rank(results, settings["thread"].get<std::uint64_t>(), grouped)},
                  {"Data per pass", per_rank(results, settings["bytes_per_pass"].get<std::uint64_t>(), binary_size)},
                  {"Controller cache emptied", settings["cache_gib"].get<std::uint64_t>() == 0
                                                   ? std::string("no")
                                                   : grouped(settings["cache_gib"].get<std::uint64_t>()) + " GiB"},
                  {"Passes", grouped(settings["repeat"].get<std::uint64_t>())},
                  {"Unbuffered I/O (-direct)", yes_no(settings["direct"])},
                  {"Data verified (-verify)", verification["enabled"].get<bool>()
                                                  ? binary_size(verification["bytes_verified"].get<std::uint64_t>())
                                                  : std::string("no")}}) +
           facts("Target", {{"Directory", target["path"]},
                            {"File system", file_system.empty() ? std::string("unknown") : file_system},
                            {"In memory", yes_no(target["memory_backed"])},
                            {"Size", binary_size(target["total_bytes"].get<std::uint64_t>())},
                            {"Free at the end", binary_size(target["free_bytes"].get<std::uint64_t>())}}) +
           facts("Machine", {{"Name", host["name"]},
                             {"System", host["os"].get<std::string>() + " " + host["os_version"].get<std::string>()},
                             {"Logical CPUs", std::to_string(host["logical_cpus"].get<unsigned>())},
                             {"Memory", binary_size(host["memory_bytes"].get<std::uint64_t>())}}) +
           "</div>" + ranks_table(results);
}
