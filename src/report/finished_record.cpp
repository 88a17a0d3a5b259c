#include "report/finished_record.hpp"

#include "report/console.hpp"
#include "report/link_note_lines.hpp"
#include "report/rate_drop_text.hpp"
#include "report/run_summary.hpp"
#include "results/rate_drop.hpp"
#include "settings/settings.hpp"

namespace {

std::optional<rate_drop_record> rate_drop_of(const figure_record& write) {
    const rate_drop drop = find_rate_drop(write);
    if (!drop.found) return std::nullopt;
    return rate_drop_record{drop.at_us, drop.at_bytes, rounded_rate(drop.before_bytes_per_second / 1e6),
                            rounded_rate(drop.after_bytes_per_second / 1e6), rate_drop_sentence(drop)};
}

std::optional<link_note_record> link_note_of(const run_record& run, const pass_record& pass, figure_kind kind,
                                             bool direct) {
    const std::optional<link_note> note = figure_link_note(run, pass, kind, direct);
    if (!note) return std::nullopt;
    return link_note_record{note->kind, note->link, note->ceiling_mb_per_second, without_note_prefix(note->text)};
}

}  // namespace

run_record finished_record(const run_settings& settings, const run_record& run, int exit_status,
                           const std::string& message) {
    run_record finished = run;
    finished.program_version = QUORLANE_VERSION;
    finished.exit_status = exit_status;
    finished.status = exit_status == 0 ? run_status::completed
                      : run.interrupted ? run_status::interrupted
                                        : run_status::error;
    finished.message = message;
    finished.settings = settings;
    // A loop device over a file in memory is in memory, whatever the loop's own volume says.
    finished.target.memory_backed = run.target.memory_backed || !run.measured.target.memory_file_system.empty();
    for (std::size_t index = 0; index < finished.passes.size(); ++index) {
        pass_record& pass = finished.passes[index];
        figure_record& write = pass.figures[static_cast<int>(figure_kind::write_cached)];
        if (write.measured) write.rate_drop = rate_drop_of(write);
        for (const figure_kind kind : {figure_kind::write_forced, figure_kind::read_uncached})
            pass.figures[static_cast<int>(kind)].link_note = link_note_of(run, run.passes[index], kind, settings.direct);
    }
    if (finished.capacity.checked) finished.capacity_note = capacity_note(finished.capacity);
    return finished;
}
