#include "common/clock.hpp"

#include <chrono>

std::int64_t now_us() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t elapsed_us(std::int64_t start, std::int64_t end) { return end - start; }
