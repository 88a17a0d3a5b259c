#include <system_error>
#include <thread>

#include "common/clock.hpp"
#include "common/file_name.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "common/stop.hpp"
#include "common/write_handles.hpp"
#include "driver/driver.hpp"
#include "platform/file_io.hpp"
#include "settings/settings.hpp"

namespace {

// Runs `worker_function` on every record in a thread of its own and waits for all of them.
// A worker that can't be started is a fatal error: a figure from fewer workers than asked
// would be presented as the one asked for. The workers already started stop at their next
// block.
void run_workers(std::vector<thread_param>& records, void (*worker_function)(thread_param*)) {
    std::vector<std::thread> threads(records.size());
    for (std::uint32_t t = 0; t < records.size(); ++t) {
        try {
            threads[t] = std::thread(worker_function, &records[t]);
        } catch (const std::system_error& error) {
            report_fatal_error(format_text(messages::thread_creation, t, error.code().message().c_str()));
            break;
        }
    }
    for (std::thread& thread : threads) {
        if (!thread.joinable()) continue;
        try {
            thread.join();
        } catch (const std::system_error& error) {
            print_on_own_line(format_text(messages::thread_join, error.code().value()));
            // A thread object still joinable when destroyed ends the process with the files on disk.
            thread.detach();
        }
    }
}

std::uint64_t phase_figure() {
    return rate_kib_per_ms(bytes_moved.load() / bytes_per_kib, elapsed_us(phase_start, phase_end));
}

}  // namespace

std::uint64_t write_phase(std::vector<thread_param>& records) {
    for (std::uint32_t t = 0; t < records.size(); ++t) {
        records[t].thread_index = t;
        records[t].file_prefix = new_prefix();
    }
    bytes_moved.store(0);
    phase_start = now_us();
    print("%s", messages::write_status);
    run_workers(records, write_worker);
    phase_end = now_us();
    return phase_figure();
}

std::uint64_t flush_pass(const std::vector<thread_param>& records) {
    print("%s", messages::flush_status);
    for (const os_file handle : write_handles)
        if (handle != no_file) start_write_back(handle);
    for (std::uint32_t t = 0; t < records.size(); ++t) {
        for (std::uint32_t index = 0; index < file_number; ++index) {
            os_file& handle = write_handle(t, index);
            if (handle == no_file) continue;
            if (stop_requested.load()) return 0;
            std::string reason;
            bool succeeded = force_to_device(handle, reason);
            std::string close_reason;
            if (!close_file(handle, close_reason) && succeeded) {
                succeeded = false;
                reason = close_reason;
            }
            handle = no_file;
            if (!succeeded) {
                const std::string name = test_file_name(records[t].file_prefix, index);
                report_fatal_error(format_text(messages::flush_failed, name.c_str(), reason.c_str()));
                return 0;
            }
        }
    }
    // Still timed from the write phase's start: this figure covers writing and forcing together.
    phase_end = now_us();
    return phase_figure();
}

std::uint64_t read_phase(std::vector<thread_param>& records, bool with_cache) {
    for (thread_param& record : records) record.with_cache = with_cache;
    bytes_moved.store(0);
    phase_start = now_us();
    run_workers(records, read_worker);
    phase_end = now_us();
    return phase_figure();
}
