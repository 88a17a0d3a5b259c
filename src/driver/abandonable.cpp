#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "driver/driver.hpp"
#include "platform/interruption.hpp"

namespace {

struct step_progress {
    std::mutex lock;
    std::condition_variable ended;
    bool over = false;
};

constexpr auto closing_check = std::chrono::milliseconds(20);

}  // namespace

// The step's thread is never joined once the console is closing: it is left to the process's
// end with its own copy of the step.
bool run_abandonable(benchmark_run& run, const std::function<void()>& step) {
    const auto progress = std::make_shared<step_progress>();
    std::thread thread;
    try {
        thread = std::thread([progress, step] {
            step();
            std::lock_guard<std::mutex> guard(progress->lock);
            progress->over = true;
            progress->ended.notify_all();
        });
    } catch (const std::system_error&) {
        step();
        return true;
    }
    {
        std::unique_lock<std::mutex> lock(progress->lock);
        while (!progress->ended.wait_for(lock, closing_check, [&progress] { return progress->over; })) {
            if (!process_closing()) continue;
            thread.detach();
            return run_stops(run, run_stop::interrupted);
        }
    }
    thread.join();
    return true;
}
