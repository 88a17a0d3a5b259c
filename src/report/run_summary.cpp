#include "report/run_summary.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/units.hpp"

double rounded_rate(double value) { return std::round(value * 1000) / 1000; }

double figure_mb_per_second(const figure_record& figure) {
    return static_cast<double>(figure.bytes) / static_cast<double>(std::max<std::int64_t>(figure.elapsed_us, 1));
}

double figure_mib_per_second(const figure_record& figure) {
    return figure_mb_per_second(figure) * 1e6 / static_cast<double>(bytes_per_mib);
}

run_summary summary_of(const run_record& run) {
    run_summary summary;
    for (int kind = 0; kind < figure_count; ++kind) {
        std::vector<double> kib_per_ms, mb_per_second;
        for (const pass_record& pass : run.passes) {
            if (!pass.figures[figure_count - 1].measured) continue;
            kib_per_ms.push_back(static_cast<double>(pass.figures[kind].kib_per_ms));
            mb_per_second.push_back(figure_mb_per_second(pass.figures[kind]));
        }
        summary.passes = kib_per_ms.size();
        if (kib_per_ms.empty()) continue;
        summary.figures[kind] = figure_spread{statistics_of(kib_per_ms), statistics_of(mb_per_second)};
    }
    return summary;
}

std::uint64_t bytes_verified(const run_record& run) {
    std::uint64_t bytes = 0;
    if (!run.settings.verify) return 0;
    for (const pass_record& pass : run.passes)
        for (const figure_kind kind : {figure_kind::read_cached, figure_kind::read_uncached})
            bytes += pass.figures[static_cast<int>(kind)].bytes;
    return bytes;
}

double cached_percent(const pass_record& pass) { return rounded_rate(pass.cached_after_purge * 100); }

std::uint32_t node_count(const run_record& run) {
    std::uint32_t nodes = 0;
    for (const rank_description& rank : run.ranks) nodes = std::max(nodes, rank.node + 1);
    return nodes;
}
