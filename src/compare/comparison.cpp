#include "compare/comparison.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "report/figure_names.hpp"
#include "report/page_text.hpp"
#include "report/run_summary.hpp"
#include "settings/options.hpp"

namespace {

// A directory without its trailing separator, so that " / " between directories reads plainly.
std::string directory_of(const run_record& run) {
    std::string path = run.target.path;
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\') && path[path.size() - 2] != ':') path.pop_back();
    return path;
}

// A path shortened from its start, where paths of one machine tend to agree.
std::string shortened(const std::string& path) {
    constexpr std::size_t most = 32;
    if (path.size() <= most) return path;
    std::size_t start = path.size() - (most - 1);
    // Never cut a character of several bytes in two.
    while (start < path.size() && (static_cast<unsigned char>(path[start]) & 0xC0) == 0x80) ++start;
    return "\u2026" + path.substr(start);
}

std::string label_of(const run_record& run) {
    std::string where = shortened(directory_of(run));
    const target_identity& target = run.measured.target;
    if (target.known && !target.devices.empty() && target.devices[0].model && !target.devices[0].model->empty())
        where = *target.devices[0].model;
    std::string date = run.started_utc;
    // 2026-12-09T03:40:12Z → 2026-12-09 03:40:12
    if (date.size() >= 19 && date[10] == 'T') date = date.substr(0, 10) + " " + date.substr(11, 8);
    return where + ", " + date;
}

// Besides the options the table has compared: where and on what each run ran.
struct compared_setting {
    const char* name;
    std::string (*value)(const run_record& run);
};

const compared_setting compared_places[] = {
    {"ranks", [](const run_record& r) { return std::to_string(r.ranks.empty() ? 1 : r.ranks.size()); }},
    {"directory", directory_of},
    {"file system",
     [](const run_record& r) { return r.target.file_system.empty() ? std::string("unknown") : r.target.file_system; }},
    {"host", [](const run_record& r) { return r.host.name; }},
    {"OS", [](const run_record& r) { return r.host.os + " " + r.host.os_version; }},
    {"logical CPUs", [](const run_record& r) { return std::to_string(r.host.logical_cpus); }},
    {"memory", [](const run_record& r) { return binary_size(r.host.memory_bytes); }},
    {"Quorlane", [](const run_record& r) { return r.program_version; }},
};

}  // namespace

comparison compare_runs(std::vector<read_results> runs) {
    comparison compared;
    for (read_results& read : runs) {
        compared_run run;
        run.label = label_of(read.record);
        for (int kind = 0; kind < figure_count; ++kind) {
            std::vector<double> rates;
            for (const pass_record& pass : read.record.passes)
                if (pass.figures[kind].measured) rates.push_back(figure_mb_per_second(pass.figures[kind]));
            run.figures[kind].passes = rates.size();
            if (!rates.empty()) run.figures[kind].mb_per_second = statistics_of(rates);
        }
        run.read = std::move(read);
        compared.runs.push_back(std::move(run));
    }
    compared.differences = differing_settings(compared.runs, option_table());
    return compared;
}

std::vector<setting_difference> differing_settings(const std::vector<compared_run>& runs,
                                                   std::span<const option_row> options) {
    std::vector<setting_difference> differences;
    const auto add_if_differs = [&](const char* name, const auto& value_of) {
        setting_difference difference{name, {}};
        bool differs = false;
        for (const compared_run& run : runs) {
            difference.values.push_back(value_of(run.read.record));
            differs = differs || difference.values.back() != difference.values.front();
        }
        if (differs) differences.push_back(difference);
    };
    for (const option_row& row : options)
        if (row.compared)
            add_if_differs(row.name, [&row](const run_record& run) { return option_value_text(row, run.settings); });
    for (const compared_setting& place : compared_places) add_if_differs(place.name, place.value);
    return differences;
}

bool ratio_to_first(const comparison& compared, std::size_t run, int kind, double& ratio) {
    const compared_figure& first = compared.runs.front().figures[kind];
    const compared_figure& figure = compared.runs[run].figures[kind];
    if (first.passes == 0 || figure.passes == 0 || first.mb_per_second.median <= 0) return false;
    ratio = figure.mb_per_second.median / first.mb_per_second.median;
    return true;
}

std::string run_name(std::size_t run) {
    return format_text(messages::compare_run_column, static_cast<unsigned long long>(run + 1));
}

bool run_completed(const compared_run& run) { return run.read.record.status == run_status::completed; }

std::string finished_phases(const compared_run& run) {
    std::string phases;
    for (int kind = 0; kind < figure_count; ++kind)
        if (run.figures[kind].passes > 0) phases += (phases.empty() ? "" : ", ") + std::string(figure_short_names[kind]);
    return phases.empty() ? messages::no_phase_finished : phases;
}
