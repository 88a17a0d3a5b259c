#include "report/html_report.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/units.hpp"
#include "report/figure_names.hpp"
#include "report/html_tables.hpp"
#include "report/measured_on_card.hpp"
#include "report/latency_page.hpp"
#include "report/page_style.hpp"
#include "report/page_text.hpp"
#include "report/run_charts.hpp"

using json = nlohmann::ordered_json;

namespace {

// A console note as a line of the page's list: the list says they are notes.
std::string without_note_prefix(const std::string& text) {
    const std::string prefix = "Note: ";
    return text.compare(0, prefix.size(), prefix) == 0 ? text.substr(prefix.size()) : text;
}

std::string note(const std::string& text, const char* kind = "") {
    return std::string("<li") + (*kind != '\0' ? std::string(" class=\"") + kind + "\"" : "") + ">" +
           html_escape(text) + "</li>";
}

// The figure in the pass that measured it, null when none did.
const json* pass_figure(const json& pass, const char* name) {
    for (const json& figure : pass["figures"])
        if (figure["name"] == name) return &figure;
    return nullptr;
}

std::string figure_card(const json& results, int kind) {
    const json& summary = results["summary"];
    const bool medians = summary["passes"].get<std::size_t>() > 1;
    const std::size_t asked = results["settings"]["repeat"].get<std::size_t>();
    std::string value = "not measured", other;
    if (medians) {
        const json& spread = summary["figures"][figure_names[kind]];
        const double mb = spread["mb_per_second"]["median"].get<double>();
        value = grouped(mb, 0) + " <small>MB/s</small>";
        other = grouped(mb * 1e6 / bytes_per_mib, 0) + " MiB/s · " +
                grouped(static_cast<std::uint64_t>(spread["kib_per_ms"]["median"].get<double>())) +
                " Mo/s on the console<br>median of " + std::to_string(summary["passes"].get<std::size_t>()) +
                " passes" +
                (summary["passes"].get<std::size_t>() < asked ? " of " + std::to_string(asked) + " asked" : "") +
                ", " + grouped(spread["mb_per_second"]["minimum"].get<double>(), 0) + " to " +
                grouped(spread["mb_per_second"]["maximum"].get<double>(), 0) + " MB/s";
    } else {
        // The one pass that measured it; with several asked, the card says which.
        for (const json& pass : results["passes"]) {
            const json* figure = pass_figure(pass, figure_names[kind]);
            if (figure == nullptr) continue;
            value = grouped((*figure)["mb_per_second"].get<double>(), 0) + " <small>MB/s</small>";
            other = grouped((*figure)["mib_per_second"].get<double>(), 0) + " MiB/s · " +
                    grouped((*figure)["kib_per_ms"].get<std::uint64_t>()) + " Mo/s on the console";
            if (asked > 1)
                other += "<br>pass " + std::to_string(pass["pass"].get<std::size_t>()) + " alone, of " +
                         std::to_string(asked) + " asked";
            break;
        }
    }
    return "<div class=\"figure\" style=\"--accent: " + shade(figure_hues[kind], 0, 1) + "\"><div class=\"name\">" +
           messages::figure_labels[kind] + "</div><div class=\"value\">" + value + "</div><div class=\"other\">" + other +
           "</div></div>";
}

std::string status_notes(const json& results) {
    const std::string status = results["status"];
    if (status == "completed") return "";
    // A run that failed on data read back wrong is told by the verification's note, whole.
    if (status == "error" && !results["verification"]["mismatch"].is_null()) return "";
    std::string message = results["message"].get<std::string>();
    // The console's lines, one sentence on the page.
    for (std::size_t line_end; (line_end = message.find('\n')) != std::string::npos;)
        message.replace(line_end, 1, line_end + 1 == message.size() ? "" : "; ");
    // The console's line begins with the word the note begins with.
    const std::string said = "Interrupted: ";
    if (status == "interrupted" && message.compare(0, said.size(), said) == 0) message.erase(0, said.size());
    const std::string what = status == "interrupted" ? "The run was interrupted" : "The run failed";
    return note(what + ": " + message, "failure");
}

std::string verification_notes(const json& results) {
    const json& verification = results["verification"];
    if (!verification["enabled"].get<bool>()) return "";
    const json& mismatch = verification["mismatch"];
    if (mismatch.is_null() && verification["bytes_verified"].get<std::uint64_t>() == 0) return "";
    if (mismatch.is_null())
        return note("Every byte read back (" + binary_size(verification["bytes_verified"].get<std::uint64_t>()) +
                    ") was what had been written.");
    std::string first = format_text(messages::data_differs, mismatch["file"].get<std::string>().c_str(),
                                    static_cast<unsigned long long>(mismatch["byte"].get<std::uint64_t>()));
    if (!first.empty() && first.back() == '\n') first.pop_back();
    std::string text = (results["status"] == "error" ? "The run failed: " : "") + first + ": " +
                       mismatch["diagnosis"].get<std::string>();
    for (const json& line : mismatch["details"]) text += "; " + line.get<std::string>();
    std::string capacity;
    if (verification.contains("capacity") && !verification["capacity"].is_null())
        capacity = note(without_note_prefix(verification["capacity"]["text"].get<std::string>()), "failure");
    return capacity + note(text, "failure");
}

std::string target_notes(const json& results) {
    std::string notes;
    const json& target = results["target"];
    if (target["memory_backed"].get<bool>())
        notes += note(
            without_note_prefix(format_text(messages::memory_file_system, target["path"].get<std::string>().c_str(),
                                            target["file_system"].get<std::string>().c_str())),
            "warning");
    const json& other_cache = target.value("cache_beyond_purge", json());
    if (other_cache.is_object()) notes += note(other_cache["text"].get<std::string>(), "warning");
    if (results["settings"]["direct"].get<bool>()) notes += note(without_note_prefix(messages::direct_note));
    return notes;
}

// A pass's figures that mean little or less than they seem, and where its write rate fell.
std::string pass_notes(const json& pass, std::size_t passes) {
    const std::string prefix = passes > 1 ? "Pass " + std::to_string(pass["pass"].get<std::size_t>()) + ": " : "";
    std::string notes;
    const json& cached = pass["cached_after_purge_percent"];
    if (cached.is_number() && cached.get<double>() > 1)
        notes += note(prefix + without_note_prefix(format_text(messages::still_cached,
                                                               static_cast<unsigned long long>(cached.get<double>()))),
                      "warning");
    for (const json& figure : pass["figures"]) {
        if (figure.contains("rate_drop") && !figure["rate_drop"].is_null())
            notes += note(prefix + figure["rate_drop"]["text"].get<std::string>(), "warning");
        if (figure.contains("link_note") && !figure["link_note"].is_null())
            notes += note(prefix + figure["link_note"]["text"].get<std::string>(), "warning");
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
std::string short_phase_note(const json& results) {
    const std::size_t passes = results["passes"].size();
    std::string phases;
    for (int kind = 0; kind < figure_count; ++kind) {
        std::vector<std::size_t> short_passes;
        double shortest = 0, longest = 0;
        for (const json& pass : results["passes"]) {
            const json* figure = pass_figure(pass, figure_names[kind]);
            if (figure == nullptr || !(*figure)["under_one_second"].get<bool>()) continue;
            const double seconds = (*figure)["microseconds"].get<double>() / 1e6;
            shortest = short_passes.empty() ? seconds : std::min(shortest, seconds);
            longest = short_passes.empty() ? seconds : std::max(longest, seconds);
            short_passes.push_back(pass["pass"].get<std::size_t>());
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

std::string note_items(const json& results) {
    std::string items = status_notes(results) + verification_notes(results) + target_notes(results);
    for (const json& pass : results["passes"]) items += pass_notes(pass, results["passes"].size());
    items += short_phase_note(results);
    if (results.contains("cluster")) {
        const std::size_t ranks = results["cluster"]["ranks"].get<std::size_t>();
        const std::size_t nodes = results["cluster"]["nodes"].get<std::size_t>();
        items += note(std::to_string(ranks) + (ranks == 1 ? " rank on " : " ranks on ") + std::to_string(nodes) +
                      (nodes == 1 ? " node" : " nodes") +
                      ": each figure is all ranks' bytes over the time of the last rank done.");
    }
    return items;
}

namespace {

std::string notes(const json& results) {
    std::string items = note_items(results);
    if (items.empty()) items = note("Nothing to remark: the run completed and every figure is a disk's.");
    return "<h2>Notes</h2><ul class=\"notes\">" + items + "</ul>";
}

std::string header(const json& results) {
    const std::string status = results["status"];
    const std::string file_system = results["target"]["file_system"];
    return "<header><h1>Quorlane report: " + html_escape(results["target"]["path"].get<std::string>()) +
           "</h1><p class=\"subtitle\"><span class=\"status " + status + "\">" + status + "</span> " +
           html_escape(results["host"]["name"].get<std::string>()) + " · " +
           (file_system.empty() ? "file system unknown" : html_escape(file_system)) + " · started " +
           html_escape(results["started_at"].get<std::string>()) + "</p></header>";
}

std::string figures(const json& results) {
    std::string cards = "<section class=\"figures\">";
    for (int kind = 0; kind < figure_count; ++kind) cards += figure_card(results, kind);
    return cards +
           "</section><p class=\"units\">MB/s: 10<sup>6</sup> bytes a second. MiB/s: 2<sup>20</sup> = 1,048,576 "
           "bytes a second. Mo/s, the console's figure: KiB (1,024 bytes) a millisecond, that is 1,024,000 bytes "
           "a second.</p>";
}

std::string footer(const json& results) {
    std::string command;
    for (const json& argument : results["command_line"]) {
        if (!command.empty()) command += ' ';
        command += argument.get<std::string>();
    }
    return "<footer>Quorlane " + html_escape(results["program"]["version"].get<std::string>()) +
           " · command line: <code>" + html_escape(command) +
           "</code><br>The same data, field by field, is in the results file that -json writes.</footer>";
}

}  // namespace

std::string html_page(const run_record& run, const json& results) {
    const std::string timeline = timeline_chart(run);
    const std::string phases = phase_charts(run);
    const std::string ranks = rank_bars(run);
    const std::string latency = latency_curves(run) + latency_table(results);
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>Quorlane report: " +
           html_escape(results["target"]["path"].get<std::string>()) + "</title><style>" + page_style +
           "</style></head><body><main>" + header(results) + figures(results) + measured_on_card(results) +
           notes(results) +
           (timeline.empty() ? "" : "<h2>Timeline</h2>" + timeline) + (ranks.empty() ? "" : "<h2>Ranks</h2>" + ranks) +
           (phases.empty() ? "" : "<h2>Phases</h2>" + phases) +
           (latency.empty() ? "" : "<h2>Time of each call</h2>" + latency) + figure_tables(results) +
           context_tables(results) + footer(results) + "</main></body></html>\n";
}
