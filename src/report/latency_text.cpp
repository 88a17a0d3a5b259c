#include "report/latency_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "report/page_text.hpp"

namespace {

// `value` with three significant digits, trailing zeros dropped: 0.21, 1.9, 2.31, 153.
std::string significant(double value) {
    const int magnitude = value > 0 ? static_cast<int>(std::floor(std::log10(value))) : 0;
    const int decimals = std::clamp(2 - magnitude, 0, 6);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string shown = text;
    if (shown.find('.') != std::string::npos) {
        while (shown.back() == '0') shown.pop_back();
        if (shown.back() == '.') shown.pop_back();
    }
    return shown;
}

}  // namespace

std::string duration_text(std::uint64_t ns) {
    const double milliseconds = static_cast<double>(ns) / 1e6;
    if (milliseconds < 0.09995) return format_text(messages::duration_us, significant(milliseconds * 1e3).c_str());
    // Rounded to three digits, 999.7 ms is a second.
    if (milliseconds < 999.5) return format_text(messages::duration_ms, significant(milliseconds).c_str());
    return format_text(messages::duration_s, significant(milliseconds / 1e3).c_str());
}

std::string stall_maker(const stall_record& stall, bool with_ranks) {
    return with_ranks ? format_text(messages::stall_rank_worker, stall.rank, stall.worker)
                      : format_text(messages::stall_worker, stall.worker);
}

std::string latency_note(const latency_summary& summary, bool flush) {
    if (summary.calls == 0) return "";
    return format_text(flush ? messages::flush_latency_note : messages::latency_note,
                       duration_text(summary.p50_ns).c_str(), duration_text(summary.p99_9_ns).c_str(),
                       duration_text(summary.max_ns).c_str());
}

std::string stall_note(const std::vector<stall_record>& stalls, bool with_ranks) {
    if (stalls.empty()) return "";
    const stall_record& longest = stalls.front();
    const std::string took = duration_text(longest.duration_ns);
    const std::string when = duration_text(static_cast<std::uint64_t>(std::max<std::int64_t>(longest.start_ns, 0)));
    const std::string who = stall_maker(longest, with_ranks);
    if (longest.whole_file)
        return format_text(messages::flush_stall_note, took.c_str(), when.c_str(), who.c_str(), longest.file);
    return format_text(messages::stall_note, took.c_str(), when.c_str(), who.c_str(), longest.file,
                       binary_size(longest.offset).c_str());
}
