#include "run/run_state.hpp"

bool record_fatal_error(run_state& run, const std::string& message) {
    bool first = false;
    {
        std::lock_guard<std::mutex> guard(run.error_lock);
        first = run.first_error.empty();
        if (first) run.first_error = message;
    }
    run.stop.requested.store(true);
    return first;
}

std::string recorded_fatal_error(run_state& run) {
    std::lock_guard<std::mutex> guard(run.error_lock);
    return run.first_error;
}

void request_interruption(stop_signal& stop, int exit_status) {
    int expected = 0;
    stop.interruption_status.compare_exchange_strong(expected, exit_status);
    stop.interruptions.fetch_add(1);
    stop.requested.store(true);
}

void prepare_write_handles(run_state& run) {
    run.write_handles.assign(std::size_t{run.settings.worker_count} * run.settings.files_per_worker, no_file);
    run.file_identities.assign(run.write_handles.size(), unknown_identity);
    run.files_created.assign(run.settings.worker_count, 0);
    run.last_file_bytes.assign(run.settings.worker_count, 0);
    std::unique_lock<std::shared_mutex> creations(run.creation_lock);
    run.creation_closed = false;
}

os_file& write_handle(run_state& run, std::uint32_t worker_index, std::uint32_t index) {
    return run.write_handles[std::size_t{worker_index} * run.settings.files_per_worker + index];
}

file_identity& created_identity(run_state& run, std::uint32_t worker_index, std::uint32_t index) {
    return run.file_identities[std::size_t{worker_index} * run.settings.files_per_worker + index];
}
