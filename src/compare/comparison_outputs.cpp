#include "compare/comparison_outputs.hpp"

#include <algorithm>
#include <cmath>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "report/exact_bytes.hpp"
#include "report/figure_names.hpp"
#include "report/page_text.hpp"

using json = nlohmann::ordered_json;

namespace {

// Columns a text takes on the console: one a character, whatever its bytes in UTF-8.
std::size_t columns(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
}

std::string padded_left(const std::string& text, std::size_t width) {
    return std::string(width > columns(text) ? width - columns(text) : 0, ' ') + text;
}

std::string cell(const comparison& compared, std::size_t run, int kind) {
    const compared_figure& figure = compared.runs[run].figures[kind];
    if (figure.passes == 0) return messages::compare_not_measured;
    std::string text = grouped(figure.mb_per_second.median, 0);
    double ratio = 0;
    if (run > 0 && ratio_to_first(compared, run, kind, ratio)) {
        text += ' ';
        text += format_text(messages::compare_ratio, ratio);
    }
    return text;
}

double rounded(double value) { return std::round(value * 1000) / 1000; }

}  // namespace

std::string comparison_table(const comparison& compared) {
    const bool several = compared.runs.size() > 1;
    std::string text = several ? messages::compare_runs : messages::compare_one_run;
    for (std::size_t run = 0; run < compared.runs.size(); ++run)
        text += format_text(messages::compare_run, static_cast<unsigned long long>(run + 1),
                            visible_text(compared.runs[run].label).c_str());
    text += std::string(messages::blank_line) + (several ? messages::compare_table : messages::compare_one_table);
    std::size_t label_width = 0;
    for (const char* label : messages::figure_labels) label_width = std::max(label_width, columns(label));
    std::vector<std::size_t> widths;
    for (std::size_t run = 0; run < compared.runs.size(); ++run) {
        std::size_t width = columns(run_name(run));
        for (int kind = 0; kind < figure_count; ++kind) width = std::max(width, columns(cell(compared, run, kind)));
        widths.push_back(width);
    }
    std::string row = std::string(label_width, ' ');
    for (std::size_t run = 0; run < compared.runs.size(); ++run)
        row += "  " + padded_left(run_name(run), widths[run]);
    text += row + "\n";
    for (int kind = 0; kind < figure_count; ++kind) {
        row = messages::figure_labels[kind] + std::string(label_width - columns(messages::figure_labels[kind]), ' ');
        for (std::size_t run = 0; run < compared.runs.size(); ++run)
            row += "  " + padded_left(cell(compared, run, kind), widths[run]);
        text += row + "\n";
    }
    if (!several) return text;
    text += messages::blank_line;
    if (compared.differences.empty()) return text + messages::compare_no_difference;
    text += messages::compare_differences;
    for (const setting_difference& difference : compared.differences) {
        std::string values;
        for (const std::string& value : difference.values) values += (values.empty() ? "" : " / ") + visible_text(value);
        text += format_text(messages::compare_difference, difference.name.c_str(), values.c_str());
    }
    return text;
}

json comparison_document(const comparison& compared) {
    json runs = json::array();
    for (std::size_t run = 0; run < compared.runs.size(); ++run) {
        const compared_run& entry = compared.runs[run];
        const run_record& record = entry.read.record;
        json figures = json::object();
        for (int kind = 0; kind < figure_count; ++kind) {
            const compared_figure& figure = entry.figures[kind];
            double ratio = 0;
            const bool has_ratio = ratio_to_first(compared, run, kind, ratio);
            figures[figure_names[kind]] =
                figure.passes == 0
                    ? json{{"passes", 0}, {"median", nullptr}, {"minimum", nullptr}, {"maximum", nullptr},
                           {"ratio_to_first", nullptr}}
                    : json{{"passes", figure.passes},
                           {"median", rounded(figure.mb_per_second.median)},
                           {"minimum", rounded(figure.mb_per_second.minimum)},
                           {"maximum", rounded(figure.mb_per_second.maximum)},
                           {"ratio_to_first", has_ratio ? json(rounded(ratio)) : json(nullptr)}};
        }
        runs.push_back({{"run", run + 1},
                        {"file", entry.read.file},
                        {"label", entry.label},
                        {"started_at", record.started_utc},
                        {"status", status_name(record.status)},
                        {"host", record.host.name},
                        {"path", record.target.path},
                        {"file_system", record.target.file_system},
                        {"passes", record.passes.size()},
                        {"figures_mb_per_second", figures}});
    }
    json differences = json::array();
    for (const setting_difference& difference : compared.differences)
        differences.push_back({{"name", difference.name}, {"values", difference.values}});
    return json{{"comparison_version", 1},
                {"program", {{"name", "quorlane-report"}, {"version", QUORLANE_VERSION}}},
                {"unit", "MB/s: 10^6 bytes a second, the median over each run's passes that measured the figure"},
                {"runs", runs},
                {"differing_settings", differences}};
}
