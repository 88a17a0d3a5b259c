#include "workers/progress.hpp"

#include <atomic>
#include <chrono>
#include <system_error>

#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "common/units.hpp"
#include "settings/settings.hpp"

namespace {

// The start of worker 0's current file, 0 when it is in none.
std::atomic<std::int64_t> file_of_worker_0{0};

void print_until_stopped(progress_printer& printer, const char* label) {
    progress_state state;
    std::unique_lock<std::mutex> lock(printer.lock);
    for (;;) {
        const std::int64_t next_second = (now_us() / one_second_us + 1) * one_second_us;
        const auto due = std::chrono::steady_clock::time_point(std::chrono::microseconds(next_second));
        if (printer.stop_asked.wait_until(lock, due, [&printer] { return printer.stopping; })) return;
        // Printing may block as long as the console takes no output: the lock is not held
        // meanwhile, so that asking to stop never waits on it.
        lock.unlock();
        progress_tick(state, label, now_us());
        lock.lock();
    }
}
}  // namespace

void progress_file_started(std::int64_t at) { file_of_worker_0.store(at, std::memory_order_relaxed); }

void progress_files_ended() { file_of_worker_0.store(0, std::memory_order_relaxed); }

void progress_tick(progress_state& state, const char* label, std::int64_t now) {
    const std::int64_t file_start = file_of_worker_0.load(std::memory_order_relaxed);
    if (file_start == 0) return;
    if (file_start != state.file_start) state = progress_state{0, file_start, file_start};
    if (now / one_second_us - state.last_sample / one_second_us <= 0) return;

    state.last_sample = now;
    const std::uint64_t kib = bytes_moved.load(std::memory_order_relaxed) / bytes_per_kib;
    print(messages::progress, label,
          static_cast<unsigned long long>(rate_kib_per_ms(kib, elapsed_us(phase_start, now))),
          messages::dots[state.dots]);
    state.dots = state.dots >= 4 ? 0 : state.dots + 1;
}

void start_progress(progress_printer& printer, const char* label, progress_line line) {
    progress_files_ended();
    if (line == progress_line::hidden) return;
    try {
        printer.thread = std::thread([&printer, label] { print_until_stopped(printer, label); });
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
