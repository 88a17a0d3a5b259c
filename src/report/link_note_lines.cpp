#include "report/link_note_lines.hpp"

#include <algorithm>

#include "cluster/cluster.hpp"
#include "common/output.hpp"
#include "settings/settings.hpp"

namespace {

double mb_per_second(const figure_record& figure) {
    return static_cast<double>(figure.bytes) / static_cast<double>(std::max<std::int64_t>(figure.elapsed_us, 1));
}

// Above this share of the test files still cached after the purge, the console has said so
// already, and the read's speed is the OS cache's.
constexpr double still_cached_share = 0.01;

}  // namespace

std::optional<link_note> figure_link_note(const run_record& run, const pass_record& pass, figure_kind kind,
                                          bool direct) {
    const figure_record& figure = pass.figures[static_cast<int>(kind)];
    if (cluster_mode() || !figure.measured) return std::nullopt;
    if (kind == figure_kind::write_forced) return beyond_link_note(run.measured.target, mb_per_second(figure), false);
    if (kind != figure_kind::read_uncached) return std::nullopt;
    if (pass.cached_after_purge_known && pass.cached_after_purge > still_cached_share) return std::nullopt;
    if (auto note = beyond_link_note(run.measured.target, mb_per_second(figure), true)) return note;
    const figure_record& cached = pass.figures[static_cast<int>(figure_kind::read_cached)];
    if (!cached.measured) return std::nullopt;
    return host_cache_note(run.measured, mb_per_second(cached), mb_per_second(figure), figure.elapsed_us,
                           direct);
}

void print_link_note(const run_record& run, const pass_record& pass, figure_kind kind, bool direct) {
    const auto note = figure_link_note(run, pass, kind, direct);
    if (!note) return;
    if (note->kind == "host_cache")
        for (const pass_record& earlier : run.passes) {
            if (&earlier == &pass) break;
            const auto said = figure_link_note(run, earlier, kind, direct);
            if (said && said->kind == "host_cache") return;
        }
    print_on_own_line(note->text);
}
