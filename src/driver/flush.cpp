#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "cluster/cluster.hpp"
#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "common/stop.hpp"
#include "driver/driver.hpp"
#include "platform/file_io.hpp"
#include "platform/interruption.hpp"
#include "run/file_name.hpp"
#include "run/write_handles.hpp"
#include "settings/settings.hpp"

namespace {

// The flush runs on a thread of its own over a copy of the handles, which it alone closes: a
// rank of quorlane-mpi starts it as soon as its writers end and goes on meanwhile with the
// ranks' collective steps; and a rank interrupted while the device takes its time, or a
// process whose console is closed, can remove its files and end within the time it is given,
// the flush thread left to the process's end.
struct flush_state {
    std::vector<os_file> handles;
    std::size_t done = 0;  // handles forced and closed (or never opened), in order
    bool failed = false;   // the handle after the last done could not be forced or closed
    std::string reason;
    std::int64_t start_us = 0;
    std::int64_t end_us = 0;
    std::mutex lock;
    std::condition_variable ended;
    bool over = false;
};

// The flush started by start_flush, until settle_flush takes it.
std::shared_ptr<flush_state> started;
std::thread flusher;

void force_all(flush_state& state) {
    for (const os_file handle : state.handles)
        if (handle != no_file) start_write_back(handle);
    for (; state.done < state.handles.size(); ++state.done) {
        const os_file handle = state.handles[state.done];
        if (handle == no_file) continue;
        if (stop_requested.load()) break;
        std::string reason;
        bool succeeded = force_to_device(handle, reason);
        std::string close_reason;
        if (!close_file(handle, close_reason) && succeeded) {
            succeeded = false;
            reason = close_reason;
        }
        if (!succeeded) {
            state.failed = true;
            state.reason = reason;
            break;
        }
    }
    std::lock_guard<std::mutex> guard(state.lock);
    state.end_us = now_us();
    state.over = true;
    state.ended.notify_all();
}

// True once the flush is over; false when an interruption comes first in quorlane-mpi, or a
// closed console leaves the process too little time to wait for the device.
bool wait_for_flush(flush_state& state) {
    std::unique_lock<std::mutex> lock(state.lock);
    while (!state.ended.wait_for(lock, std::chrono::milliseconds(10), [&state] { return state.over; }))
        if ((cluster_mode() && interruption_status() != 0) || process_closing()) return false;
    return true;
}

}  // namespace

void start_flush() {
    started = std::make_shared<flush_state>();
    started->handles = write_handles;
    started->start_us = now_us();
    try {
        flusher = std::thread([state = started] { force_all(*state); });
    } catch (const std::system_error&) {
        force_all(*started);
    }
}

bool settle_flush() {
    const std::shared_ptr<flush_state> state = std::move(started);
    if (!state) return true;
    if (!wait_for_flush(*state)) {
        // The files are removed while the flush thread still holds some of them open.
        flusher.detach();
        write_handles.assign(write_handles.size(), no_file);
        return false;
    }
    if (flusher.joinable()) flusher.join();
    for (std::size_t k = 0; k < state->done + (state->failed ? 1 : 0); ++k) write_handles[k] = no_file;
    return true;
}

figure_record flush_pass(const std::vector<thread_param>& records, const figure_record& written) {
    figure_record figure;
    print("%s", messages::flush_status);
    // One process forces its files once the status line is out; a rank has started already.
    if (!cluster_mode()) start_flush();
    const std::shared_ptr<flush_state> state = started;
    if (!settle_flush()) stop_if_requested(records);
    phase_start = state->start_us;
    phase_end = state->end_us;
    if (state->failed) {
        const std::string name = test_file_name(records[state->done / settings.files_per_worker].file_prefix,
                                                static_cast<std::uint32_t>(state->done % settings.files_per_worker));
        record_fatal_error(format_text(messages::flush_failed, name.c_str(), state->reason.c_str()));
    }
    if (stop_requested.load()) return figure;
    // From the write's start, when every rank left the barrier, to this rank's data on its
    // device: combined, the last rank's end.
    figure.measured = true;
    figure.bytes = written.bytes;
    figure.start_us = written.start_us;
    figure.elapsed_us = elapsed_us(run_start_us + written.start_us, state->end_us);
    figure.kib_per_ms = rate_kib_per_ms(figure.bytes / bytes_per_kib, figure.elapsed_us);
    return figure;
}
