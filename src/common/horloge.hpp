// The phase clock: monotonic microseconds, so that a clock change during a run cannot
// distort a figure.
#pragma once

#include <cstdint>

// Microseconds on the monotonic clock since an arbitrary origin.
std::int64_t maintenant_us();

// Start of the current phase, stamped by main before the workers start.
extern std::int64_t temps_depart;
// End of the current phase; main stamps it after the last join.
extern std::int64_t temps_fin;

std::int64_t elapsed_us(std::int64_t debut, std::int64_t fin);
