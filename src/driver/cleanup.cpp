#include <mutex>
#include <shared_mutex>

#include "cache/cache.hpp"
#include "cluster/cluster.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "driver/driver.hpp"
#include "platform/file_io.hpp"
#include "platform/interruption.hpp"
#include "run/file_name.hpp"
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
