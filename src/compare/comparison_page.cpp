#include "compare/comparison_page.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/units.hpp"
#include "report/bar_chart.hpp"
#include "report/figure_names.hpp"
#include "report/html_report.hpp"
#include "report/page_style.hpp"
#include "report/page_text.hpp"
#include "report/run_charts.hpp"
#include "report/svg_chart.hpp"

namespace {

// Eight colours that stay apart from one another on screen and in print; runs past them take
// hues spread around the wheel.
const char* const run_colours[] = {"#2563eb", "#ea580c", "#16a34a", "#dc2626",
                                   "#7c3aed", "#854d0e", "#db2777", "#0891b2"};

std::string swatch(std::size_t run) {
    return "<span class=\"swatch\" style=\"background: " + run_colour(run) + "\"></span>";
}

std::string run_heading(std::size_t run) { return swatch(run) + html_escape(run_name(run)); }

std::string table_head(const comparison& compared, const char* first) {
    std::string head = std::string("<tr><th>") + first + "</th>";
    for (std::size_t run = 0; run < compared.runs.size(); ++run) head += "<th>" + run_heading(run) + "</th>";
    return head + "</tr>";
}

std::string runs_table(const comparison& compared) {
    std::string rows;
    for (std::size_t run = 0; run < compared.runs.size(); ++run) {
        const compared_run& entry = compared.runs[run];
        const std::string status = status_name(entry.read.record.status);
        rows += "<tr><td>" + run_heading(run) + "</td><td>" + html_escape(entry.label) +
                "</td><td><span class=\"status " + status + "\">" + status + "</span></td><td class=\"number\">" +
                std::to_string(entry.read.record.passes.size()) + "</td><td><code>" +
                html_escape(entry.read.file) + "</code></td></tr>";
    }
    return "<h2>Runs</h2><table class=\"runs\"><tr><th>Run</th><th>Device or directory, started (UTC)</th>"
           "<th>Status</th><th class=\"number\">Passes</th><th>Results file</th></tr>" +
           rows + "</table>";
}

std::string notes(const comparison& compared) {
    std::string html;
    for (std::size_t run = 0; run < compared.runs.size(); ++run) {
        const compared_run& entry = compared.runs[run];
        std::string items;
        if (!run_completed(entry))
            items += "<li class=\"failure\">Compared only for the phases it finished: " +
                     html_escape(finished_phases(entry)) + ".</li>";
        items += note_items(entry.read.record);
        if (!items.empty())
            html += "<h3>" + run_heading(run) + ": " + html_escape(entry.label) + "</h3><ul class=\"notes\">" + items +
                    "</ul>";
    }
    if (html.empty()) html = "<ul class=\"notes\"><li>Nothing to remark: every run completed and every figure is a disk's.</li></ul>";
    return "<h2>Notes</h2>" + html;
}

std::string figure_table(const comparison& compared) {
    std::string rows;
    for (int kind = 0; kind < figure_count; ++kind) {
        rows += "<tr><td>" + std::string(messages::figure_labels[kind]) + "</td>";
        for (std::size_t run = 0; run < compared.runs.size(); ++run) {
            const compared_figure& figure = compared.runs[run].figures[kind];
            if (figure.passes == 0) {
                rows += "<td class=\"number\">not measured</td>";
                continue;
            }
            double ratio = 0;
            std::string cell = "<b>" + grouped(figure.mb_per_second.median, 0) + "</b>";
            if (run > 0 && ratio_to_first(compared, run, kind, ratio))
                cell += " <span class=\"ratio\">" + format_text(messages::compare_ratio, ratio) + "</span>";
            if (figure.passes > 1)
                cell += "<br><small title=\"" + std::to_string(figure.passes) + " passes\">" +
                        grouped(figure.mb_per_second.minimum, 0) + "\u2013" + grouped(figure.mb_per_second.maximum, 0) +
                        "</small>";
            rows += "<td class=\"number\">" + cell + "</td>";
        }
        rows += "</tr>";
    }
    return "<h2>Figures</h2><p class=\"units\">Median MB/s (10<sup>6</sup> bytes a second) over each run's passes, "
           "its ratio to run 1, and below it, with several passes, the slowest and fastest pass.</p><table class=\"compared\">" +
           table_head(compared, "Figure") + rows + "</table>";
}

std::string figure_bars(const comparison& compared) {
    bar_chart drawn;
    drawn.id = "figure-bars";
    drawn.title = "Each figure, run by run";
    drawn.description = "One bar a run for each figure, its median MB/s, each figure drawn to its largest value; a "
                        "whisker spans the run's passes from the slowest to the fastest.";
    for (int kind = 0; kind < figure_count; ++kind) {
        bar_group group{messages::figure_labels[kind], {}};
        for (std::size_t run = 0; run < compared.runs.size(); ++run) {
            const compared_figure& figure = compared.runs[run].figures[kind];
            bar shown;
            shown.label = run_name(run);
            shown.colour = run_colour(run);
            if (figure.passes == 0) {
                shown.text = "not measured";
                shown.hover = run_name(run) + ": not measured";
            } else {
                double ratio = 0;
                shown.value = figure.mb_per_second.median;
                shown.spread = figure.passes > 1;
                shown.minimum = figure.mb_per_second.minimum;
                shown.maximum = figure.mb_per_second.maximum;
                shown.text = grouped(shown.value, 0) + " MB/s" +
                             (run > 0 && ratio_to_first(compared, run, kind, ratio)
                                  ? " " + format_text(messages::compare_ratio, ratio)
                                  : std::string());
                shown.hover = run_name(run) + ", " + compared.runs[run].label + ": " + shown.text +
                              (shown.spread ? ", passes from " + grouped(shown.minimum, 0) + " to " +
                                                  grouped(shown.maximum, 0) + " MB/s"
                                            : std::string());
            }
            group.bars.push_back(shown);
        }
        drawn.groups.push_back(group);
    }
    return svg_bars(drawn);
}

std::string phase_chart(const comparison& compared, figure_kind kind, bool against_data) {
    chart drawn;
    const int index = static_cast<int>(kind);
    drawn.id = std::string(against_data ? "data-" : "time-") + std::to_string(index);
    drawn.title = std::string(figure_short_names[index]) +
                  (against_data ? ": rate against the data written, run by run" : ": rate against time, run by run");
    drawn.x_label = against_data ? "Data written (GiB)" : "Time from the phase's start (s)";
    drawn.y_label = "MB/s";
    std::size_t runs_drawn = 0;
    for (std::size_t run = 0; run < compared.runs.size(); ++run) {
        const run_record& record = compared.runs[run].read.record;
        bool drawn_run = false;
        for (std::size_t pass = 0; pass < record.passes.size(); ++pass) {
            const figure_record& figure = record.passes[pass].figures[index];
            if (!figure.measured || figure.series.points.empty()) continue;
            const std::string who =
                run_name(run) + (record.passes.size() > 1 ? ", pass " + std::to_string(pass + 1) : std::string());
            drawn.lines.push_back(chart_line{run_name(run), run_colour(run),
                                             phase_rate_points(kind, who, figure, against_data)});
            drawn_run = true;
        }
        runs_drawn += drawn_run ? 1 : 0;
    }
    if (drawn.lines.empty()) return "";
    drawn.description = "One line a run (every pass of a run in its colour): the rate over each interval of the "
                        "phase's series, for " +
                        std::to_string(runs_drawn) + " runs. The figures are in the table above.";
    return svg_chart(drawn);
}

std::string phase_charts(const comparison& compared) {
    std::string html;
    for (const figure_kind kind : {figure_kind::write_cached, figure_kind::read_cached, figure_kind::read_uncached}) {
        std::string charts = phase_chart(compared, kind, false);
        if (kind == figure_kind::write_cached) charts += phase_chart(compared, kind, true);
        if (!charts.empty())
            html += "<section class=\"phase\"><h3>" + html_escape(figure_short_names[static_cast<int>(kind)]) +
                    "</h3>" + charts + "</section>";
    }
    return html.empty() ? "" : "<h2>Phases</h2>" + html;
}

std::string differences_table(const comparison& compared) {
    if (compared.differences.empty()) return "<h2>Settings that differ</h2><p>None: the runs were made alike.</p>";
    std::string rows;
    for (const setting_difference& difference : compared.differences) {
        rows += "<tr><td>" + html_escape(difference.name) + "</td>";
        for (const std::string& value : difference.values) rows += "<td>" + html_escape(value) + "</td>";
        rows += "</tr>";
    }
    return "<h2>Settings that differ</h2><table class=\"compared\">" + table_head(compared, "Setting") + rows +
           "</table>";
}

// What each run was measured on, side by side.
std::string hosts_and_targets(const comparison& compared) {
    struct shown_field {
        const char* name;
        std::string (*value)(const run_record& run);
    };
    static const shown_field fields[] = {
        {"Host", [](const run_record& r) { return r.host.name; }},
        {"OS", [](const run_record& r) { return r.host.os + " " + r.host.os_version; }},
        {"Logical CPUs", [](const run_record& r) { return std::to_string(r.host.logical_cpus); }},
        {"Memory", [](const run_record& r) { return binary_size(r.host.memory_bytes); }},
        {"Directory", [](const run_record& r) { return r.target.path; }},
        {"File system",
         [](const run_record& r) { return r.target.file_system.empty() ? std::string("unknown") : r.target.file_system; }},
        {"In memory", [](const run_record& r) { return std::string(r.target.memory_backed ? "yes" : "no"); }},
        {"Size, free at the end",
         [](const run_record& r) { return binary_size(r.target.total_bytes) + ", " + binary_size(r.target.free_bytes); }},
        {"Data a pass", [](const run_record& r) { return binary_size(bytes_per_pass(r.settings)); }},
        {"Started (UTC)", [](const run_record& r) { return r.started_utc; }},
        {"Quorlane", [](const run_record& r) { return r.program_version; }},
    };
    std::string rows;
    for (const shown_field& field : fields) {
        rows += std::string("<tr><td>") + field.name + "</td>";
        for (const compared_run& run : compared.runs) rows += "<td>" + html_escape(field.value(run.read.record)) + "</td>";
        rows += "</tr>";
    }
    return "<h2>Hosts and targets</h2><table class=\"compared\">" + table_head(compared, "") + rows + "</table>";
}

// The comparison's own additions to the report page's look.
constexpr const char* comparison_style = R"(
.swatch { display: inline-block; width: 12px; height: 12px; border-radius: 3px; margin-right: 6px; vertical-align: -1px; }
table.compared td, table.compared th { padding-right: 18px; }
table.compared th, table.compared td.number { white-space: nowrap; }
.ratio { color: var(--muted); }
)";

}  // namespace

std::string run_colour(std::size_t run) {
    constexpr std::size_t named = sizeof run_colours / sizeof run_colours[0];
    if (run < named) return run_colours[run];
    return "hsl(" + std::to_string((run * 137) % 360) + ",70%,42%)";
}

std::string comparison_page(const comparison& compared) {
    const std::string title = "Quorlane comparison of " + std::to_string(compared.runs.size()) + " runs";
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>" +
           title + "</title><style>" + page_style + comparison_style + "</style></head><body><main><header><h1>" +
           title + "</h1><p class=\"subtitle\">Each figure is the median MB/s over a run's passes; ratios are to run "
           "1.</p></header>" +
           runs_table(compared) + figure_table(compared) + figure_bars(compared) + notes(compared) +
           phase_charts(compared) + differences_table(compared) + hosts_and_targets(compared) +
           "<footer>quorlane-report " QUORLANE_VERSION
           " · The same comparison, as data, is what -json writes.</footer></main></body></html>\n";
}
