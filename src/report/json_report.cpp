#include "report/json_report.hpp"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "common/messages.hpp"
#include "common/rate.hpp"
#include "common/units.hpp"
#include "data/capacity.hpp"
#include "report/console.hpp"
#include "report/device_json.hpp"
#include "report/exact_bytes.hpp"
#include "report/figure_names.hpp"
#include "report/latency_json.hpp"
#include "report/stages_json.hpp"
#include "report/run_summary.hpp"
#include "results/statistics.hpp"
#include "settings/options.hpp"
#include "settings/settings.hpp"

using json = nlohmann::ordered_json;

namespace {

double rounded(double value) { return rounded_rate(value); }

// The rate of `bytes` in `elapsed_us` in every unit, each named in its field.
void add_rates(json& object, std::uint64_t bytes, std::int64_t elapsed_us, std::uint64_t kib_per_ms) {
    const double seconds = static_cast<double>(elapsed_us < 1 ? 1 : elapsed_us) / one_second_us;
    const double bytes_per_second = static_cast<double>(bytes) / seconds;
    object["kib_per_ms"] = kib_per_ms;
    object["bytes_per_second"] = static_cast<std::uint64_t>(bytes_per_second);
    object["mb_per_second"] = rounded(bytes_per_second / 1e6);
    object["mib_per_second"] = rounded(bytes_per_second / bytes_per_mib);
}

json host_json(const host_record& host) {
    return json{{"name", host.name},
                {"os", host.os},
                {"os_version", host.os_version},
                {"logical_cpus", host.logical_cpus},
                {"memory_bytes", host.memory_bytes}};
}

// The cache beyond the purge's reach that may serve the last read, with the console's note
// on it; null when there is none.
json other_cache_json(const target_record& target) {
    if (target.cache_beyond_purge.empty()) return nullptr;
    return json{{"cache", target.cache_beyond_purge}, {"text", target.cache_beyond_purge_text}};
}

json target_json(const target_record& target) {
    json object{{"path", target.path}};
    if (!is_utf8(target.path)) object["path_bytes"] = percent_encoded(target.path);
    object.update(json{{"file_system", target.file_system},
                       {"memory_backed", target.memory_backed},
                       {"compressed", target.compressed},
                       {"encrypted", target.encrypted},
                       {"cache_beyond_purge", other_cache_json(target)},
                       {"total_bytes", target.total_bytes},
                       {"free_bytes", target.free_bytes}});
    return object;
}

void add_sizes(json& object, const run_settings& settings) {
    object["blocks_per_file"] = settings.blocks_per_file;
    object["bytes_per_file"] = test_file_bytes(settings);
    object["bytes_per_pass"] = bytes_per_pass(settings);
}

json option_json(const option_row& row, const run_settings& settings) {
    if (row.number != nullptr) return settings.*row.number;
    if (row.turned_on != nullptr) return settings.*row.turned_on;
    return settings.*row.text;
}

}  // namespace

// Those always written, the sizes they make, then those written only when given, so that a run
// without them keeps its file as it was.
json settings_json(const run_settings& settings, std::span<const option_row> options) {
    json object = json::object();
    bool sizes_written = false;
    for (const option_row* row : results_file_order(options)) {
        if (row->json_only_when_given && !sizes_written) {
            add_sizes(object, settings);
            sizes_written = true;
        }
        if (!row->json_only_when_given || option_given(*row, settings)) object[row->json_key] = option_json(*row, settings);
    }
    if (!sizes_written) add_sizes(object, settings);
    return object;
}

