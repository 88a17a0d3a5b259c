#include "compare/comparison.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "report/figure_names.hpp"
#include "report/page_text.hpp"

using json = nlohmann::ordered_json;

namespace {

// The run's rate of one figure in MB/s, as the results file's summary counts it.
double mb_per_second(const json& figure) {
    const double microseconds = static_cast<double>(std::max<std::int64_t>(figure["microseconds"].get<std::int64_t>(), 1));
    return static_cast<double>(figure["bytes"].get<std::uint64_t>()) / microseconds;
}

// A directory without its trailing separator, so that " / " between directories reads plainly.
std::string directory_of(const json& document) {
    std::string path = document["target"]["path"];
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

std::string label_of(const json& document) {
    const json& target = document["target"];
    std::string where = shortened(directory_of(document));
    const json devices = target.value("devices", json());
    if (devices.is_array() && !devices.empty() && devices[0].is_object()) {
        const json model = devices[0].value("model", json());
        if (model.is_string() && !model.get<std::string>().empty()) where = model.get<std::string>();
    }
    std::string date = document["started_at"].get<std::string>();
    // 2026-12-09T03:40:12Z → 2026-12-09 03:40:12
    if (date.size() >= 19 && date[10] == 'T') date = date.substr(0, 10) + " " + date.substr(11, 8);
    return where + ", " + date;
}

std::string yes_no(const json& value) { return value.get<bool>() ? "yes" : "no"; }

struct compared_setting {
    const char* name;
    std::string (*value)(const json& document);
};

const compared_setting compared_settings[] = {
    {"-block", [](const json& d) { return std::to_string(d["settings"]["block_kib"].get<std::uint64_t>()); }},
    {"-file", [](const json& d) { return std::to_string(d["settings"]["file_mib"].get<std::uint64_t>()); }},
    {"-file_number", [](const json& d) { return std::to_string(d["settings"]["file_number"].get<std::uint64_t>()); }},
    {"-thread", [](const json& d) { return std::to_string(d["settings"]["thread"].get<std::uint64_t>()); }},
    {"-cache", [](const json& d) { return std::to_string(d["settings"]["cache_gib"].get<std::uint64_t>()); }},
    {"-repeat", [](const json& d) { return std::to_string(d["settings"]["repeat"].get<std::uint64_t>()); }},
    {"-verify", [](const json& d) { return yes_no(d["settings"]["verify"]); }},
    {"-direct", [](const json& d) { return yes_no(d["settings"]["direct"]); }},
    {"ranks",
     [](const json& d) {
         return d.contains("cluster") ? std::to_string(d["cluster"]["ranks"].get<std::uint64_t>()) : std::string("1");
     }},
    {"directory", directory_of},
    {"file system",
     [](const json& d) {
         const std::string type = d["target"]["file_system"];
         return type.empty() ? std::string("unknown") : type;
     }},
    {"host", [](const json& d) { return d["host"]["name"].get<std::string>(); }},
    {"OS", [](const json& d) { return d["host"]["os"].get<std::string>() + " " + d["host"]["os_version"].get<std::string>(); }},
    {"logical CPUs", [](const json& d) { return std::to_string(d["host"]["logical_cpus"].get<std::uint64_t>()); }},
    {"memory", [](const json& d) { return binary_size(d["host"]["memory_bytes"].get<std::uint64_t>()); }},
    {"Quorlane", [](const json& d) { return d["program"]["version"].get<std::string>(); }},
};

}  // namespace

comparison compare_runs(std::vector<read_results> runs) {
    comparison compared;
    for (read_results& read : runs) {
        compared_run run;
        run.label = label_of(read.document);
        for (int kind = 0; kind < figure_count; ++kind) {
            std::vector<double> rates;
            for (const json& pass : read.document["passes"])
                for (const json& figure : pass["figures"])
                    if (figure["name"] == figure_names[kind]) rates.push_back(mb_per_second(figure));
            run.figures[kind].passes = rates.size();
            if (!rates.empty()) run.figures[kind].mb_per_second = statistics_of(rates);
        }
        run.read = std::move(read);
        compared.runs.push_back(std::move(run));
    }
    for (const compared_setting& setting : compared_settings) {
        setting_difference difference{setting.name, {}};
        bool differs = false;
        for (const compared_run& run : compared.runs) {
            difference.values.push_back(setting.value(run.read.document));
            differs = differs || difference.values.back() != difference.values.front();
        }
        if (differs) compared.differences.push_back(difference);
    }
    return compared;
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

bool run_completed(const compared_run& run) { return run.read.document["status"] == "completed"; }

std::string finished_phases(const compared_run& run) {
    std::string phases;
    for (int kind = 0; kind < figure_count; ++kind)
        if (run.figures[kind].passes > 0) phases += (phases.empty() ? "" : ", ") + std::string(figure_short_names[kind]);
    return phases.empty() ? messages::no_phase_finished : phases;
}
