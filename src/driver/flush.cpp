#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "cluster/cluster.hpp"
#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "driver/driver.hpp"
#include "latency/stalls.hpp"
#include "platform/file_io.hpp"
#include "platform/interruption.hpp"
#include "run/file_name.hpp"
#include "run/run_state.hpp"

namespace {

// The flush runs on a thread of its own over a copy of the handles, which it alone closes: a
// rank of quorlane-mpi starts it as soon as its writers end and goes on meanwhile with the
// ranks' collective steps; and a rank interrupted while the device takes its time, or a
// process whose console is closed, can remove its files and end within the time it is given,
// the flush thread left to the process's end.
void force_all(flush_progress& state, const stop_signal& stop) {
    for (const os_file handle : state.handles)
        if (handle != no_file) start_write_back(handle);
    for (; state.done < state.handles.size(); ++state.done) {
        const os_file handle = state.handles[state.done];
        if (handle == no_file) continue;
        if (stop.requested.load()) break;
        std::string reason;
        const std::int64_t start = latency_clock_ns();
        bool succeeded = force_to_device(handle, reason);
        std::string close_reason;
        if (!close_file(handle, close_reason) && succeeded) {
            succeeded = false;
            reason = close_reason;
        }
        const auto owner = static_cast<std::uint32_t>(state.done / state.files_per_worker);
        const auto file = static_cast<std::uint32_t>(state.done % state.files_per_worker);
        record_call(state.times, {0, owner, file, 0, true, start}, latency_clock_ns());
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
bool wait_for_flush(flush_progress& state, const stop_signal& stop) {
    std::unique_lock<std::mutex> lock(state.lock);
    while (!state.ended.wait_for(lock, std::chrono::milliseconds(10), [&state] { return state.over; }))
        if ((cluster_mode() && stop.interruption_status.load() != 0) || process_closing()) return false;
    return true;
}

}  // namespace

void start_flush(run_state& run) {
    run.flush = std::make_shared<flush_progress>();
    run.flush->handles = run.write_handles;
    run.flush->files_per_worker = run.settings.files_per_worker;
    run.flush->start_us = now_us();
    try {
        run.flusher = std::thread([state = run.flush, &stop = run.stop] { force_all(*state, stop); });
    } catch (const std::system_error&) {
        force_all(*run.flush, run.stop);
    }
}

bool settle_flush(run_state& run) {
    const std::shared_ptr<flush_progress> state = std::move(run.flush);
    if (!state) return true;
    if (!wait_for_flush(*state, run.stop)) {
        // The files are removed while the flush thread still holds some of them open.
        run.flusher.detach();
        run.write_handles.assign(run.write_handles.size(), no_file);
        return false;
    }
    if (run.flusher.joinable()) run.flusher.join();
    for (std::size_t k = 0; k < state->done + (state->failed ? 1 : 0); ++k) run.write_handles[k] = no_file;
    return true;
}

namespace {

// The figure of a flush that ended at `end_us`: from the write's start, when every rank left
// the barrier, to this rank's data on its device; combined, the last rank's end.
figure_record forced_write_figure(const run_state& run, const figure_record& written, std::int64_t end_us) {
    figure_record figure;
    figure.measured = true;
    figure.bytes = written.bytes;
    figure.start_us = written.start_us;
    figure.elapsed_us = elapsed_us(run.start_us + written.start_us, end_us);
    figure.kib_per_ms = rate_kib_per_ms(figure.bytes / bytes_per_kib, figure.elapsed_us);
    return figure;
}

// The test file whose flush failed, and why, as the run's fatal error.
void record_flush_failure(benchmark_run& run, const flush_progress& state) {
    const std::uint32_t files_per_worker = run.settings.files_per_worker;
    const worker& owner = run.workers[state.done / files_per_worker];
    const std::string name = test_file_name(run.settings.target_directory, owner.file_prefix,
                                            static_cast<std::uint32_t>(state.done % files_per_worker));
    record_fatal_error(run.state, format_text(messages::flush_failed, name.c_str(), state.reason.c_str()));
}

}  // namespace

std::optional<figure_record> flush_pass(benchmark_run& run, const figure_record& written) {
    print("%s", messages::flush_status);
    // One process forces its files once the status line is out; a rank has started already.
    if (!cluster_mode()) start_flush(run.state);
    const std::shared_ptr<flush_progress> state = run.state.flush;
    if (!settle_flush(run.state) && !run_goes_on(run)) return std::nullopt;
    if (state->failed) record_flush_failure(run, *state);
    if (!run_goes_on(run)) return std::nullopt;
    run.results.passes.back().steps.push_back(
        step_record{"flush", state->start_us - run.state.start_us, state->end_us - state->start_us, 0});
    figure_record figure = forced_write_figure(run.state, written, state->end_us);
    figure.latency = merge_call_times({&state->times}, (run.state.start_us + written.start_us) * 1000);
    return figure;
}
