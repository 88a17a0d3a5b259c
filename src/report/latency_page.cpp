#include "report/latency_page.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/units.hpp"
#include "report/figure_names.hpp"
#include "report/latency_text.hpp"
#include "report/page_text.hpp"

namespace {

using namespace chart_frame;

// The decades of the time axis, from 1 ns (10^0) up.
const char* const decade_names[] = {"1 ns",   "10 ns", "100 ns", "1 µs",  "10 µs",  "100 µs", "1 ms", "10 ms",
                                    "100 ms", "1 s",   "10 s",   "100 s", "1000 s", "10⁴ s",  "10⁵ s"};
constexpr int decade_count = static_cast<int>(sizeof decade_names / sizeof decade_names[0]);
// More nines than 2^64 calls resolve: the percentile axis ends there whatever a record says.
constexpr double most_nines = 20;

// "99.9" for 3 nines; "0" for none, the fastest call.
std::string percentile_name(int nines) {
    if (nines == 0) return "0";
    if (nines == 1) return "90";
    return "99" + (nines > 2 ? "." + std::string(static_cast<std::size_t>(nines - 2), '9') : std::string());
}

std::string percentile_text(double nines) {
    const double share = 100 * (1 - std::pow(10.0, -nines));
    return grouped(share, nines < 2 ? 0 : std::min(6, static_cast<int>(std::ceil(nines)) - 2));
}

struct log_scale {
    double nines_top = 1;
    int decade_low = 3;
    int decade_high = 4;
    double x(double nines) const { return left + nines / nines_top * plot_width; }
    double y(std::uint64_t ns) const {
        const double decades = std::log10(std::max<double>(static_cast<double>(ns), 1));
        return top + plot_height - (decades - decade_low) / (decade_high - decade_low) * plot_height;
    }
};

log_scale scale_of(const std::vector<latency_curve_line>& lines) {
    log_scale scaled;
    std::uint64_t fastest = UINT64_MAX, slowest = 1;
    for (const latency_curve_line& line : lines)
        for (const latency_curve_point& point : line.summary.curve) {
            scaled.nines_top = std::clamp(std::ceil(point.nines), scaled.nines_top, most_nines);
            fastest = std::min(fastest, std::max<std::uint64_t>(point.ns, 1));
            slowest = std::max(slowest, point.ns);
        }
    scaled.decade_low =
        std::clamp(static_cast<int>(std::floor(std::log10(static_cast<double>(fastest)))), 0, decade_count - 2);
    scaled.decade_high = std::clamp(static_cast<int>(std::ceil(std::log10(static_cast<double>(slowest)))),
                                    scaled.decade_low + 1, decade_count - 1);
    return scaled;
}

std::string axes(const log_scale& scaled) {
    std::string svg = "<g class=\"axes\">";
    for (int decade = scaled.decade_low; decade <= scaled.decade_high; ++decade) {
        const std::string y = svg_number(scaled.y(static_cast<std::uint64_t>(std::pow(10.0, decade))));
        svg += "<line x1=\"" + svg_number(left) + "\" x2=\"" + svg_number(width - right) + "\" y1=\"" + y + "\" y2=\"" + y +
               "\" class=\"grid\"/><text x=\"" + svg_number(left - 8) + "\" y=\"" + y +
               "\" dy=\"0.32em\" text-anchor=\"end\">" + decade_names[decade] + "</text>";
    }
    for (int nines = 0; nines <= static_cast<int>(scaled.nines_top); ++nines) {
        const std::string x = svg_number(scaled.x(nines));
        svg += "<line x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" + svg_number(top) + "\" y2=\"" +
               svg_number(top + plot_height + 5) + "\" class=\"grid\"/><text x=\"" + x + "\" y=\"" +
               svg_number(top + plot_height + 18) + "\" text-anchor=\"middle\">" + percentile_name(nines) + "</text>";
    }
    svg += "<line x1=\"" + svg_number(left) + "\" x2=\"" + svg_number(width - right) + "\" y1=\"" + svg_number(top + plot_height) +
           "\" y2=\"" + svg_number(top + plot_height) + "\" class=\"axis\"/>";
    svg += "<text x=\"" + svg_number(left + plot_width / 2) + "\" y=\"" + svg_number(height - 8) +
           "\" text-anchor=\"middle\" class=\"label\">Percentile of the calls (%), each step one more nine</text>";
    svg += "<text transform=\"translate(16 " + svg_number(top + plot_height / 2) +
           ") rotate(-90)\" text-anchor=\"middle\" class=\"label\">Time of a call</text>";
    return svg + "</g>";
}

std::string curve(const latency_curve_line& line, const log_scale& scaled) {
    std::string svg =
        "<polyline fill=\"none\" stroke=\"" + line.colour + "\" stroke-width=\"2\" stroke-linejoin=\"round\" points=\"";
    for (const latency_curve_point& point : line.summary.curve)
        svg += svg_number(scaled.x(point.nines)) + "," + svg_number(scaled.y(point.ns)) + " ";
    svg += "\"/>";
    // A hover point at each whole nine and at the longest call.
    double next = 0;
    for (std::size_t k = 0; k < line.summary.curve.size(); ++k) {
        const latency_curve_point& point = line.summary.curve[k];
        const bool last = k + 1 == line.summary.curve.size();
        if (point.nines + 1e-9 < next && !last) continue;
        next = std::floor(point.nines + 1e-9) + 1;
        const std::string text =
            line.label + ": " +
            (last ? "the longest call took " + duration_text(point.ns)
                  : percentile_text(point.nines) + " % of the calls took at most " + duration_text(point.ns));
        svg += "<circle cx=\"" + svg_number(scaled.x(point.nines)) + "\" cy=\"" + svg_number(scaled.y(point.ns)) +
               "\" r=\"4\" fill=\"" + line.colour + "\"><title>" + html_escape(text) + "</title></circle>";
    }
    return svg;
}

// One entry a line.
std::string legend(const std::vector<latency_curve_line>& lines, int& rows) {
    std::vector<legend_entry> entries;
    for (const latency_curve_line& line : lines) entries.push_back(legend_entry{line.label, line.colour, false});
    return legend_svg(entries, rows);
}

std::string description(const std::vector<latency_curve_line>& lines) {
    std::string text = "The time within which each share of the calls ended, the rarest to the right.";
    for (const latency_curve_line& line : lines)
        text += " " + line.label + ": median " + duration_text(line.summary.p50_ns) + ", 99.9 % within " +
                duration_text(line.summary.p99_9_ns) + ", longest " + duration_text(line.summary.max_ns) + ".";
    return text;
}

// With no call there is no time to give.
std::string time_cell(const latency_summary& summary, std::uint64_t ns) {
    return summary.calls == 0 ? "" : html_escape(duration_text(ns));
}

}  // namespace