namespace {

// With several ranks: each rank's part, and the figure were every rank as fast as the first done.
void add_ranks(json& object, const figure_record& figure, const std::vector<rank_description>& ranks) {
    json first_done{{"microseconds", figure.first_done_us}};
    add_rates(first_done, figure.bytes, figure.first_done_us,
              rate_kib_per_ms(figure.bytes / 1024, figure.first_done_us));
    object["first_done"] = first_done;
    json parts = json::array();
    for (std::size_t rank = 0; rank < figure.ranks.size(); ++rank)
        parts.push_back({{"rank", rank},
                         {"host", rank < ranks.size() ? ranks[rank].host : std::string()},
                         {"bytes", figure.ranks[rank].bytes},
                         {"microseconds", figure.ranks[rank].elapsed_us}});
    object["ranks"] = parts;
}

// Where the write's rate fell for good, as the write cache filled; null when it held.
json rate_drop_json(const std::optional<rate_drop_record>& drop) {
    if (!drop) return nullptr;
    return json{{"after_us", drop->after_us},
                {"after_bytes", drop->after_bytes},
                {"before_mb_per_second", drop->before_mb_per_second},
                {"after_mb_per_second", drop->after_mb_per_second},
                {"text", drop->text}};
}

json figure_json(const figure_record& figure, int kind, const run_record& run) {
    json object{{"name", figure_names[kind]},
                {"label", messages::figure_labels[kind]},
                {"start_us", figure.start_us},
                {"bytes", figure.bytes},
                {"microseconds", figure.elapsed_us}};
    add_rates(object, figure.bytes, figure.elapsed_us, figure.kib_per_ms);
    object["under_one_second"] = figure.elapsed_us < one_second_us;
    json workers = json::array();
    for (const worker_result& worker : figure.workers) {
        json entry{{"worker", worker.worker}};
        if (!figure.ranks.empty()) entry["rank"] = worker.rank;
        entry["bytes"] = worker.bytes;
        entry["microseconds"] = worker.elapsed_us;
        if (worker.cut_short) entry["stopped_at"] = {{"file", worker.stopped_file}, {"offset", worker.stopped_offset}};
        workers.push_back(entry);
    }
    object["workers"] = workers;
    // The forced write's time runs on past the write's to the flush's end: no deadline cuts it.
    if (run.settings.phase_seconds != 0 && kind != static_cast<int>(figure_kind::write_forced))
        object["time_limit"] = {{"seconds", run.settings.phase_seconds}, {"cut_short", figure.cut_short}};
    object["latency"] = latency_json(figure.latency.summary);
    object["stalls"] = stalls_json(figure.latency.stalls, !figure.ranks.empty());
    if (!figure.series.points.empty()) {
        json points = json::array();
        for (const series_point& point : figure.series.points) points.push_back({point.elapsed_us, point.bytes});
        object["series"] = {{"interval_us", figure.series.interval_us}, {"points", points}};
    }
    if (kind == static_cast<int>(figure_kind::write_cached)) object["rate_drop"] = rate_drop_json(figure.rate_drop);
    if (!figure.ranks.empty()) add_ranks(object, figure, run.ranks);
    return object;
}

json pass_json(const pass_record& pass, std::size_t number, const run_record& run) {
    json object{{"pass", number + 1}};
    json steps = json::array();
    for (const step_record& step : pass.steps) {
        json entry{{"name", step.name}, {"start_us", step.start_us}, {"microseconds", step.elapsed_us}};
        if (step.bytes != 0) {
            entry["bytes"] = step.bytes;
            add_rates(entry, step.bytes, step.elapsed_us, rate_kib_per_ms(step.bytes / 1024, step.elapsed_us));
        }
        steps.push_back(entry);
    }
    object["steps"] = steps;
    json figures = json::array();
    for (int kind = 0; kind < figure_count; ++kind)
        if (pass.figures[kind].measured) figures.push_back(figure_json(pass.figures[kind], kind, run));
    object["figures"] = figures;
    object["cached_after_purge_percent"] =
        pass.cached_after_purge_known ? json(cached_percent(pass)) : json(nullptr);
    // Whether the OS could say what the purge left in its cache; Windows can't.
    object["purge_confirmed"] = pass.cached_after_purge_known;
    return object;
}

// With -verify: every byte the read phases moved was compared with what was written.
json verification_json(const run_record& run) {
    json mismatch = nullptr;
    if (run.mismatch.found) {
        const mismatch_record& found = run.mismatch;
        json damage = nullptr;
        if (found.damage)
            damage = {{"first_byte", found.byte},
                      {"last_byte", found.last_byte},
                      {"bits_differ", found.bits},
                      {"may_go_on", found.may_go_on}};
        mismatch = {{"file", found.file},       {"byte", found.byte},     {"diagnosis", found.diagnosis},
                    {"details", found.details}, {"damage", damage}};
        if (!is_utf8(found.file)) mismatch["file_bytes"] = percent_encoded(found.file);
    }
    json object{{"enabled", run.settings.verify}, {"bytes_verified", bytes_verified(run)}, {"mismatch", mismatch}};
    // The capacity check's verdict, with -fill alone: a run without it keeps its file as it was.
    if (capacity_checked(run.settings)) {
        const capacity_record& capacity = run.capacity;
        object["capacity"] = nullptr;
        if (capacity.checked)
            object["capacity"] = {
                {"offered_bytes", capacity.offered_bytes},
                {"checked_bytes", capacity.checked_bytes},
                {"verified_bytes", capacity.verified_bytes},
                {"first_bad_offset", capacity.first_bad_offset},
                {"aliasing_distance", capacity.aliasing_distance == 0 ? json(nullptr) : json(capacity.aliasing_distance)},
                {"kind", capacity_kind_name(capacity.kind)},
                {"bad_sectors", capacity.bad_sectors},
                {"bits_differ", capacity.bits_differ},
                {"text", without_note_prefix(run.capacity_note)}};
    }
    return object;
}

// With no pass to count, no figure: every statistic is null.
json statistics_json(const figure_statistics& statistics, bool counted) {
    if (!counted)
        return json{{"median", nullptr},
                    {"minimum", nullptr},
                    {"maximum", nullptr},
                    {"mean", nullptr},
                    {"standard_deviation", nullptr}};
    return json{{"median", rounded(statistics.median)},
                {"minimum", rounded(statistics.minimum)},
                {"maximum", rounded(statistics.maximum)},
                {"mean", rounded(statistics.mean)},
                {"standard_deviation", rounded(statistics.standard_deviation)}};
}

// Over the passes that measured all four figures.
json summary_json(const run_record& run) {
    const run_summary summary = summary_of(run);
    json figures = json::object();
    for (int kind = 0; kind < figure_count; ++kind)
        figures[figure_names[kind]] = {{"kib_per_ms", statistics_json(summary.figures[kind].kib_per_ms, summary.passes > 0)},
                                       {"mb_per_second", statistics_json(summary.figures[kind].mb_per_second, summary.passes > 0)}};
    return json{{"passes", summary.passes},
                {"console_shows", "median, rounded down, with the minimum and maximum (with one pass: its figure)"},
                {"standard_deviation", "sample (divided by n - 1; 0 for one pass)"},
                {"figures", figures}};
}

// With several ranks: where each ran, which share a directory and whose files each read.
json ranks_json(const run_record& run) {
    json ranks = json::array();
    for (std::size_t rank = 0; rank < run.ranks.size(); ++rank) {
        const rank_description& description = run.ranks[rank];
        ranks.push_back({{"rank", rank},
                         {"host", description.host},
                         {"node", description.node},
                         {"path", description.path},
                         {"file_system", description.file_system},
                         {"memory_backed", description.in_memory},
                         {"directory_of_rank", description.directory},
                         {"reads_files_of", description.reads_from}});
    }
    return json{{"ranks", run.ranks.size()},
                {"nodes", node_count(run)},
                {"error_rank", run.error_rank >= 0 ? json(run.error_rank) : json(nullptr)},
                {"rank_details", ranks}};
}

}  // namespace

