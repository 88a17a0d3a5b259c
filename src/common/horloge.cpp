#include "common/horloge.hpp"

#include <chrono>

std::int64_t temps_depart = 0;
std::int64_t temps_fin = 0;

std::int64_t maintenant_us() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t elapsed_us(std::int64_t debut, std::int64_t fin) { return fin - debut; }