std::string latency_chart(const std::vector<latency_curve_line>& lines) {
    std::vector<latency_curve_line> drawn;
    for (const latency_curve_line& line : lines)
        if (line.summary.calls > 0) drawn.push_back(line);
    if (drawn.empty()) return "";
    const log_scale scaled = scale_of(drawn);
    std::string curves;
    for (const latency_curve_line& line : drawn) curves += curve(line, scaled);
    int legend_rows = 1;
    const std::string key = legend(drawn, legend_rows);
    // Rows of the legend beyond the first push the plot down.
    const double extra = (legend_rows - 1) * legend_row_height;
    return "<svg class=\"chart latency\" viewBox=\"0 0 " + svg_number(width) + " " + svg_number(height + extra) +
           "\" role=\"img\" aria-labelledby=\"latency-title latency-description\"><title id=\"latency-title\">How "
           "long the calls took: the percentile curve of each phase</title><desc id=\"latency-description\">" +
           html_escape(description(drawn)) + "</desc><g transform=\"translate(0 " + svg_number(extra) + ")\">" +
           axes(scaled) + curves + "</g>" + key + "</svg>";
}

std::string latency_table(const run_record& run) {
    std::string rows;
    for (std::size_t pass = 0; pass < run.passes.size(); ++pass)
        for (int kind = 0; kind < figure_count; ++kind) {
            const figure_record& figure = run.passes[pass].figures[kind];
            if (!figure.measured) continue;
            const latency_summary& summary = figure.latency.summary;
            rows += "<tr><td class=\"number\">" + std::to_string(pass + 1) + "</td><td>" +
                    html_escape(figure_short_names[kind]) + "</td><td class=\"number\">" + grouped(summary.calls) +
                    "</td>";
            for (const std::uint64_t ns : {summary.mean_ns, summary.p50_ns, summary.p90_ns, summary.p99_ns,
                                           summary.p99_9_ns, summary.p99_99_ns, summary.max_ns})
                rows += "<td class=\"number\">" + time_cell(summary, ns) + "</td>";
            rows += "</tr>";
        }
    if (rows.empty()) return "";
    return "<h3>Every figure's calls</h3><table><thead><tr><th class=\"number\">Pass</th><th>Figure</th><th "
           "class=\"number\">Calls</th><th class=\"number\">Mean</th><th class=\"number\">Median</th><th "
           "class=\"number\">90 %</th><th class=\"number\">99 %</th><th class=\"number\">99.9 %</th><th "
           "class=\"number\">99.99 %</th><th class=\"number\">Longest</th></tr></thead><tbody>" +
           rows + "</tbody></table>";
}

std::vector<chart_stall> stall_marks(const std::vector<stall_record>& stalls, const series_record& series,
                                     bool against_data, const std::string& pass, bool with_ranks) {
    std::vector<chart_stall> marks;
    for (const stall_record& stall : stalls) {
        const double start_us = static_cast<double>(std::max<std::int64_t>(stall.start_ns, 0)) / 1000;
        // What all workers had moved when the call started, between the series' two points
        // around it; the series starts from nothing at the phase's start.
        double bytes = 0;
        series_point before;
        for (std::size_t k = 0; k < series.points.size(); ++k) {
            const series_point& after = series.points[k];
            if (static_cast<double>(after.elapsed_us) < start_us && k + 1 < series.points.size()) {
                before = after;
                continue;
            }
            const double span = static_cast<double>(after.elapsed_us - before.elapsed_us);
            const double part =
                span > 0 ? std::clamp((start_us - static_cast<double>(before.elapsed_us)) / span, 0.0, 1.0) : 1.0;
            bytes = static_cast<double>(before.bytes) + part * static_cast<double>(after.bytes - before.bytes);
            break;
        }
        std::string hover = (pass.empty() ? "" : pass + ": ") + "a call of " + duration_text(stall.duration_ns) + ", " +
                            stall_maker(stall, with_ranks) + ", file " + std::to_string(stall.file);
        if (!stall.whole_file) hover += " at " + binary_size(stall.offset);
        hover += ", " + grouped(start_us / one_second_us, 2) + " s into the phase";
        marks.push_back(chart_stall{against_data ? bytes / bytes_per_gib : start_us / one_second_us, hover});
    }
    return marks;
}
