#include "report/run_charts.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rounded_text.hpp"
#include "common/units.hpp"
#include "report/figure_names.hpp"
#include "report/latency_page.hpp"
#include "report/page_text.hpp"
#include "report/stage_lines.hpp"
#include "report/svg_chart.hpp"
#include "results/series.hpp"
#include "results/statistics.hpp"

namespace {

// The phases with a series: the forced write's time runs on to the flush's end, unsampled.
struct phase_look {
    figure_kind kind;
    const char* verb;  // what its bytes were
};

const phase_look charted_phases[] = {
    {figure_kind::write_cached, "written"},
    {figure_kind::read_cached, "read"},
    {figure_kind::read_uncached, "read"},
};

const char* name_of(const phase_look& phase) { return figure_short_names[static_cast<int>(phase.kind)]; }
int hue_of(const phase_look& phase) { return figure_hues[static_cast<int>(phase.kind)]; }

struct step_look {
    const char* name;
    const char* label;
    const char* colour;
};

const step_look step_looks[] = {
    {"eviction_write", "Eviction: writing the file that empties the controller's cache", "#64748b"},
    {"eviction_read", "Eviction: reading that file back", "#64748b"},
    {"flush", "Flush: forcing the files to the device", "hsl(262,75%,45%)"},
    {"purge", "Purge: dropping the files from the OS cache", "#dc2626"},
};

// An SVG coordinate: no grouping of thousands.
std::string coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string pass_name(const run_record& run, std::size_t pass) {
    return run.passes.size() > 1 ? "pass " + std::to_string(pass + 1) : std::string();
}

std::string hover_text(const phase_look& phase, const std::string& pass, double seconds, const interval_rate& rate) {
    return std::string(name_of(phase)) + (pass.empty() ? "" : ", " + pass) + ": " + grouped(seconds, 2) +
           " s into the phase, " + grouped(rate.bytes_per_us, 0) + " MB/s, " + binary_size(rate.bytes_at_end) + " " +
           phase.verb;
}

// Past this many points a line is drawn from every n-th point of its series and its last, over
// intervals as much longer: a chart shows no more, and a page of many long passes stays a size
// that a browser opens.
constexpr std::size_t most_drawn_points = 1024;

series_record drawn_series(const series_record& series) {
    if (series.points.size() <= most_drawn_points) return series;
    const std::size_t every = (series.points.size() + most_drawn_points - 1) / most_drawn_points;
    series_record drawn{series.interval_us * static_cast<std::int64_t>(every), {}};
    for (std::size_t k = every - 1; k < series.points.size(); k += every) drawn.points.push_back(series.points[k]);
    if (drawn.points.back().elapsed_us != series.points.back().elapsed_us) drawn.points.push_back(series.points.back());
    return drawn;
}

// The rate of each interval of a phase, against the time from `origin_us` in seconds or the data
// moved in GiB.
std::vector<chart_point> rate_points(const phase_look& phase, const std::string& pass, const figure_record& figure,
                                     std::int64_t origin_us, bool against_data) {
    std::vector<chart_point> points;
    for (const interval_rate& rate : series_rates(drawn_series(figure.series))) {
        const double middle_us = static_cast<double>(rate.start_us + rate.end_us) / 2;
        chart_point point{0, 0, rate.bytes_per_us, hover_text(phase, pass, middle_us / one_second_us, rate)};
        if (against_data) {
            point.x_from = static_cast<double>(rate.bytes_at_start) / bytes_per_gib;
            point.x = static_cast<double>(rate.bytes_at_end) / bytes_per_gib;
        } else {
            point.x_from = static_cast<double>(origin_us + rate.start_us) / one_second_us;
            point.x = static_cast<double>(origin_us + rate.end_us) / one_second_us;
        }
        points.push_back(point);
    }
    return points;
}

// What a reader of the text alternative needs: the span of time and the spread of the rate.
std::string describe(const std::vector<chart_line>& lines, const char* x_unit) {
    std::vector<double> rates;
    double x_most = 0;
    for (const chart_line& line : lines)
        for (const chart_point& point : line.points) {
            rates.push_back(point.y);
            x_most = std::max(x_most, point.x);
        }
    if (rates.empty()) return "No data was sampled.";
    const figure_statistics spread = statistics_of(rates);
    return "From 0 to " + grouped(x_most, x_most < 10 ? 2 : 1) + " " + x_unit + ": median " +
           grouped(spread.median, 0) + " MB/s, lowest " + grouped(spread.minimum, 0) + ", highest " +
           grouped(spread.maximum, 0) + ".";
}

// Where the write rate fell, on a chart against the data written or against time from the
// phase's start or, on the timeline, from the run's.
// With several passes, each mark is named by its pass's number alone: their sentences, close
// together, would cover each other.
void mark_drops(const run_record& run, chart& drawn, bool against_data, bool from_run_start) {
    for (std::size_t pass = 0; pass < run.passes.size(); ++pass) {
        const figure_record& write = run.passes[pass].figures[static_cast<int>(figure_kind::write_cached)];
        if (!write.measured || !write.rate_drop) continue;
        const rate_drop_record& drop = *write.rate_drop;
        const double x = against_data
                             ? static_cast<double>(drop.after_bytes) / bytes_per_gib
                             : static_cast<double>(drop.after_us + (from_run_start ? write.start_us : 0)) / one_second_us;
        drawn.markers.push_back(chart_marker{
            x, drop.after_mb_per_second, run.passes.size() > 1 ? std::to_string(pass + 1) : drop.text,
            run.passes.size() > 1 ? "Pass " + std::to_string(pass + 1) + ": " + drop.text : drop.text});
    }
}

const char* stage_colour(const std::string& kind) {
    if (kind == "os_cache") return "hsl(205,80%,50%)";
    if (kind == "device_cache") return "hsl(150,60%,40%)";
    if (kind == "decline") return "hsl(35,90%,50%)";
    return "#9ca3af";
}

// Each stage of the phase, shaded and captioned, against the data or the phase's time; with
// several passes none, whose stages would cover each other (their notes tell them).
void mark_stages(const run_record& run, const figure_record& figure, chart& drawn, bool against_data) {
    if (run.passes.size() != 1) return;
    for (const stage_record& stage : figure.stages) {
        const std::uint64_t end_byte = stage.last_byte + 1;
        const double from = against_data ? static_cast<double>(stage.first_byte) / bytes_per_gib
                                         : static_cast<double>(stage.start_us) / one_second_us;
        const double to = against_data ? static_cast<double>(end_byte) / bytes_per_gib
                                       : static_cast<double>(stage.end_us) / one_second_us;
        const std::string kind = stage_kind_label(stage.kind), rate = stage_rate_text(stage);
        const std::string hover =
            format_text(messages::stage_hover, kind.c_str(), amount_text(end_byte - stage.first_byte, false).c_str(),
                        rate.c_str(), amount_text(stage.first_byte, false).c_str(), amount_text(end_byte, false).c_str(),
                        grouped(static_cast<double>(stage.end_us - stage.start_us) / one_second_us, 2).c_str());
        drawn.spans.push_back(chart_span{from, to, hover, stage_colour(stage.kind),
                                         format_text(messages::stage_caption, kind.c_str(), rate.c_str())});
    }
}

// The capacity check's verdict: the data written past what the device holds, as a band; none
// for damage, nor for a check cut short.
void mark_capacity(const capacity_record& capacity, chart& drawn) {
    if (!capacity.checked || (capacity.kind != capacity_kind::wrapped && capacity.kind != capacity_kind::lost)) return;
    if (capacity.verified_bytes >= capacity.offered_bytes) return;
    drawn.spans.push_back(chart_span{static_cast<double>(capacity.verified_bytes) / bytes_per_gib,
                                     static_cast<double>(capacity.offered_bytes) / bytes_per_gib,
                                     capacity.kind == capacity_kind::wrapped ? messages::capacity_band_wrapped
                                                                             : messages::capacity_band_short,
                                     "hsl(0,80%,82%)"});
}

// With several ranks no series spans them all: the phase at its figure's rate, all its time.
chart_point whole_phase_point(const run_record& run, std::size_t pass, const figure_record& figure) {
    const double from = static_cast<double>(figure.start_us) / one_second_us;
    const double seconds = static_cast<double>(figure.elapsed_us) / one_second_us;
    const double rate =
        figure.elapsed_us > 0 ? static_cast<double>(figure.bytes) / static_cast<double>(figure.elapsed_us) : 0;
    const std::string name = pass_name(run, pass);
    return chart_point{from, from + seconds, rate,
                       (name.empty() ? "" : name + ": ") + grouped(rate, 0) + " MB/s over " + grouped(seconds, 2) +
                           " s, " + binary_size(figure.bytes) + " by all ranks"};
}

std::string phase_chart(const run_record& run, const phase_look& phase, bool against_data) {
    chart drawn;
    drawn.id = std::string(against_data ? "data-" : "time-") + std::to_string(static_cast<int>(phase.kind));
    drawn.title =
        std::string(name_of(phase)) + (against_data ? ": rate against the data written" : ": rate against time");
    drawn.x_label = against_data ? "Data written (GiB)" : "Time from the phase's start (s)";
    drawn.y_label = "MB/s";
    for (std::size_t pass = 0; pass < run.passes.size(); ++pass) {
        const figure_record& figure = run.passes[pass].figures[static_cast<int>(phase.kind)];
        if (!figure.measured || figure.series.points.empty()) continue;
        const std::string name = pass_name(run, pass);
        drawn.lines.push_back(chart_line{name.empty() ? name_of(phase) : "Pass " + std::to_string(pass + 1),
                                         shade(hue_of(phase), pass, run.passes.size()),
                                         rate_points(phase, name, figure, 0, against_data)});
        const std::vector<chart_stall> stalls =
            stall_marks(figure.latency.stalls, figure.series, against_data, name, !figure.ranks.empty());
        drawn.stalls.insert(drawn.stalls.end(), stalls.begin(), stalls.end());
        mark_stages(run, figure, drawn, against_data);
    }
    if (drawn.lines.empty()) return "";
    drawn.description = describe(drawn.lines, against_data ? "GiB" : "s");
    if (!drawn.stalls.empty())
        drawn.description += " The marks at the top: the phase's longest calls, where each started.";
    if (phase.kind == figure_kind::write_cached) mark_drops(run, drawn, against_data, false);
    if (phase.kind == figure_kind::write_cached && against_data) mark_capacity(run.capacity, drawn);
    return svg_chart(drawn);
}

}  // namespace

