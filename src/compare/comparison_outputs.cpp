#include "compare/comparison_outputs.hpp"

#include <algorithm>
#include <cmath>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rounded_text.hpp"
#include "report/exact_bytes.hpp"
#include "report/figure_names.hpp"
#include "report/page_text.hpp"
#include "report/stage_lines.hpp"

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

// The run's first pass that measured the phase; null when none did.
const figure_record* first_measured(const compared_run& run, int kind) {
    for (const pass_record& pass : run.read.record.passes)
        if (pass.figures[kind].measured) return &pass.figures[kind];
    return nullptr;
}

std::string stage_cell(const stage_record& stage) {
    return format_text(messages::compare_stage, stage_kind_label(stage.kind),
                       amount_text(stage.last_byte - stage.first_byte + 1, false).c_str(), stage_rate_text(stage).c_str());
}

std::string phase_stages(const comparison& compared, int kind) {
    std::vector<std::vector<std::string>> cells;  // a run's column
    std::size_t rows = 0;
    bool in_stages = false;
    for (const compared_run& run : compared.runs) {
        std::vector<std::string> column;
        if (const figure_record* figure = first_measured(run, kind)) {
            for (const stage_record& stage : figure->stages) column.push_back(stage_cell(stage));
            in_stages = in_stages || !figure->stages_text.empty();
        }
        rows = std::max(rows, column.size());
        cells.push_back(column);
    }
    if (!in_stages) return "";
    const std::size_t number_width = std::to_string(rows).size();
    std::vector<std::size_t> widths;
    for (std::size_t run = 0; run < cells.size(); ++run) {
        std::size_t width = std::max(columns(run_name(run)), columns(messages::compare_not_measured));
        for (const std::string& text : cells[run]) width = std::max(width, columns(text));
        widths.push_back(width);
    }
    const auto padded_right = [](const std::string& text, std::size_t width) {
        return text + std::string(width > columns(text) ? width - columns(text) : 0, ' ');
    };
    std::string row = "  " + std::string(number_width, ' ');
    for (std::size_t run = 0; run < cells.size(); ++run) row += "  " + padded_right(run_name(run), widths[run]);
    std::string text = std::string(messages::blank_line) + format_text(messages::compare_stages, figure_short_names[kind]);
    text += row.substr(0, row.find_last_not_of(' ') + 1) + "\n";
    for (std::size_t k = 0; k < rows; ++k) {
        row = "  " + padded_left(std::to_string(k + 1), number_width);
        for (std::size_t run = 0; run < cells.size(); ++run)
            row += "  " + padded_right(k < cells[run].size() ? cells[run][k] : messages::compare_not_measured, widths[run]);
        text += row.substr(0, row.find_last_not_of(' ') + 1) + "\n";
    }
    return text;
}

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

std::string stages_table(const comparison& compared) {
    std::string text;
    for (const int kind : {static_cast<int>(figure_kind::write_cached), static_cast<int>(figure_kind::read_cached),
                           static_cast<int>(figure_kind::read_uncached)})
        text += phase_stages(compared, kind);
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
