// The passes of a results file: each figure with its workers, calls, series and notes, each
// untimed step, checked against the settings and the ranks already read.
#include <algorithm>
#include <cmath>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "common/units.hpp"
#include "compare/results_reader.hpp"
#include "report/exact_bytes.hpp"
#include "report/figure_names.hpp"
#include "results/series.hpp"

namespace {

// The most points a latency curve has: 0.05 nines apart up to every call's count.
constexpr std::size_t most_curve_points = 512;
constexpr double most_nines = 20;
constexpr std::size_t most_steps = 8;

void require_member(json_reading& reading, const json_place& place, const char* kind) {
    if (place.value == nullptr) fail(reading, format_text(messages::results_field, place.path.c_str(), kind));
}

std::int64_t read_time(json_reading& reading, const json_place& place, std::int64_t least = 0) {
    return read_integer(reading, place, least, most_microseconds);
}

// A time in µs, to the nanosecond, as the file gives the calls' times.
std::uint64_t read_nanoseconds(json_reading& reading, const json_place& place) {
    return static_cast<std::uint64_t>(
        std::llround(read_number(reading, place, 0, static_cast<double>(most_microseconds)) * 1000));
}

// No device moves 10^13 MB/s: past that, a rate is an edited field, and would overflow the
// integers the results file gives it in.
void check_speed(json_reading& reading, const json_place& place, std::uint64_t bytes, std::int64_t microseconds) {
    if (reading.failed()) return;
    if (static_cast<double>(bytes) / static_cast<double>(std::max<std::int64_t>(microseconds, 1)) > most_mb_per_second)
        fail(reading, format_text(messages::results_too_fast, place.path.c_str(), static_cast<unsigned long long>(bytes),
                                  static_cast<long long>(microseconds)));
}

void check_rates(json_reading& reading, const json_place& object) {
    read_count(reading, member(object, "kib_per_ms"), UINT64_MAX);
    read_count(reading, member(object, "bytes_per_second"), UINT64_MAX);
    read_number(reading, member(object, "mb_per_second"), 0, 1e30);
    read_number(reading, member(object, "mib_per_second"), 0, 1e30);
}

// A point of a curve or a series: an array of exactly two; false, with the fault kept, when not.
bool check_pair(json_reading& reading, const json_place& point, const char* what) {
    if (check_array(reading, point, 2) && point.value->size() == 2) return true;
    fail(reading, format_text(messages::results_field, point.path.c_str(), what));
    return false;
}

latency_summary latency_of(json_reading& reading, const json_place& latency) {
    latency_summary summary;
    if (!check_object(reading, latency)) return summary;
    summary.calls = read_count(reading, member(latency, "count"), most_bytes);
    const std::pair<const char*, std::uint64_t*> times[] = {
        {"mean_us", &summary.mean_ns},     {"p50_us", &summary.p50_ns},       {"p90_us", &summary.p90_ns},
        {"p99_us", &summary.p99_ns},       {"p99_9_us", &summary.p99_9_ns}, {"p99_99_us", &summary.p99_99_ns},
        {"max_us", &summary.max_ns}};
    for (const auto& [name, field] : times) {
        const json_place time = member(latency, name);
        // With no call there is no time: null then, and only then.
        if (summary.calls == 0 && time.value != nullptr && time.value->is_null()) continue;
        *field = read_nanoseconds(reading, time);
    }
    const json_place curve = member(latency, "curve");
    if (!check_array(reading, curve, most_curve_points)) return summary;
    for (std::size_t k = 0; k < curve.value->size() && !reading.failed(); ++k) {
        const json_place point = element(curve, k);
        if (!check_pair(reading, point, "a pair of numbers")) break;
        const latency_curve_point read{read_number(reading, element(point, 0), 0, most_nines),
                                       read_nanoseconds(reading, element(point, 1))};
        // Each point one more share of the calls, none faster than the one before.
        if (!summary.curve.empty() && !reading.failed() &&
            (read.nines <= summary.curve.back().nines || read.ns < summary.curve.back().ns))
            fail(reading, format_text(messages::results_point_order, point.path.c_str()));
        summary.curve.push_back(read);
    }
    return summary;
}

std::vector<stall_record> stalls_of(json_reading& reading, const json_place& stalls, const run_record& run) {
    std::vector<stall_record> read;
    if (!check_array(reading, stalls, kept_stalls)) return read;
    for (std::size_t k = 0; k < stalls.value->size() && !reading.failed(); ++k) {
        const json_place place = element(stalls, k);
        if (!check_object(reading, place)) break;
        stall_record stall;
        if (present(member(place, "rank")))
            stall.rank = static_cast<std::uint32_t>(read_count(reading, member(place, "rank"), run.ranks.empty() ? 0 : run.ranks.size() - 1));
        stall.worker = static_cast<std::uint32_t>(read_count(reading, member(place, "worker"), run.settings.worker_count - 1));
        stall.file = static_cast<std::uint32_t>(read_count(reading, member(place, "file"), run.settings.files_per_worker - 1));
        const json_place offset = member(place, "offset");
        require_member(reading, offset, "an integer or null");
        stall.whole_file = offset.value != nullptr && offset.value->is_null();
        if (!stall.whole_file) stall.offset = read_count(reading, offset, most_bytes);
        stall.start_ns = static_cast<std::int64_t>(read_nanoseconds(reading, member(place, "start_us")));
        stall.duration_ns = read_nanoseconds(reading, member(place, "duration_us"));
        read.push_back(stall);
    }
    return read;
}

// The bytes moved so far, sampled: neither the time nor the bytes ever go back, and none
// passes the phase's own.
series_record series_of(json_reading& reading, const json_place& series, const figure_record& figure) {
    series_record read;
    if (!check_object(reading, series)) return read;
    read.interval_us = read_time(reading, member(series, "interval_us"), 1);
    const json_place points = member(series, "points");
    if (!check_array(reading, points, most_points)) return read;
    for (std::size_t k = 0; k < points.value->size() && !reading.failed(); ++k) {
        const json_place point = element(points, k);
        if (!check_pair(reading, point, "a pair of integers")) break;
        const series_point sampled{read_integer(reading, element(point, 0), 0, figure.elapsed_us),
                                   read_count(reading, element(point, 1), figure.bytes)};
        if (!read.points.empty() && !reading.failed()) {
            if (sampled.elapsed_us < read.points.back().elapsed_us)
                fail(reading, format_text(messages::results_point_order, point.path.c_str()));
            else if (sampled.bytes < read.points.back().bytes)
                fail(reading, format_text(messages::results_fewer_bytes, point.path.c_str()));
        }
        read.points.push_back(sampled);
    }
    return read;
}

std::optional<rate_drop_record> rate_drop_of(json_reading& reading, const json_place& place) {
    require_member(reading, place, "an object or null");
    if (!given(place) || !check_object(reading, place)) return std::nullopt;
    rate_drop_record drop;
    drop.after_us = read_time(reading, member(place, "after_us"));
    drop.after_bytes = read_count(reading, member(place, "after_bytes"), most_bytes);
    drop.before_mb_per_second = read_number(reading, member(place, "before_mb_per_second"), 0, most_mb_per_second);
    drop.after_mb_per_second = read_number(reading, member(place, "after_mb_per_second"), 0, most_mb_per_second);
    drop.text = read_text(reading, member(place, "text"));
    return drop;
}

const char* const note_kinds[] = {"beyond_link", "host_cache"};

std::optional<link_note_record> link_note_of(json_reading& reading, const json_place& place) {
    require_member(reading, place, "an object or null");
    if (!given(place) || !check_object(reading, place)) return std::nullopt;
    link_note_record note;
    note.kind = note_kinds[read_choice(reading, member(place, "kind"), note_kinds, 2)];
    note.link = read_text_or_null(reading, member(place, "link"));
    note.ceiling_mb_per_second = read_number_or_null(reading, member(place, "ceiling_mb_per_second"), 0, most_mb_per_second);
    note.text = read_text(reading, member(place, "text"));
    return note;
}

void read_workers(json_reading& reading, const json_place& workers, const run_record& run, figure_record& figure) {
    const std::size_t ranks = run.ranks.empty() ? 1 : run.ranks.size();
    if (!check_array(reading, workers, std::size_t{run.settings.worker_count} * ranks)) return;
    for (std::size_t k = 0; k < workers.value->size() && !reading.failed(); ++k) {
        const json_place place = element(workers, k);
        if (!check_object(reading, place)) return;
        worker_result worker;
        worker.worker = static_cast<std::uint32_t>(read_count(reading, member(place, "worker"), run.settings.worker_count - 1));
        if (present(member(place, "rank")))
            worker.rank = static_cast<std::uint32_t>(read_count(reading, member(place, "rank"), ranks - 1));
        worker.bytes = read_count(reading, member(place, "bytes"), most_bytes);
        worker.elapsed_us = read_time(reading, member(place, "microseconds"));
        const json_place stopped = member(place, "stopped_at");
        if (present(stopped) && check_object(reading, stopped)) {
            worker.cut_short = true;
            worker.stopped_file = static_cast<std::uint32_t>(read_count(reading, member(stopped, "file"), run.settings.files_per_worker - 1));
            worker.stopped_offset = read_count(reading, member(stopped, "offset"), most_bytes);
        }
        figure.workers.push_back(worker);
    }
}

void read_ranks(json_reading& reading, const json_place& place, const run_record& run, figure_record& figure) {
    const json_place first_done = member(place, "first_done"), ranks = member(place, "ranks");
    if (present(first_done) && check_object(reading, first_done)) {
        figure.first_done_us = read_time(reading, member(first_done, "microseconds"));
        check_speed(reading, first_done, figure.bytes, figure.first_done_us);
        check_rates(reading, first_done);
    }
    if (!present(ranks) || !check_array(reading, ranks, most_ranks)) return;
    if (ranks.value->size() != run.ranks.size())
        fail(reading, format_text(messages::results_disagree, ranks.path.c_str(), "/cluster/ranks"));
    for (std::size_t rank = 0; rank < ranks.value->size() && !reading.failed(); ++rank) {
        const json_place part = element(ranks, rank);
        if (!check_object(reading, part)) return;
        read_integer(reading, member(part, "rank"), static_cast<std::int64_t>(rank), static_cast<std::int64_t>(rank));
        read_text(reading, member(part, "host"));
        figure.ranks.push_back(rank_result{read_count(reading, member(part, "bytes"), most_bytes),
                                           read_time(reading, member(part, "microseconds"))});
    }
}

void read_figure(json_reading& reading, const json_place& place, std::size_t index, const run_record& run,
                 pass_record& pass) {
    if (!check_object(reading, place)) return;
    const std::string name = read_text(reading, member(place, "name"));
    const int kind = figure_index(name);
    if (reading.failed()) return;
    if (kind < 0) {
        const std::string shown = name.size() <= 40 ? name : name.substr(0, 40) + "\u2026";
        return fail(reading, format_text(messages::results_figure_name, place.path.c_str(), shown.c_str()));
    }
    // A pass measures its figures in order, each once, until it ends.
    if (static_cast<std::size_t>(kind) != index)
        return fail(reading, format_text(messages::results_figure_order, place.path.c_str(), name.c_str()));
    figure_record& figure = pass.figures[kind];
    figure.measured = true;
    read_text(reading, member(place, "label"));
    figure.start_us = read_time(reading, member(place, "start_us"));
    figure.bytes = read_count(reading, member(place, "bytes"), most_bytes);
    figure.elapsed_us = read_time(reading, member(place, "microseconds"), 1);
    check_speed(reading, place, figure.bytes, figure.elapsed_us);
    figure.kib_per_ms = read_count(reading, member(place, "kib_per_ms"), UINT64_MAX);
    const std::uint64_t console_figure = rate_kib_per_ms(figure.bytes / bytes_per_kib, figure.elapsed_us);
    if (!reading.failed() && figure.kib_per_ms != console_figure)
        fail(reading, format_text(messages::results_derived, member(place, "kib_per_ms").path.c_str(),
                                  std::to_string(figure.kib_per_ms).c_str(), std::to_string(console_figure).c_str()));
    check_rates(reading, place);
    if (read_boolean(reading, member(place, "under_one_second")) != (figure.elapsed_us < one_second_us) &&
        !reading.failed())
        fail(reading, format_text(messages::results_disagree, member(place, "under_one_second").path.c_str(),
                                  member(place, "microseconds").path.c_str()));
    read_workers(reading, member(place, "workers"), run, figure);
    const json_place limit = member(place, "time_limit");
    if (present(limit) && check_object(reading, limit)) {
        if (read_integer(reading, member(limit, "seconds"), 1, 86400) != run.settings.phase_seconds && !reading.failed())
            fail(reading, format_text(messages::results_disagree, member(limit, "seconds").path.c_str(), "/settings/time_limit_s"));
        figure.cut_short = read_boolean(reading, member(limit, "cut_short"));
    }
    figure.latency.summary = latency_of(reading, member(place, "latency"));
    figure.latency.stalls = stalls_of(reading, member(place, "stalls"), run);
    if (present(member(place, "series"))) figure.series = series_of(reading, member(place, "series"), figure);
    if (kind == static_cast<int>(figure_kind::write_cached)) figure.rate_drop = rate_drop_of(reading, member(place, "rate_drop"));
    if (kind != static_cast<int>(figure_kind::write_forced)) read_stages(reading, place, figure);
    if (kind == static_cast<int>(figure_kind::write_forced) || kind == static_cast<int>(figure_kind::read_uncached))
        figure.link_note = link_note_of(reading, member(place, "link_note"));
    read_ranks(reading, place, run, figure);
}

const char* const step_names[] = {"eviction_write", "flush", "eviction_read", "purge"};

void read_steps(json_reading& reading, const json_place& steps, pass_record& pass) {
    if (!check_array(reading, steps, most_steps)) return;
    for (std::size_t k = 0; k < steps.value->size() && !reading.failed(); ++k) {
        const json_place place = element(steps, k);
        if (!check_object(reading, place)) return;
        step_record step;
        step.name = step_names[read_choice(reading, member(place, "name"), step_names, 4)];
        step.start_us = read_time(reading, member(place, "start_us"));
        step.elapsed_us = read_time(reading, member(place, "microseconds"));
        if (present(member(place, "bytes"))) {
            step.bytes = read_count(reading, member(place, "bytes"), most_bytes);
            check_speed(reading, place, step.bytes, step.elapsed_us);
            check_rates(reading, place);
        }
        pass.steps.push_back(step);
    }
}

}  // namespace

void read_passes(json_reading& reading, const json_place& passes, run_record& run) {
    if (!check_array(reading, passes, run.settings.pass_count)) return;
    for (std::size_t index = 0; index < passes.value->size() && !reading.failed(); ++index) {
        const json_place place = element(passes, index);
        if (!check_object(reading, place)) return;
        const auto number = static_cast<std::int64_t>(index + 1);
        read_integer(reading, member(place, "pass"), number, number);
        pass_record pass;
        read_steps(reading, member(place, "steps"), pass);
        const json_place figures = member(place, "figures");
        if (check_array(reading, figures, figure_count))
            for (std::size_t k = 0; k < figures.value->size() && !reading.failed(); ++k)
                read_figure(reading, element(figures, k), k, run, pass);
        const json_place cached = member(place, "cached_after_purge_percent");
        require_member(reading, cached, "a number or null");
        const std::optional<double> percent = read_number_or_null(reading, cached, 0, 100);
        pass.cached_after_purge_known = percent.has_value();
        pass.cached_after_purge = percent.value_or(0) / 100;
        read_boolean(reading, member(place, "purge_confirmed"));
        run.passes.push_back(std::move(pass));
    }
}
