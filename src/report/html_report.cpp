#include "report/html_report.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/units.hpp"
#include "report/console.hpp"
#include "report/figure_names.hpp"
#include "report/html_tables.hpp"
#include "report/measured_on_card.hpp"
#include "report/latency_page.hpp"
#include "report/page_style.hpp"
#include "report/page_text.hpp"
#include "report/run_charts.hpp"
#include "report/run_summary.hpp"

namespace {

std::string note(const std::string& text, const char* kind = "") {
    return std::string("<li") + (*kind != '\0' ? std::string(" class=\"") + kind + "\"" : "") + ">" +
           html_escape(text) + "</li>";
}

std::string figure_card(const run_record& run, const run_summary& summary, int kind) {
    const bool medians = summary.passes > 1;
    const std::size_t asked = run.settings.pass_count;
    std::string value = "not measured", other;
    if (medians) {
        const figure_spread& spread = summary.figures[kind];
        const double mb = spread.mb_per_second.median;
        value = grouped(mb, 0) + " <small>MB/s</small>";
        other = grouped(mb * 1e6 / bytes_per_mib, 0) + " MiB/s · " +
                grouped(static_cast<std::uint64_t>(rounded_rate(spread.kib_per_ms.median))) + " Mo/s on the console<br>median of " +
                std::to_string(summary.passes) + " passes" +
                (summary.passes < asked ? " of " + std::to_string(asked) + " asked" : "") + ", " +
                grouped(spread.mb_per_second.minimum, 0) + " to " + grouped(spread.mb_per_second.maximum, 0) + " MB/s";
    } else {
        // The one pass that measured it; with several asked, the card says which.
        for (std::size_t pass = 0; pass < run.passes.size(); ++pass) {
            const figure_record& figure = run.passes[pass].figures[kind];
            if (!figure.measured) continue;
            value = grouped(figure_mb_per_second(figure), 0) + " <small>MB/s</small>";
            other = grouped(figure_mib_per_second(figure), 0) + " MiB/s · " + grouped(figure.kib_per_ms) +
                    " Mo/s on the console";
            if (asked > 1)
                other += "<br>pass " + std::to_string(pass + 1) + " alone, of " + std::to_string(asked) + " asked";
            break;
        }
    }
    return "<div class=\"figure\" style=\"--accent: " + shade(figure_hues[kind], 0, 1) + "\"><div class=\"name\">" +
           messages::figure_labels[kind] + "</div><div class=\"value\">" + value + "</div><div class=\"other\">" + other +
           "</div></div>";
}

std::string status_notes(const run_record& run) {
    if (run.status == run_status::completed) return "";
    // A run that failed on data read back wrong is told by the verification's note, whole.
    if (run.status == run_status::error && run.mismatch.found) return "";
    std::string message = run.message;
    // The console's lines, one sentence on the page.
    for (std::size_t line_end; (line_end = message.find('\n')) != std::string::npos;)
        message.replace(line_end, 1, line_end + 1 == message.size() ? "" : "; ");
    // The console's line begins with the word the note begins with.
    const bool interrupted = run.status == run_status::interrupted;
    const std::string said = "Interrupted: ";
    if (interrupted && message.compare(0, said.size(), said) == 0) message.erase(0, said.size());
    const std::string what = interrupted ? "The run was interrupted" : "The run failed";
    return note(what + ": " + message, "failure");
}

std::string verification_notes(const run_record& run) {
    if (!run.settings.verify) return "";
    const mismatch_record& mismatch = run.mismatch;
    const std::uint64_t verified = bytes_verified(run);
    if (!mismatch.found && verified == 0) return "";
    if (!mismatch.found) return note("Every byte read back (" + binary_size(verified) + ") was what had been written.");
    std::string first = format_text(messages::data_differs, mismatch.file.c_str(),
                                    static_cast<unsigned long long>(mismatch.byte));
    if (!first.empty() && first.back() == '\n') first.pop_back();
    std::string text = (run.status == run_status::error ? "The run failed: " : "") + first + ": " + mismatch.diagnosis;
    for (const std::string& line : mismatch.details) text += "; " + line;
    std::string capacity;
    if (run.settings.fill_percent != 0 && run.capacity.checked)
        capacity = note(without_note_prefix(run.capacity_note), "failure");
    return capacity + note(text, "failure");
}

std::string target_notes(const run_record& run) {
    std::string notes;
    const target_record& target = run.target;
    if (target.memory_backed)
        notes += note(without_note_prefix(format_text(messages::memory_file_system, target.path.c_str(),
                                                      target.file_system.c_str())),
                      "warning");
    if (!target.cache_beyond_purge.empty()) notes += note(target.cache_beyond_purge_text, "warning");
    if (run.settings.direct) notes += note(without_note_prefix(messages::direct_note));
    return notes;
}

// A pass's figures that mean little or less than they seem, and where its write rate fell.
std::string pass_notes(const pass_record& pass, std::size_t number, std::size_t passes) {
    const std::string prefix = passes > 1 ? "Pass " + std::to_string(number) + ": " : "";
    std::string notes;
    if (pass.cached_after_purge_known && cached_percent(pass) > 1)
        notes += note(prefix + without_note_prefix(format_text(
                                   messages::still_cached, static_cast<unsigned long long>(cached_percent(pass)))),
                      "warning");
    for (const figure_record& figure : pass.figures) {
        if (!figure.measured) continue;
        if (figure.rate_drop) notes += note(prefix + figure.rate_drop->text, "warning");
        if (!figure.stages_text.empty()) notes += note(prefix + figure.stages_text);
        if (figure.link_note) notes += note(prefix + figure.link_note->text, "warning");
    }
    return notes;
}

// Pass numbers as runs: 1, 2, 3, 5 → "1–3, 5".
std::string pass_ranges(const std::vector<std::size_t>& passes) {
    std::string text;
    for (std::size_t k = 0; k < passes.size();) {
        std::size_t last = k;
        while (last + 1 < passes.size() && passes[last + 1] == passes[last] + 1) ++last;
        text += (text.empty() ? "" : ", ") + std::to_string(passes[k]) +
                (last > k ? "\u2013" + std::to_string(passes[last]) : std::string());
        k = last + 1;
    }
    return text;
}

// Phases under a second, said once: each figure with its time, or with several passes, the
// passes where it was that short and its shortest and longest time there.
std::string short_phase_note(const run_record& run) {
    const std::size_t passes = run.passes.size();
    std::string phases;
    for (int kind = 0; kind < figure_count; ++kind) {
        std::vector<std::size_t> short_passes;
        double shortest = 0, longest = 0;
        for (std::size_t pass = 0; pass < passes; ++pass) {
            const figure_record& figure = run.passes[pass].figures[kind];
            if (!figure.measured || figure.elapsed_us >= one_second_us) continue;
            const double seconds = static_cast<double>(figure.elapsed_us) / 1e6;
            shortest = short_passes.empty() ? seconds : std::min(shortest, seconds);
            longest = short_passes.empty() ? seconds : std::max(longest, seconds);
            short_passes.push_back(pass + 1);
        }
        if (short_passes.empty()) continue;
        std::string times = grouped(shortest, 3) + " s";
        if (passes > 1) {
            if (longest != shortest) times = grouped(shortest, 3) + " to " + grouped(longest, 3) + " s";
            times = std::string(short_passes.size() > 1 ? "in passes " : "in pass ") + pass_ranges(short_passes) +
                    " (" + times + ")";
        }
        phases += std::string(phases.empty() ? "" : ", ") + messages::figure_labels[kind] + " " + times;
    }
    if (phases.empty()) return "";
    return note("under a second, too short for a figure to mean much: " + phases + ".", "warning");
}

}  // namespace

