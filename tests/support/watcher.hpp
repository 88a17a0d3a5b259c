// Watches a directory while a run lasts and keeps the largest size seen of each file in it;
// the run's marker (run/run_marker.hpp) is left out.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>

struct watcher {
    explicit watcher(const std::string& path_name);
    // Stops watching and returns every file seen, with its largest size.
    std::map<std::string, std::uintmax_t> stop_watching();

    std::atomic<bool> end{false};
    std::map<std::string, std::uintmax_t> seen;
    std::thread watch_thread;
};