std::vector<chart_point> phase_rate_points(figure_kind kind, const std::string& who, const figure_record& figure,
                                           bool against_data) {
    const phase_look phase{kind, kind == figure_kind::write_cached ? "written" : "read"};
    return rate_points(phase, who, figure, 0, against_data);
}

std::string shade(int hue, std::size_t pass, std::size_t passes) {
    const int lightness = passes < 2 ? 45 : 32 + static_cast<int>(36 * pass / (passes - 1));
    return "hsl(" + std::to_string(hue) + ",75%," + std::to_string(lightness) + "%)";
}

std::string timeline_chart(const run_record& run) {
    chart drawn;
    drawn.id = "timeline";
    drawn.title = "The whole run: rate against time";
    drawn.x_label = "Time from the run's start (s)";
    drawn.y_label = "MB/s";
    for (std::size_t pass = 0; pass < run.passes.size(); ++pass) {
        const pass_record& record = run.passes[pass];
        for (const phase_look& phase : charted_phases) {
            const figure_record& figure = record.figures[static_cast<int>(phase.kind)];
            if (!figure.measured) continue;
            if (!figure.series.points.empty())
                drawn.lines.push_back(
                    chart_line{name_of(phase), shade(hue_of(phase), 0, 1),
                               rate_points(phase, pass_name(run, pass), figure, figure.start_us, false)});
            else if (!figure.ranks.empty())
                drawn.lines.push_back(
                    chart_line{name_of(phase), shade(hue_of(phase), 0, 1), {whole_phase_point(run, pass, figure)}});
        }
        for (const step_record& step : record.steps)
            for (const step_look& look : step_looks)
                if (step.name == look.name)
                    drawn.spans.push_back(
                        chart_span{static_cast<double>(step.start_us) / one_second_us,
                                   static_cast<double>(step.start_us + step.elapsed_us) / one_second_us,
                                   std::string(look.label) + ", " +
                                       grouped(static_cast<double>(step.elapsed_us) / one_second_us, 2) + " s",
                                   look.colour});
    }
    if (drawn.lines.empty() && drawn.spans.empty()) return "";
    drawn.description = describe(drawn.lines, "s") + " Shaded spans: the eviction, flush and purge steps.";
    if (!run.ranks.empty())
        drawn.description +=
            " With several ranks each phase is drawn at its figure's rate, all ranks' bytes over the "
            "last rank's time: no rank sees the others' bytes as they go.";
    mark_drops(run, drawn, false, true);
    return svg_chart(drawn);
}

