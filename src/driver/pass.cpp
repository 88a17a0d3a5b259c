#include <functional>

#include "cache/cache.hpp"
#include "cluster/cluster.hpp"
#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/stop.hpp"
#include "data/pattern.hpp"
#include "driver/driver.hpp"
#include "driver/ranks.hpp"
#include "report/console.hpp"
#include "report/link_note_lines.hpp"
#include "report/memory_notes.hpp"
#include "run/file_name.hpp"
#include "run/write_handles.hpp"
#include "settings/settings.hpp"

namespace {

// Runs an eviction step, untimed, and keeps its duration; the run stops here if the step
// failed. There is one eviction file per node, the node's first rank's.
void run_eviction_step(pass_record& pass, const std::vector<thread_param>& records, const char* name,
                       std::uint64_t bytes, const std::function<void()>& step) {
    wait_for_every_rank(records);
    const bool on_this_rank = first_rank_on_node();
    const std::int64_t start = now_us();
    if (on_this_rank) step();
    stop_if_requested(records);
    if (on_this_rank) pass.steps.push_back(step_record{name, start - run_start_us, now_us() - start, bytes});
}

// Keeps a phase's figure, all ranks' together, once the phase is known to have run whole
// everywhere, and prints it.
void keep_figure(pass_record& pass, const std::vector<thread_param>& records, figure_kind kind,
                 const figure_record& figure) {
    stop_if_requested(records);
    figure_record& kept = pass.figures[static_cast<int>(kind)];
    kept = figure;
    combine_ranks(kept, records);
    print_result(kind, kept.kib_per_ms);
    print_link_note(current_run, pass, kind);
}

// Unbuffered writes leave nothing in the OS cache, unless the file system keeps the data
// there whatever the flag asks; then the figures to come are not all the disk's.
void check_unbuffered_write(const std::vector<thread_param>& records) {
    cache_residency residency;
    std::vector<cache_residency> of_rank;
    bool known = test_files_cached(run_files(records), residency);
    combine_residency(known, residency, of_rank, records);
    note_cached_after_unbuffered_write(of_rank);
}

}  // namespace

void run_pass(std::uint32_t pass_number) {
    pass_record& pass = current_run.passes.emplace_back();
    prepare_write_handles();
    const std::uint64_t identity = pass_identity(pass_number);
    std::vector<thread_param> records(settings.worker_count);
    for (thread_param& record : records) record.pass_identity = identity;
    const std::uint64_t eviction_bytes = eviction_file_bytes();

    if (settings.controller_cache_gib != 0)
        run_eviction_step(pass, records, "eviction_write", eviction_bytes,
                          [identity] { write_eviction_file(identity); });

    const figure_record written = write_phase(records);
    keep_figure(pass, records, figure_kind::write_cached, written);
    share_prefixes(records);
    const figure_record forced = flush_pass(records, written);
    stop_if_requested(records);
    pass.steps.push_back(step_record{"flush", phase_start - run_start_us, phase_end - phase_start, 0});
    keep_figure(pass, records, figure_kind::write_forced, forced);
    if (settings.direct) check_unbuffered_write(records);

    for (const bool with_cache : {true, false}) {
        aim_readers(records, with_cache);
        if (!with_cache) {
            const std::int64_t start = now_us();
            purge_os_cache(read_files(records));
            pass.steps.push_back(step_record{"purge", start - run_start_us, now_us() - start, 0});
            cache_residency residency;
            std::vector<cache_residency> of_rank;
            bool known = test_files_cached(read_files(records), residency);
            combine_residency(known, residency, of_rank, records);
            if (known && residency.total_pages > 0) {
                pass.cached_after_purge_known = true;
                pass.cached_after_purge = static_cast<double>(residency.resident_pages) / residency.total_pages;
            }
            note_still_cached(of_rank);
        }
        if (settings.controller_cache_gib != 0)
            run_eviction_step(pass, records, "eviction_read", eviction_bytes, read_eviction_file);
        keep_figure(pass, records, with_cache ? figure_kind::read_cached : figure_kind::read_uncached,
                    read_phase(records, with_cache));
    }

    // A file left behind is an error: the run did not clean up after itself. With several
    // ranks it is the error of the rank that met it, reported by the check below.
    if (!remove_run_files(records) && !cluster_mode()) end_process(1, messages::files_left);
    stop_if_requested(records);
}
