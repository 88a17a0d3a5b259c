#include "compare/results_file.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/file_io.hpp"
#include "report/figure_names.hpp"
#include "report/json_report.hpp"

using json = nlohmann::ordered_json;

namespace {

bool read_whole(const std::string& file, std::string& text, std::string& reason) {
    os_file handle = no_file;
    if (!open_for_reading(file, file_caching::os_cache, handle, reason)) return false;
    unsigned char chunk[65536];
    std::int64_t got = 0;
    while ((got = read_up_to(handle, chunk, sizeof chunk, reason)) > 0)
        text.append(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(got));
    std::string close_reason;
    close_file(handle, close_reason);
    return got == 0;
}

// The library's own words, without its bracketed exception name.
std::string parse_reason(const std::string& what) {
    const std::size_t end = what.find("] ");
    return what[0] == '[' && end != std::string::npos ? what.substr(end + 2) : what;
}

enum class kind { object, array, string, integer, number, boolean, number_or_null };

bool has_kind(const json& value, kind wanted) {
    switch (wanted) {
        case kind::object: return value.is_object();
        case kind::array: return value.is_array();
        case kind::string: return value.is_string();
        case kind::integer: return value.is_number_integer();
        case kind::number: return value.is_number();
        case kind::boolean: return value.is_boolean();
        case kind::number_or_null: return value.is_number() || value.is_null();
    }
    return false;
}

const char* kind_name(kind wanted) {
    switch (wanted) {
        case kind::object: return "an object";
        case kind::array: return "an array";
        case kind::string: return "a string";
        case kind::integer: return "an integer";
        case kind::number: return "a number";
        case kind::boolean: return "true or false";
        case kind::number_or_null: return "a number or null";
    }
    return "";
}

// What the reports read of a results file: a path's `*` is every element of an array, and a
// name after `?` may be absent or null, leaving what lies under it unasked. Fields not named
// here are left alone, so that files with more in them, of later versions, still read.
struct required_field {
    const char* path;
    kind wanted;
};

const required_field required_fields[] = {
    {"/program/version", kind::string},
    {"/command_line/*", kind::string},
    {"/started_at", kind::string},
    {"/status", kind::string},
    {"/exit_status", kind::integer},
    {"/message", kind::string},
    {"/host/name", kind::string},
    {"/host/os", kind::string},
    {"/host/os_version", kind::string},
    {"/host/logical_cpus", kind::integer},
    {"/host/memory_bytes", kind::integer},
    {"/target/path", kind::string},
    {"/target/file_system", kind::string},
    {"/target/memory_backed", kind::boolean},
    {"/target/total_bytes", kind::integer},
    {"/target/free_bytes", kind::integer},
    {"/target/?cache_beyond_purge/text", kind::string},
    {"/settings/block_kib", kind::integer},
    {"/settings/file_mib", kind::integer},
    {"/settings/file_number", kind::integer},
    {"/settings/thread", kind::integer},
    {"/settings/cache_gib", kind::integer},
    {"/settings/repeat", kind::integer},
    {"/settings/verify", kind::boolean},
    {"/settings/direct", kind::boolean},
    {"/settings/bytes_per_file", kind::integer},
    {"/settings/bytes_per_pass", kind::integer},
    {"/passes/*/pass", kind::integer},
    {"/passes/*/steps/*/name", kind::string},
    {"/passes/*/steps/*/start_us", kind::integer},
    {"/passes/*/steps/*/microseconds", kind::integer},
    {"/passes/*/steps/*/?bytes", kind::integer},
    {"/passes/*/cached_after_purge_percent", kind::number_or_null},
    {"/passes/*/figures/*/name", kind::string},
    {"/passes/*/figures/*/start_us", kind::integer},
    {"/passes/*/figures/*/microseconds", kind::integer},
    {"/passes/*/figures/*/bytes", kind::integer},
    {"/passes/*/figures/*/kib_per_ms", kind::integer},
    {"/passes/*/figures/*/mb_per_second", kind::number},
    {"/passes/*/figures/*/mib_per_second", kind::number},
    {"/passes/*/figures/*/under_one_second", kind::boolean},
    {"/passes/*/figures/*/?series/interval_us", kind::integer},
    {"/passes/*/figures/*/?series/points/*/*", kind::integer},
    {"/passes/*/figures/*/?rate_drop/text", kind::string},
    {"/verification/enabled", kind::boolean},
    {"/verification/bytes_verified", kind::integer},
    {"/verification/?mismatch/file", kind::string},
    {"/verification/?mismatch/byte", kind::integer},
    {"/verification/?mismatch/diagnosis", kind::string},
    {"/verification/?mismatch/details/*", kind::string},
    {"/verification/?capacity/text", kind::string},
    {"/summary/passes", kind::integer},
    {"/?cluster/ranks", kind::integer},
    {"/?cluster/nodes", kind::integer},
    {"/?cluster/rank_details/*/rank", kind::integer},
    {"/?cluster/rank_details/*/node", kind::integer},
    {"/?cluster/rank_details/*/host", kind::string},
    {"/?cluster/rank_details/*/path", kind::string},
    {"/?cluster/rank_details/*/file_system", kind::string},
    {"/?cluster/rank_details/*/reads_files_of", kind::integer},
};

const char* statistic_names[] = {"median", "minimum", "maximum", "mean", "standard_deviation"};

std::vector<std::string> segments_of(const std::string& path) {
    std::vector<std::string> segments;
    for (std::size_t start = 1; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        segments.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return segments;
}

// The first place under `value`, reached by `segments` from `next` on, that breaks the rule;
// empty when none does.
std::string first_problem(const json& value, const std::vector<std::string>& segments, std::size_t next,
                          const std::string& where, kind wanted) {
    if (next == segments.size())
        return has_kind(value, wanted) ? "" : format_text(messages::results_field, where.c_str(), kind_name(wanted));
    const std::string& segment = segments[next];
    if (segment == "*") {
        if (!value.is_array()) return format_text(messages::results_field, where.c_str(), kind_name(kind::array));
        for (std::size_t k = 0; k < value.size(); ++k) {
            std::string problem = first_problem(value[k], segments, next + 1, where + "/" + std::to_string(k), wanted);
            if (!problem.empty()) return problem;
        }
        return "";
    }
    const bool optional = segment[0] == '?';
    const std::string name = optional ? segment.substr(1) : segment;
    if (!value.is_object()) return format_text(messages::results_field, where.c_str(), kind_name(kind::object));
    if (optional && (!value.contains(name) || value[name].is_null())) return "";
    if (!value.contains(name))
        return format_text(messages::results_field, (where + "/" + name).c_str(),
                           kind_name(next + 1 == segments.size() ? wanted
                                     : segments[next + 1] == "*"   ? kind::array
                                                                   : kind::object));
    return first_problem(value[name], segments, next + 1, where + "/" + name, wanted);
}

std::string document_problem(const json& document) {
    for (const required_field& field : required_fields) {
        std::string problem = first_problem(document, segments_of(field.path), 0, "", field.wanted);
        if (!problem.empty()) return problem;
    }
    for (const char* figure : figure_names)
        for (const char* unit : {"kib_per_ms", "mb_per_second"})
            for (const char* statistic : statistic_names) {
                const std::string path = std::string("/summary/figures/") + figure + "/" + unit + "/" + statistic;
                std::string problem = first_problem(document, segments_of(path), 0, "", kind::number_or_null);
                if (!problem.empty()) return problem;
            }
    const json& passes = document["passes"];
    for (std::size_t pass = 0; pass < passes.size(); ++pass)
        for (std::size_t figure = 0; figure < passes[pass]["figures"].size(); ++figure) {
            const std::string name = passes[pass]["figures"][figure]["name"];
            if (figure_index(name) < 0)
                return format_text(messages::results_figure_name,
                                   ("/passes/" + std::to_string(pass) + "/figures/" + std::to_string(figure)).c_str(),
                                   name.c_str());
        }
    return "";
}

std::int64_t integer(const json& object, const char* name) {
    return object.contains(name) && object[name].is_number_integer() ? object[name].get<std::int64_t>() : 0;
}

std::uint64_t nanoseconds(const json& object, const char* name) {
    return object.contains(name) && object[name].is_number() ? static_cast<std::uint64_t>(std::llround(object[name].get<double>() * 1000))
                                                             : 0;
}

latency_summary latency_from(const json& latency) {
    latency_summary summary;
    summary.calls = static_cast<std::uint64_t>(integer(latency, "count"));
    summary.mean_ns = nanoseconds(latency, "mean_us");
    summary.p50_ns = nanoseconds(latency, "p50_us");
    summary.p90_ns = nanoseconds(latency, "p90_us");
    summary.p99_ns = nanoseconds(latency, "p99_us");
    summary.p99_9_ns = nanoseconds(latency, "p99_9_us");
    summary.p99_99_ns = nanoseconds(latency, "p99_99_us");
    summary.max_ns = nanoseconds(latency, "max_us");
    for (const json& point : latency.value("curve", json::array()))
        if (point.is_array() && point.size() == 2 && point[0].is_number() && point[1].is_number())
            summary.curve.push_back(latency_curve_point{point[0].get<double>(),
                                                        static_cast<std::uint64_t>(std::llround(point[1].get<double>() * 1000))});
    return summary;
}

stall_record stall_from(const json& stall) {
    stall_record record;
    record.rank = static_cast<std::uint32_t>(integer(stall, "rank"));
    record.worker = static_cast<std::uint32_t>(integer(stall, "worker"));
    record.file = static_cast<std::uint32_t>(integer(stall, "file"));
    record.whole_file = stall.contains("offset") && stall["offset"].is_null();
    record.offset = static_cast<std::uint64_t>(integer(stall, "offset"));
    record.start_ns = static_cast<std::int64_t>(nanoseconds(stall, "start_us"));
    record.duration_ns = nanoseconds(stall, "duration_us");
    return record;
}

figure_record figure_from(const json& figure) {
    figure_record record;
    record.measured = true;
    record.bytes = static_cast<std::uint64_t>(integer(figure, "bytes"));
    record.start_us = integer(figure, "start_us");
    record.elapsed_us = integer(figure, "microseconds");
    record.kib_per_ms = static_cast<std::uint64_t>(integer(figure, "kib_per_ms"));
    for (const json& worker : figure.value("workers", json::array()))
        if (worker.is_object())
            record.workers.push_back(worker_result{static_cast<std::uint64_t>(integer(worker, "bytes")),
                                                   integer(worker, "microseconds"),
                                                   static_cast<std::uint32_t>(integer(worker, "rank")),
                                                   static_cast<std::uint32_t>(integer(worker, "worker"))});
    if (figure.contains("series")) {
        record.series.interval_us = figure["series"]["interval_us"].get<std::int64_t>();
        for (const json& point : figure["series"]["points"])
            if (point.size() == 2)
                record.series.points.push_back(series_point{point[0].get<std::int64_t>(), point[1].get<std::uint64_t>()});
    }
    for (const json& rank : figure.value("ranks", json::array()))
        if (rank.is_object())
            record.ranks.push_back(
                rank_result{static_cast<std::uint64_t>(integer(rank, "bytes")), integer(rank, "microseconds")});
    if (figure.contains("first_done") && figure["first_done"].is_object())
        record.first_done_us = integer(figure["first_done"], "microseconds");
    if (figure.contains("latency") && figure["latency"].is_object())
        record.latency.summary = latency_from(figure["latency"]);
    for (const json& stall : figure.value("stalls", json::array()))
        if (stall.is_object()) record.latency.stalls.push_back(stall_from(stall));
    return record;
}

run_record record_from(const json& document) {
    run_record run;
    run.started_utc = document["started_at"].get<std::string>();
    run.interrupted = document["status"] == "interrupted";
    for (const json& pass : document["passes"]) {
        pass_record record;
        for (const json& figure : pass["figures"])
            record.figures[figure_index(figure["name"].get<std::string>())] = figure_from(figure);
        for (const json& step : pass["steps"])
            if (step.is_object() && step.contains("name") && step["name"].is_string())
                record.steps.push_back(step_record{step["name"].get<std::string>(), integer(step, "start_us"),
                                                   integer(step, "microseconds"),
                                                   static_cast<std::uint64_t>(integer(step, "bytes"))});
        const json cached = pass.value("cached_after_purge_percent", json());
        record.cached_after_purge_known = cached.is_number();
        if (cached.is_number()) record.cached_after_purge = cached.get<double>() / 100;
        run.passes.push_back(record);
    }
    const json verification = document.value("verification", json());
    if (verification.is_object() && verification.contains("capacity") && verification["capacity"].is_object()) {
        const json& capacity = verification["capacity"];
        run.capacity = capacity_record{true, static_cast<std::uint64_t>(integer(capacity, "offered_bytes")),
                                       static_cast<std::uint64_t>(integer(capacity, "verified_bytes")),
                                       static_cast<std::uint64_t>(integer(capacity, "first_bad_offset")),
                                       static_cast<std::uint64_t>(integer(capacity, "aliasing_distance"))};
        // Version 1 gave no kind: data from another place, or none.
        const json name = capacity.value("kind", json());
        run.capacity.kind = capacity_kind_named(name.is_string() ? name.get<std::string>() : "",
                                                run.capacity.aliasing_distance != 0 ? capacity_kind::wrapped
                                                                                    : capacity_kind::lost);
    }
    const json cluster = document.value("cluster", json());
    if (cluster.is_object() && cluster.contains("rank_details") && cluster["rank_details"].is_array())
        for (const json& rank : cluster["rank_details"])
            if (rank.is_object()) {
                rank_description described;
                described.host = rank.value("host", "");
                described.path = rank.value("path", "");
                run.ranks.push_back(described);
            }
    return run;
}

}  // namespace

bool read_results_file(const std::string& file, read_results& read, std::string& message) {
    std::string text, reason;
    if (!read_whole(file, text, reason)) {
        message = format_text(messages::results_unreadable, file.c_str(), reason.c_str());
        return false;
    }
    json document;
    // The library tells a parse error by an exception, caught here and said as the file's fault.
    try {
        document = json::parse(text);
    } catch (const json::parse_error& error) {
        message = format_text(messages::results_not_json, file.c_str(), parse_reason(error.what()).c_str());
        return false;
    }
    const json program = document.is_object() ? document.value("program", json()) : json();
    if (!program.is_object() || program.value("name", json()) != "quorlane" || !document.contains("schema_version")) {
        message = format_text(messages::results_not_ours, file.c_str());
        return false;
    }
    const json& version = document["schema_version"];
    if (!version.is_number_integer() || version.get<std::int64_t>() < oldest_results_schema_version ||
        version.get<std::int64_t>() > results_schema_version) {
        message = format_text(messages::results_unknown_version, file.c_str(), version.dump().c_str(),
                              oldest_results_schema_version, results_schema_version);
        return false;
    }
    const std::string problem = document_problem(document);
    if (!problem.empty()) {
        message = format_text(messages::results_malformed, file.c_str(), problem.c_str());
        return false;
    }
    read.file = file;
    read.record = record_from(document);
    read.document = std::move(document);
    return true;
}
