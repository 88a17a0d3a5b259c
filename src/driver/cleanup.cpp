#include <cstdlib>
#include <mutex>
#include <shared_mutex>

#include "cache/cache.hpp"
#include "cluster/cluster.hpp"
#include "cluster/ranks.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/ending.hpp"
#include "driver/driver.hpp"
#include "platform/file_io.hpp"
#include "platform/interruption.hpp"
#include "run/file_name.hpp"
#include "run/run_marker.hpp"
#include "run/run_state.hpp"

std::vector<directory_entry> written_files(benchmark_run& run) {
    std::vector<directory_entry> files;
    for (std::uint32_t w = 0; w < run.workers.size(); ++w)
        for (std::uint32_t index = 0; index < run.state.files_created[w]; ++index)
            files.push_back(directory_entry{test_file_entry(run.workers[w].file_prefix, index),
                                            created_identity(run.state, w, index)});
    return files;
}

std::vector<directory_entry> read_files(const benchmark_run& run) {
    std::vector<directory_entry> files;
    for (const worker& reader : run.workers)
        for (std::uint32_t index = 0; index < reader.reads.files; ++index)
            files.push_back(directory_entry{
                test_file_entry(reader.reads.prefix, index),
                index < reader.reads.identities.size() ? reader.reads.identities[index] : unknown_identity});
    return files;
}

namespace {

// With several ranks the failure is also this rank's error, for rank 0 to report.
bool remove_run_file(run_state& run, const std::string& entry, const std::string& failure_message) {
    std::string reason;
    if (remove_file(run.directory, entry, reason)) return true;
    const std::string name = run.settings.target_directory + entry;
    print("%s", failure_message.c_str());
    print(messages::file_detail, name.c_str(), reason.c_str());
    print("\n");
    if (cluster_mode())
        record_fatal_error(run, failure_message + format_text(messages::file_detail, name.c_str(), reason.c_str()));
    return false;
}

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
[[noreturn]] void end_interrupted(benchmark_run& run) {
    keep_first_mismatch(run);
    const std::string error = recorded_fatal_error(run.state);
    const bool closing = process_closing();
    if (!error.empty() && !closing) print_error(error);
    const std::string line = interruption_line(run.results, cluster_removal_words([&run] {
        const bool removed = remove_run_files(run);
        if (removed) remove_run_marker(run.state);
        return removed;
    }));
    if (closing) end_process(interruption_status(run.state), line, error.empty() ? line : error + "\n" + line);
    print_on_own_line(line);
    end_process(interruption_status(run.state), line);
}


}  // namespace

bool remove_run_files(benchmark_run& run) {
    run_state& state = run.state;
    removal_starting();
    bool all_removed = true;
    // A file still open can't be removed everywhere; whatever the flush did not reach is
    // closed first. Once the console is closing, threads main stopped waiting for may still use
    // their handles: the files go by name, each when its last handle closes, at the latest as
    // the process ends.
    settle_flush(state);
    const bool closing = process_closing();
    for (os_file& handle : state.write_handles) {
        std::string ignored;
        if (handle != no_file && !closing) close_file(handle, ignored);
        handle = no_file;
    }
    // No thread creates a file from here on, so the counts below are final.
    std::unique_lock<std::shared_mutex> creations(state.creation_lock);
    state.creation_closed = true;
    if (state.eviction_file_created) {
        all_removed = remove_run_file(state, state.eviction_file.name, messages::eviction_removal);
        state.eviction_file_created = false;
    }
    for (std::uint32_t w = 0; w < run.workers.size(); ++w) {
        for (std::uint32_t index = 0; index < state.files_created[w]; ++index) {
            const std::string name = test_file_name(run.settings.target_directory, run.workers[w].file_prefix, index);
            if (!remove_run_file(state, test_file_entry(run.workers[w].file_prefix, index),
                                 format_text(messages::test_file_removal, name.c_str(), index)))
                all_removed = false;
        }
        state.files_created[w] = 0;
    }
    removal_finished(stop_requested(state));
    return all_removed;
}

void stop_if_requested(benchmark_run& run) {
    bool any = run.state.stop.requested.load();
    if (interruption_status(run.state) == 0) cluster_any(any, any);
    if (interruption_status(run.state) != 0) end_interrupted(run);
    if (!any) return;
    keep_first_mismatch(run);
    std::string error = recorded_fatal_error(run.state);
    std::string host;
    if (!first_error_of_ranks(run.results, error, host)) end_interrupted(run);
    print_error(error);
    if (run.results.error_rank >= 0)
        print_on_own_line(format_text(messages::error_rank, static_cast<unsigned>(run.results.error_rank),
                                      cluster_size(), host.c_str()));
    if (remove_run_files(run)) remove_run_marker(run.state);
    cluster_agree_to_end();
    end_process(1, error);
}

void wait_for_every_rank(benchmark_run& run) {
    if (!cluster_barrier()) end_interrupted(run);
}
