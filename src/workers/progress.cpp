#include "workers/progress.hpp"

#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "settings/settings.hpp"

bool live_progress = true;

namespace {
constexpr std::int64_t us_per_second = 1000000;
}

void start_file(progress_state& state) {
    state.dots = 0;
    state.last_sample = now_us();
}

void progress_step(progress_state& state, const char* label) {
    phase_end = now_us();
    if (!live_progress || phase_end / us_per_second - state.last_sample / us_per_second <= 0) return;

    state.last_sample = phase_end;
    const std::uint64_t kib = bytes_moved.load(std::memory_order_relaxed) / bytes_per_kib;
    print(messages::progress, label,
          static_cast<unsigned long long>(rate_kib_per_ms(kib, elapsed_us(phase_start, phase_end))),
          messages::dots[state.dots]);
    state.dots = state.dots >= 4 ? 0 : state.dots + 1;
}
