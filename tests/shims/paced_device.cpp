// A device paced by offset, for the tests of a write's stages: loaded with LD_PRELOAD into
// quorlane, it holds each write to a test file until a device writing the run's bytes in the
// order they come, at a rate set by how many it has written so far, would have taken them, so
// that the process's write rate follows the stages whatever the number of threads.
// PACED_STAGES gives the stages as "MiB:MB/s" pairs, each the size of a stage and its rate,
// the last without a size: "24:40,16:8,20" writes 24 MiB at 40 MB/s, 16 MiB at 8 MB/s, then
// the rest at 20 MB/s. The eviction file and the run's marker are not paced.
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct paced_stage {
    double end_bytes = 0;  // where it ends, counted from the first byte paced; the last never
    double bytes_per_second = 0;
};

std::vector<paced_stage> stages_asked() {
    std::vector<paced_stage> stages;
    const char* setting = std::getenv("PACED_STAGES");
    std::string text = setting != nullptr ? setting : "";
    double end = 0;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string pair = text.substr(0, comma);
        text = comma == std::string::npos ? "" : text.substr(comma + 1);
        const std::size_t colon = pair.find(':');
        if (colon == std::string::npos) {
            stages.push_back(paced_stage{1e300, std::atof(pair.c_str()) * 1e6});
            break;
        }
        end += std::atof(pair.substr(0, colon).c_str()) * 1048576;
        stages.push_back(paced_stage{end, std::atof(pair.c_str() + colon + 1) * 1e6});
    }
    return stages;
}

// The seconds the device takes to write `size` bytes from `done` on.
double seconds_to_write(const std::vector<paced_stage>& stages, double done, double size) {
    double seconds = 0;
    for (const paced_stage& stage : stages) {
        if (size <= 0) break;
        if (done >= stage.end_bytes || stage.bytes_per_second <= 0) continue;
        const double here = std::min(size, stage.end_bytes - done);
        seconds += here / stage.bytes_per_second;
        done += here;
        size -= here;
    }
    return seconds;
}

bool paced(int descriptor) {
    char target[4096];
    const ssize_t length =
        readlink(("/proc/self/fd/" + std::to_string(descriptor)).c_str(), target, sizeof target - 1);
    if (length <= 0) return false;
    const std::string path(target, static_cast<std::size_t>(length));
    return path.find("/vellumcrate_") != std::string::npos && path.find("/vellumcrate_cache") == std::string::npos &&
           path.find("/vellumcrate_owner") == std::string::npos;
}

// A writer woken late from its wait (on a busy machine, by a few milliseconds each time) finds
// the device idle: up to this much idle time is made up afterwards, so that the device keeps its
// pace whatever the scheduler's delays, while a pause longer than that stays a pause.
constexpr double idle_made_up_seconds = 0.02;

// The device: the bytes it has taken and when it is free to take more.
std::mutex device_lock;
double bytes_taken = 0;
std::chrono::steady_clock::time_point free_at{};

void wait_for_device(std::size_t size) {
    static const std::vector<paced_stage> stages = stages_asked();
    std::chrono::steady_clock::time_point done;
    {
        const std::lock_guard<std::mutex> held(device_lock);
        const auto earliest = std::chrono::steady_clock::now() -
                              std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<double>(idle_made_up_seconds));
        if (free_at == std::chrono::steady_clock::time_point{}) free_at = std::chrono::steady_clock::now();
        if (free_at < earliest) free_at = earliest;
        free_at += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(seconds_to_write(stages, bytes_taken, static_cast<double>(size))));
        bytes_taken += static_cast<double>(size);
        done = free_at;
    }
    std::this_thread::sleep_until(done);
}

}  // namespace

extern "C" ssize_t write(int descriptor, const void* data, size_t size) {
    static const auto real_write = reinterpret_cast<ssize_t (*)(int, const void*, size_t)>(dlsym(RTLD_NEXT, "write"));
    const ssize_t written = real_write(descriptor, data, size);
    if (written > 0 && paced(descriptor)) wait_for_device(static_cast<std::size_t>(written));
    return written;
}