std::string note_items(const run_record& run) {
    std::string items = status_notes(run) + verification_notes(run) + target_notes(run);
    for (std::size_t pass = 0; pass < run.passes.size(); ++pass)
        items += pass_notes(run.passes[pass], pass + 1, run.passes.size());
    items += short_phase_note(run);
    if (!run.ranks.empty()) {
        const std::size_t ranks = run.ranks.size();
        const std::size_t nodes = node_count(run);
        items += note(std::to_string(ranks) + (ranks == 1 ? " rank on " : " ranks on ") + std::to_string(nodes) +
                      (nodes == 1 ? " node" : " nodes") +
                      ": each figure is all ranks' bytes over the time of the last rank done.");
    }
    return items;
}

namespace {

std::string notes(const run_record& run) {
    std::string items = note_items(run);
    if (items.empty()) items = note("Nothing to remark: the run completed and every figure is a disk's.");
    return "<h2>Notes</h2><ul class=\"notes\">" + items + "</ul>";
}

std::string header(const run_record& run) {
    const std::string status = status_name(run.status);
    const std::string& file_system = run.target.file_system;
    return "<header><h1>Quorlane report: " + html_escape(run.target.path) +
           "</h1><p class=\"subtitle\"><span class=\"status " + status + "\">" + status + "</span> " +
           html_escape(run.host.name) + " · " +
           (file_system.empty() ? "file system unknown" : html_escape(file_system)) + " · started " +
           html_escape(run.started_utc) + "</p></header>";
}

std::string figures(const run_record& run) {
    const run_summary summary = summary_of(run);
    std::string cards = "<section class=\"figures\">";
    for (int kind = 0; kind < figure_count; ++kind) cards += figure_card(run, summary, kind);
    return cards +
           "</section><p class=\"units\">MB/s: 10<sup>6</sup> bytes a second. MiB/s: 2<sup>20</sup> = 1,048,576 "
           "bytes a second. Mo/s, the console's figure: KiB (1,024 bytes) a millisecond, that is 1,024,000 bytes "
           "a second.</p>";
}

std::string footer(const run_record& run) {
    std::string command;
    for (const std::string& argument : run.command_line) {
        if (!command.empty()) command += ' ';
        command += argument;
    }
    return "<footer>Quorlane " + html_escape(run.program_version) + " · command line: <code>" + html_escape(command) +
           "</code><br>The same data, field by field, is in the results file that -json writes.</footer>";
}

}  // namespace

std::string html_page(const run_record& run) {
    const std::string timeline = timeline_chart(run);
    const std::string phases = phase_charts(run);
    const std::string ranks = rank_bars(run);
    const std::string latency = latency_curves(run) + latency_table(run);
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>Quorlane report: " +
           html_escape(run.target.path) + "</title><style>" + page_style + "</style></head><body><main>" +
           header(run) + figures(run) + measured_on_card(run) + notes(run) +
           (timeline.empty() ? "" : "<h2>Timeline</h2>" + timeline) + (ranks.empty() ? "" : "<h2>Ranks</h2>" + ranks) +
           (phases.empty() ? "" : "<h2>Phases</h2>" + phases) +
           (latency.empty() ? "" : "<h2>Time of each call</h2>" + latency) + figure_tables(run) + context_tables(run) +
           footer(run) + "</main></body></html>\n";
}
