// Watches a directory while a run lasts and keeps the largest size seen of each file in it.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>

struct observateur {
    explicit observateur(const std::string& chemin);
    // Stops watching and returns every file seen, with its largest size.
    std::map<std::string, std::uintmax_t> arreter();

    std::atomic<bool> fin{false};
    std::map<std::string, std::uintmax_t> vus;
    std::thread fil;
};
