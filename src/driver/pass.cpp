#include <functional>
#include <optional>

#include "cache/cache.hpp"
#include "cluster/cluster.hpp"
#include "cluster/ranks.hpp"
#include "common/clock.hpp"
#include "common/messages.hpp"
#include "data/capacity.hpp"
#include "data/pattern.hpp"
#include "data/verify.hpp"
#include "data/stamp.hpp"
#include "driver/driver.hpp"
#include "report/console.hpp"
#include "report/link_note_lines.hpp"
#include "report/memory_notes.hpp"
#include "report/stage_lines.hpp"
#include "run/file_name.hpp"
#include "run/run_marker.hpp"
#include "run/run_state.hpp"
#include "settings/settings.hpp"

namespace {

// Runs an eviction step, untimed, and keeps its duration; the run stops here if the step
// failed. There is one eviction file per node, the node's first rank's.
bool run_eviction_step(benchmark_run& run, const char* name, std::uint64_t bytes,
                       const std::function<void(run_state&)>& step) {
    if (!wait_for_every_rank(run)) return false;
    const bool on_this_rank = first_rank_on_node();
    const std::int64_t start = now_us();
    if (on_this_rank && !run_abandonable(run, [&state = run.state, step] { step(state); })) return false;
    if (!run_goes_on(run)) return false;
    if (on_this_rank)
        run.results.passes.back().steps.push_back(step_record{name, start - run.state.start_us, now_us() - start, bytes});
    return true;
}

// Keeps a phase's figure, all ranks' together, once the phase is known to have run whole
// everywhere, and prints it.
bool keep_figure(benchmark_run& run, figure_kind kind, const std::optional<figure_record>& figure) {
    if (!figure || !run_goes_on(run)) return false;
    figure_record& kept = run.results.passes.back().figures[static_cast<int>(kind)];
    kept = *figure;
    if (!combine_ranks(kept) && !run_goes_on(run)) return false;
    settle_stages(run.settings, run.results, run.results.passes.back(), kind, kept);
    print_result(kind, kept.kib_per_ms);
    print_slow_figure_note(kept);
    print_stages_note(kept);
    print_link_note(run.results, run.results.passes.back(), kind, run.settings.direct);
    if (run.settings.latency) print_latency_notes(kind, kept);
    return true;
}

// Unbuffered writes leave nothing in the OS cache, unless the file system keeps the data
// there whatever the flag asks; then the figures to come are not all the disk's.
bool check_unbuffered_write(benchmark_run& run) {
    cache_residency residency;
    std::vector<cache_residency> of_rank;
    bool known = test_files_cached(run.state, written_files(run), residency);
    if (!combine_residency(known, residency, of_rank) && !run_goes_on(run)) return false;
    note_cached_after_unbuffered_write(run.results, of_rank);
    return true;
}

// Drops the OS's cached pages of the files about to be read, and of the eviction file, and
// says how much of the test files the OS still holds.
bool purge_before_reading(benchmark_run& run) {
    pass_record& pass = run.results.passes.back();
    const std::vector<directory_entry> test_files = read_files(run);
    std::vector<directory_entry> purged = test_files;
    if (run.state.eviction_file_created) purged.insert(purged.begin(), run.state.eviction_file);
    const std::int64_t start = now_us();
    if (!run_abandonable(run, [&state = run.state, purged] { purge_os_cache(state, purged); })) return false;
    pass.steps.push_back(step_record{"purge", start - run.state.start_us, now_us() - start, 0});
    cache_residency residency;
    std::vector<cache_residency> of_rank;
    bool known = test_files_cached(run.state, test_files, residency);
    if (!combine_residency(known, residency, of_rank) && !run_goes_on(run)) return false;
    if (known && residency.total_pages > 0) {
        pass.cached_after_purge_known = true;
        pass.cached_after_purge = static_cast<double>(residency.resident_pages) / residency.total_pages;
    }
    note_still_cached(run.results, of_rank);
    return true;
}

// Every rank's writers' files, for the readers and for naming misplaced sectors.
bool share_writer_files(benchmark_run& run) {
    std::vector<writer_files> mine;
    for (std::uint32_t w = 0; w < run.workers.size(); ++w) {
        const auto first = run.state.file_identities.begin() + std::ptrdiff_t{w} * run.settings.files_per_worker;
        mine.push_back(writer_files{run.workers[w].file_prefix, run.state.files_created[w], run.state.last_file_bytes[w],
                                    std::vector<file_identity>(first, first + run.state.files_created[w])});
    }
    return share_writer_files(run.state, run.results, mine) || run_goes_on(run);
}

// Points each reader at the files of the writer with its number, on the rank read_source gives.
void aim_readers(benchmark_run& run, bool with_cache) {
    const std::uint32_t source = read_source(run.results, with_cache);
    for (std::uint32_t w = 0; w < run.workers.size(); ++w) {
        run.workers[w].reads = run.state.files_of_rank[source][w];
        run.workers[w].read_stream = source * streams_per_rank + w;
    }
}

// With the capacity check, once the readers have read every file or -time stopped them: when
// some data came back other than written, says what that tells of the device and makes the
// first reader's mismatch the run's error. An interruption or another error leaves what was
// read unjudged.
void judge_capacity(benchmark_run& run, bool cut_short) {
    if (stop_requested(run.state)) return;
    capacity_tally tally;
    const worker* first = nullptr;
    std::uint64_t offered = 0;
    // One process (quorlane-mpi refuses -fill): each reader reads its own writer's files.
    for (const worker& reader : run.workers) {
        add_tally(tally, reader.capacity);
        if (first == nullptr && reader.mismatch.found) first = &reader;
        offered += written_bytes(reader.reads, test_file_bytes(run.settings));
    }
    if (first == nullptr) return;
    capacity_record& capacity = run.results.capacity;
    capacity = capacity_record{true, offered, tally.verified_bytes, tally.first_bad == no_position ? 0 : tally.first_bad,
                               cut_short ? 0 : aliasing_distance(tally)};
    capacity.kind = judge_tally(tally, offered, cut_short);
    capacity.checked_bytes = tally.checked_bytes;
    capacity.bad_sectors = tally.bad_sectors;
    capacity.bits_differ = tally.differing_bits;
    note_capacity(capacity);
    record_fatal_error(run.state, mismatch_message(first->mismatch));
}

}  // namespace

