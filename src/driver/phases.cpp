#include <algorithm>
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
#include "common/units.hpp"
#include "driver/driver.hpp"
#include "platform/interruption.hpp"
#include "platform/processor_groups.hpp"
#include "report/console.hpp"
#include "results/series.hpp"
#include "settings/settings.hpp"
#include "workers/progress.hpp"

namespace {

// Tells main, which samples the series while it waits, that the last worker has ended.
struct workers_running {
    std::mutex lock;
    std::condition_variable all_ended;
    std::uint32_t count = 0;
};

void end_worker(workers_running& running) {
    std::lock_guard<std::mutex> guard(running.lock);
    if (--running.count == 0) running.all_ended.notify_all();
}

// What a phase's threads share with main: kept in the run when main stops waiting for them.
struct phase_threads {
    workers_running running;
    progress_printer printer;
    std::string label;
};

// How often main looks, between two points, whether the console is closing.
constexpr std::int64_t closing_check_us = 20000;

// Samples the bytes moved by every worker each time a point is due, until all have ended or
// the console is closing: a worker may then be held by a slow call for longer than Windows
// waits.
void sample_until_ended(workers_running& running, const phase_state& phase, series_record& series) {
    start_series(series);
    std::unique_lock<std::mutex> lock(running.lock);
    for (;;) {
        const std::int64_t due_us = phase.start_us + next_point_due_us(series);
        const std::int64_t wake_us = std::min(due_us, now_us() + closing_check_us);
        const auto wake = std::chrono::steady_clock::time_point(std::chrono::microseconds(wake_us));
        if (running.all_ended.wait_until(lock, wake, [&running] { return running.count == 0; })) return;
        if (process_closing()) return;
        if (now_us() >= due_us)
            add_point(series, now_us() - phase.start_us, phase.bytes_moved.load(std::memory_order_relaxed));
    }
}

// Runs `worker_function` on every worker in a thread of its own and waits for all of them,
// the progress line printed meanwhile with `label`; stamps the phase's end when the last has
// ended, before the printer's last sample, which may wait on the console. A worker that can't
// be started is a fatal error: a figure from fewer workers than asked would be presented as
// the one asked for. The workers already started stop at their next block. False when the
// console is closing and the run stops here.
bool run_workers(benchmark_run& run, void (*worker_function)(worker*), const std::string& label,
                 figure_record& figure) {
    phase_state& phase = run.state.phase;
    std::vector<worker>& workers = run.workers;
    const auto shared = std::make_shared<phase_threads>();
    shared->label = label;
    progress_printer& printer = shared->printer;
    start_progress(printer, phase, shared->label.c_str(),
                   cluster_mode() ? progress_line::hidden : progress_line::shown);
    workers_running& running = shared->running;
    running.count = static_cast<std::uint32_t>(workers.size());
    std::vector<std::thread> threads(workers.size());
    for (std::uint32_t w = 0; w < workers.size(); ++w) {
        workers[w].bytes = 0;
        workers[w].times = call_times{};
        try {
            threads[w] = std::thread([&running, &phase, &self = workers[w], worker_function] {
                place_worker_thread(self.number);
                worker_function(&self);
                self.end_us = now_us();
                if (self.number == 0) progress_files_ended(phase);
                end_worker(running);
            });
        } catch (const std::system_error& error) {
            record_fatal_error(run.state, format_text(messages::thread_creation, w, error.code().message().c_str()));
            // The workers that will never start count as ended.
            for (std::uint32_t never = w; never < workers.size(); ++never) end_worker(running);
            break;
        }
    }
    sample_until_ended(running, phase, figure.series);
    // The run ends here, its workers and progress line left running: they create no file any
    // more, and their files are removed by name while they still hold them.
    if (process_closing()) {
        for (std::thread& thread : threads)
            if (thread.joinable()) thread.detach();
        if (printer.thread.joinable()) printer.thread.detach();
        run.left_running.push_back(shared);
        return run_stops(run, run_stop::interrupted);
    }
    phase.end_us = now_us();
    stop_progress(printer);
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
    return true;
}

// The figure of the phase that ran from the phase's start to its end.
void measure(figure_record& figure, const run_state& run) {
    figure.measured = true;
    figure.bytes = run.phase.bytes_moved.load();
    figure.start_us = run.phase.start_us - run.start_us;
    figure.elapsed_us = elapsed_us(run.phase.start_us, run.phase.end_us);
    figure.kib_per_ms = rate_kib_per_ms(figure.bytes / bytes_per_kib, figure.elapsed_us);
}

// Each rank times its phase from the moment every rank is ready: no two nodes' clocks are
// compared.
std::optional<figure_record> run_phase(benchmark_run& run, void (*worker_function)(worker*), figure_kind kind,
                                       std::uint64_t expected_bytes) {
    figure_record figure;
    phase_state& phase = run.state.phase;
    phase.bytes_moved.store(0);
    phase.cut_short.store(false);
    phase.expected_bytes = expected_bytes;
    // With -fill or -time the progress line also says how far the phase has come and how long it has left.
    phase.outlook_shown = run.settings.fill_percent != 0 || run.settings.phase_seconds != 0;
    for (worker& self : run.workers) {
        self.cut_short = false;
        self.capacity = capacity_tally{};
    }
    if (!wait_for_every_rank(run)) return std::nullopt;
    phase.start_us = now_us();
    const std::uint32_t seconds = run.settings.phase_seconds;
    phase.deadline_us = seconds == 0 ? 0 : phase.start_us + seconds * one_second_us;
    if (!run_workers(run, worker_function, console_label_of(kind), figure)) return std::nullopt;
    measure(figure, run.state);
    figure.cut_short = phase.cut_short.load();
    end_series(figure.series, figure.elapsed_us, figure.bytes);
    std::vector<const call_times*> times;
    for (std::uint32_t w = 0; w < run.workers.size(); ++w) {
        const worker& self = run.workers[w];
        figure.workers.push_back(worker_result{self.bytes, elapsed_us(phase.start_us, self.end_us), cluster_rank(), w,
                                               self.cut_short, self.stopped_file, self.stopped_offset});
        times.push_back(&self.times);
    }
    figure.latency = merge_call_times(times, phase.start_us * 1000);
    return figure;
}

}  // namespace

std::optional<figure_record> write_phase(benchmark_run& run) {
    print("%s", messages::write_status);
    std::optional<figure_record> figure =
        run_phase(run, write_worker, figure_kind::write_cached,
                  test_file_bytes(run.settings) * run.settings.files_per_worker * run.workers.size());
    // A rank forces its files as soon as its own writers end, without waiting for the others.
    if (figure && cluster_mode()) start_flush(run.state);
    return figure;
}

std::optional<figure_record> read_phase(benchmark_run& run, bool with_cache) {
    std::uint64_t expected_bytes = 0;
    for (worker& reader : run.workers) {
        reader.with_cache = with_cache;
        expected_bytes += written_bytes(reader.reads, test_file_bytes(run.settings));
    }
    return run_phase(run, read_worker, with_cache ? figure_kind::read_cached : figure_kind::read_uncached,
                     expected_bytes);
}