std::string rank_bars(const run_record& run) {
    constexpr double width = 960, name_width = 150, value_width = 190, row = 20, heading = 30;
    const double bar_most = width - name_width - value_width;
    std::string rows;
    double y = 0;
    for (int kind = 0; kind < figure_count; ++kind) {
        std::int64_t longest = 0;
        for (const pass_record& pass : run.passes)
            for (const rank_result& part : pass.figures[kind].ranks) longest = std::max(longest, part.elapsed_us);
        if (longest <= 0) continue;
        y += heading;
        rows += "<text x=\"0\" y=\"" + coordinate(y - 9) + "\" font-weight=\"600\" font-size=\"13\">" +
                html_escape(figure_short_names[kind]) + "</text>";
        for (std::size_t pass = 0; pass < run.passes.size(); ++pass) {
            const figure_record& figure = run.passes[pass].figures[kind];
            for (std::size_t rank = 0; rank < figure.ranks.size(); ++rank) {
                const rank_result& part = figure.ranks[rank];
                const double seconds = static_cast<double>(part.elapsed_us) / one_second_us;
                const double rate =
                    part.elapsed_us > 0 ? static_cast<double>(part.bytes) / static_cast<double>(part.elapsed_us) : 0;
                const std::string name = "Rank " + std::to_string(rank) +
                                         (run.passes.size() > 1 ? ", pass " + std::to_string(pass + 1) : std::string());
                const std::string value = grouped(seconds, 2) + " s, " + grouped(rate, 0) + " MB/s";
                const double bar =
                    std::max(1.0, bar_most * static_cast<double>(part.elapsed_us) / static_cast<double>(longest));
                const std::string top = coordinate(y + 2);
                rows += "<text x=\"0\" y=\"" + coordinate(y + 14) + "\">" + html_escape(name) + "</text><rect x=\"" +
                        coordinate(name_width) + "\" y=\"" + top + "\" width=\"" + coordinate(bar) + "\" height=\"" +
                        coordinate(row - 6) + "\" fill=\"" + shade(figure_hues[kind], pass, run.passes.size()) +
                        "\"><title>" + html_escape(name + ": " + value + ", " + binary_size(part.bytes)) +
                        "</title></rect><text x=\"" + coordinate(name_width + bar + 6) + "\" y=\"" +
                        coordinate(y + 14) + "\">" + value + "</text>";
                y += row;
            }
        }
    }
    if (rows.empty()) return "";
    return "<svg class=\"chart ranks\" viewBox=\"0 0 " + coordinate(width) + " " + coordinate(y + 6) +
           "\" role=\"img\" aria-labelledby=\"ranks-title ranks-description\"><title id=\"ranks-title\">Each rank's "
           "time in each phase</title><desc id=\"ranks-description\">One bar a rank, each phase drawn to its "
           "slowest rank's time: a shorter bar is a rank that was done sooner. Each bar gives the rank's seconds and "
           "its own rate.</desc>" +
           rows + "</svg>";
}

std::string latency_curves(const run_record& run) {
    std::vector<latency_curve_line> lines;
    for (std::size_t pass = 0; pass < run.passes.size(); ++pass)
        for (int kind = 0; kind < figure_count; ++kind) {
            const figure_record& figure = run.passes[pass].figures[kind];
            if (!figure.measured) continue;
            const std::string name = pass_name(run, pass);
            lines.push_back(
                latency_curve_line{std::string(figure_short_names[kind]) + (name.empty() ? "" : ", " + name),
                                   shade(figure_hues[kind], pass, run.passes.size()), figure.latency.summary});
        }
    return latency_chart(lines);
}

std::string phase_charts(const run_record& run) {
    std::string html;
    for (const phase_look& phase : charted_phases) {
        std::string charts = phase_chart(run, phase, false);
        if (phase.kind == figure_kind::write_cached) charts += phase_chart(run, phase, true);
        if (!charts.empty())
            html += "<section class=\"phase\"><h3>" + html_escape(name_of(phase)) + "</h3>" + charts + "</section>";
    }
    return html;
}