void prepare_pass(benchmark_run& run, std::uint32_t pass_number) {
    run.results.passes.emplace_back();
    prepare_write_handles(run.state);
    const run_settings& settings = run.settings;
    if (capacity_checked(settings))
        prepare_write_order(run.state.order, settings.worker_count,
                            std::uint64_t{settings.files_per_worker} * settings.blocks_per_file,
                            bytes_per_block(settings));
    const std::uint64_t identity = pass_identity(run.state.seed, pass_number);
    run.workers.assign(settings.worker_count, worker{});
    for (std::uint32_t w = 0; w < settings.worker_count; ++w) {
        worker& self = run.workers[w];
        self.run = &run.state;
        self.number = w;
        self.stream = cluster_rank() * streams_per_rank + w;
        self.pass_identity = identity;
        // Drawn before the phase, so that the marker names the files before they exist.
        self.file_prefix = new_prefix();
        record_prefix(run.state, self.file_prefix);
    }
}

bool run_pass(benchmark_run& run, std::uint32_t pass_number) {
    const run_settings& settings = run.settings;
    prepare_pass(run, pass_number);
    const std::uint64_t identity = run.workers.front().pass_identity;
    const std::uint64_t eviction_bytes = eviction_file_bytes(settings);

    if (settings.controller_cache_gib != 0 &&
        !run_eviction_step(run, "eviction_write", eviction_bytes,
                           [identity](run_state& state) { write_eviction_file(state, identity); }))
        return false;

    const std::optional<figure_record> written = write_phase(run);
    if (!keep_figure(run, figure_kind::write_cached, written) || !share_writer_files(run) ||
        !keep_figure(run, figure_kind::write_forced, flush_pass(run, *written)))
        return false;
    if (settings.direct && !check_unbuffered_write(run)) return false;

    for (const bool with_cache : {true, false}) {
        aim_readers(run, with_cache);
        if (!with_cache && !purge_before_reading(run)) return false;
        if (settings.controller_cache_gib != 0 &&
            !run_eviction_step(run, "eviction_read", eviction_bytes, read_eviction_file))
            return false;
        const std::optional<figure_record> read = read_phase(run, with_cache);
        if (read && capacity_checked(settings)) judge_capacity(run, read->cut_short);
        if (!keep_figure(run, with_cache ? figure_kind::read_cached : figure_kind::read_uncached, read)) return false;
    }

    // A file left behind is an error: the run did not clean up after itself. With several
    // ranks it is the error of the rank that met it, reported by the check below.
    if (!remove_run_files(run) && !cluster_mode()) return run_stops(run, run_stop::files_left);
    return run_goes_on(run);
}
