#include "workers/progress.hpp"

#include <atomic>
#include <chrono>
#include <system_error>

#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "common/units.hpp"

namespace {

void print_until_stopped(progress_printer& printer, const phase_state& phase, const char* label) {
    progress_state state;
    std::unique_lock<std::mutex> lock(printer.lock);
    for (;;) {
        const std::int64_t next_second = (now_us() / one_second_us + 1) * one_second_us;
        const auto due = std::chrono::steady_clock::time_point(std::chrono::microseconds(next_second));
        if (printer.stop_asked.wait_until(lock, due, [&printer] { return printer.stopping; })) return;
        // Printing may block as long as the console takes no output: the lock is not held
        // meanwhile, so that asking to stop never waits on it.
        lock.unlock();
        progress_tick(state, phase, label, now_us());
        lock.lock();
    }
}
}  // namespace

void progress_file_started(phase_state& phase, std::int64_t at) {
    phase.worker_0_file_start.store(at, std::memory_order_relaxed);
}

void progress_files_ended(phase_state& phase) { phase.worker_0_file_start.store(0, std::memory_order_relaxed); }

void progress_tick(progress_state& state, const phase_state& phase, const char* label, std::int64_t now) {
    const std::int64_t file_start = phase.worker_0_file_start.load(std::memory_order_relaxed);
    if (file_start == 0) return;
    if (file_start != state.file_start) state = progress_state{0, file_start, file_start};
    if (now / one_second_us - state.last_sample / one_second_us <= 0) return;

    state.last_sample = now;
    const std::uint64_t kib = phase.bytes_moved.load(std::memory_order_relaxed) / bytes_per_kib;
    print(messages::progress, label,
          static_cast<unsigned long long>(rate_kib_per_ms(kib, elapsed_us(phase.start_us, now))),
          messages::dots[state.dots]);
    state.dots = state.dots >= 4 ? 0 : state.dots + 1;
}

void start_progress(progress_printer& printer, phase_state& phase, const char* label, progress_line line) {
    progress_files_ended(phase);
    if (line == progress_line::hidden) return;
    try {
        printer.thread = std::thread([&printer, &phase, label] { print_until_stopped(printer, phase, label); });
    } catch (const std::system_error&) {
        // The figures do not need the progress line: the phase runs without it.
    }
}

void stop_progress(progress_printer& printer) {
    if (!printer.thread.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(printer.lock);
        printer.stopping = true;
    }
    printer.stop_asked.notify_all();
    printer.thread.join();
}
