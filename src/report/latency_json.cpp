#include "report/latency_json.hpp"

#include <algorithm>
#include <cmath>

using json = nlohmann::ordered_json;

namespace {

// Nanoseconds as microseconds, to the nanosecond.
double microseconds(std::uint64_t ns) { return std::round(static_cast<double>(ns)) / 1000; }

}  // namespace

json latency_json(const latency_summary& summary) {
    json object{{"count", summary.calls}};
    // With no call there is no time to give.
    const auto time = [&summary](std::uint64_t ns) {
        return summary.calls == 0 ? json(nullptr) : json(microseconds(ns));
    };
    object["mean_us"] = time(summary.mean_ns);
    object["p50_us"] = time(summary.p50_ns);
    object["p90_us"] = time(summary.p90_ns);
    object["p99_us"] = time(summary.p99_ns);
    object["p99_9_us"] = time(summary.p99_9_ns);
    object["p99_99_us"] = time(summary.p99_99_ns);
    object["max_us"] = time(summary.max_ns);
    // The page's percentile curve, so that a page made again from this file draws it too.
    json curve = json::array();
    for (const latency_curve_point& point : summary.curve) curve.push_back({point.nines, microseconds(point.ns)});
    object["curve"] = curve;
    return object;
}

json stalls_json(const std::vector<stall_record>& stalls, bool with_ranks) {
    json list = json::array();
    for (const stall_record& stall : stalls) {
        json entry;
        if (with_ranks) entry["rank"] = stall.rank;
        entry["worker"] = stall.worker;
        entry["file"] = stall.file;
        entry["offset"] = stall.whole_file ? json(nullptr) : json(stall.offset);
        entry["start_us"] = microseconds(static_cast<std::uint64_t>(std::max<std::int64_t>(stall.start_ns, 0)));
        entry["duration_us"] = microseconds(stall.duration_ns);
        list.push_back(entry);
    }
    return list;
}