json results_document(const run_record& run) {
    json document{{"schema_version", results_schema_version},
                  {"program", {{"name", "quorlane"}, {"version", run.program_version}}},
                  {"command_line", run.command_line}};
    if (!std::all_of(run.command_line.begin(), run.command_line.end(), is_utf8)) {
        json exact = json::array();
        for (const std::string& argument : run.command_line) exact.push_back(percent_encoded(argument));
        document["command_line_bytes"] = exact;
    }
    document.update(json{{"started_at", run.started_utc},
                         {"status", status_name(run.status)},
                         {"exit_status", run.exit_status},
                         {"message", run.message},
                         {"host", host_json(run.host)},
                         {"target", target_json(run.target)},
                         {"settings", settings_json(run.settings, option_table())}});
    json passes = json::array();
    for (std::size_t pass = 0; pass < run.passes.size(); ++pass) passes.push_back(pass_json(run.passes[pass], pass, run));
    document["passes"] = passes;
    document["verification"] = verification_json(run);
    document["summary"] = summary_json(run);
    if (!run.ranks.empty()) document["cluster"] = ranks_json(run);
    add_measured_on(document, run);
    add_stages(document, run);
    return document;
}

std::string results_json(const json& document) {
    // Text that is not valid UTF-8 (a path in a legacy encoding) is replaced, never refused.
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
