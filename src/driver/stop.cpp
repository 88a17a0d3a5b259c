// When the run stops before its end, and how it then ends: the check between main's steps,
// the ranks' barrier, and what a fatal error or an interruption leaves main to do.
#include "cluster/cluster.hpp"
#include "cluster/ranks.hpp"
#include "common/ending.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "driver/driver.hpp"
#include "platform/interruption.hpp"
#include "run/run_marker.hpp"
#include "run/run_state.hpp"

namespace {

// What rank 0 can say of every rank's files: a rank that never answered, killed or on a node
// that went down, may have left its own, named with its directory where that is known.
std::string interruption_line(const run_record& results, const std::vector<removal_word>& words) {
    std::string unanswered;
    bool some_left = false;
    for (std::uint32_t rank = 0; rank < words.size(); ++rank) {
        some_left = some_left || words[rank] == removal_word::some_left;
        if (words[rank] != removal_word::no_answer) continue;
        unanswered += rank < results.ranks.size()
                          ? format_text(messages::unanswered_rank, rank, results.ranks[rank].host.c_str(),
                                        results.ranks[rank].path.c_str())
                          : format_text(messages::unanswered_rank_unplaced, rank);
    }
    if (!unanswered.empty()) return messages::interruption_answered + unanswered + ".";
    return some_left ? messages::interruption_incomplete : messages::interruption;
}

// The mismatch behind the run's first fatal error, when a reader found one, goes to the results.
void keep_first_mismatch(benchmark_run& run) {
    for (const worker& reader : run.workers) {
        if (!reader.mismatch.found) continue;
        run.results.mismatch = reader.mismatch;
        return;
    }
}

// An interruption ends each rank at once, without waiting for any other's collective step:
// mpirun interrupts them all, and kills what is still running once one rank has ended. A
// closing console may take no output any more: the results are saved first, then said.
run_outcome interrupted_outcome(benchmark_run& run) {
    keep_first_mismatch(run);
    const std::string error = recorded_fatal_error(run.state);
    const bool closing = process_closing();
    if (!error.empty() && !closing) print_error(error);
    const std::string line = interruption_line(run.results, cluster_removal_words([&run] {
        const bool removed = remove_run_files(run);
        if (removed) remove_run_marker(run.state);
        return removed;
    }));
    const int status = interruption_status(run.state);
    if (closing) return run_outcome{status, line, error.empty() ? line : error + "\n" + line};
    print_on_own_line(line);
    return run_outcome{status, line, ""};
}

// With several ranks, a fatal error on any rank ends every rank: rank 0 says the first, with
// the rank that met it.
run_outcome failed_outcome(benchmark_run& run) {
    keep_first_mismatch(run);
    std::string error = recorded_fatal_error(run.state);
    std::string host;
    if (!first_error_of_ranks(run.results, error, host)) return interrupted_outcome(run);
    print_error(error);
    if (run.results.error_rank >= 0)
        print_on_own_line(format_text(messages::error_rank, static_cast<unsigned>(run.results.error_rank),
                                      cluster_size(), host.c_str()));
    if (remove_run_files(run)) remove_run_marker(run.state);
    cluster_agree_to_end();
    return run_outcome{1, error, ""};
}

}  // namespace

bool run_stops(benchmark_run& run, run_stop why) {
    run.stopped_by = why;
    return false;
}

bool run_goes_on(benchmark_run& run) {
    bool any = run.state.stop.requested.load();
    if (interruption_status(run.state) == 0) cluster_any(any, any);
    if (interruption_status(run.state) != 0) return run_stops(run, run_stop::interrupted);
    return !any || run_stops(run, run_stop::failed);
}

bool wait_for_every_rank(benchmark_run& run) {
    return cluster_barrier() || run_stops(run, run_stop::interrupted);
}

run_outcome stopped_run_outcome(benchmark_run& run) {
    switch (run.stopped_by) {
        case run_stop::interrupted: return interrupted_outcome(run);
        case run_stop::failed: return failed_outcome(run);
        // Each file that could not be removed has been said; the marker stays, to name them.
        case run_stop::files_left: return run_outcome{1, messages::files_left, ""};
        case run_stop::none: break;
    }
    return run_outcome{};
}
