#include "report/svg_chart.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "report/page_text.hpp"

namespace {

using namespace chart_frame;
// Past this many points a line keeps every n-th for hovering, and the lines of a chart share
// at most most_chart_hover_points; the line itself keeps them all.
constexpr std::size_t most_hover_points = 400;
constexpr std::size_t most_chart_hover_points = 4000;

// A round step (1, 2 or 5 times a power of ten) that cuts [0, top_value] into about five.
double tick_step(double top_value) {
    const double rough = top_value / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double multiple : {1.0, 2.0, 5.0})
        if (rough <= multiple * power) return multiple * power;
    return 10 * power;
}

std::string tick_label(double value, double step) {
    return grouped(value, step < 1 ? static_cast<int>(std::ceil(-std::log10(step))) : 0);
}

struct scale {
    double x_top = 1;
    double y_top = 1;
    double x(double value) const { return left + value / x_top * plot_width; }
    double y(double value) const { return top + plot_height - value / y_top * plot_height; }
};

scale scale_of(const chart& drawn) {
    scale result;
    double x_most = 0, y_most = 0;
    for (const chart_line& line : drawn.lines)
        for (const chart_point& point : line.points) {
            x_most = std::max(x_most, point.x);
            y_most = std::max(y_most, point.y);
        }
    for (const chart_span& span : drawn.spans) x_most = std::max(x_most, span.to);
    if (x_most > 0) result.x_top = x_most;
    if (y_most > 0) {
        const double step = tick_step(y_most * 1.08);
        result.y_top = std::ceil(y_most * 1.08 / step) * step;
    }
    return result;
}

std::string axes(const chart& drawn, const scale& scaled) {
    std::string svg = "<g class=\"axes\">";
    const double y_step = tick_step(scaled.y_top);
    for (double value = 0; value <= scaled.y_top * 1.0001; value += y_step) {
        const std::string y = svg_number(scaled.y(value));
        svg += "<line x1=\"" + svg_number(left) + "\" x2=\"" + svg_number(width - right) + "\" y1=\"" + y + "\" y2=\"" + y +
               "\" class=\"grid\"/><text x=\"" + svg_number(left - 8) + "\" y=\"" + y +
               "\" dy=\"0.32em\" text-anchor=\"end\">" + tick_label(value, y_step) + "</text>";
    }
    const double x_step = tick_step(scaled.x_top);
    for (double value = 0; value <= scaled.x_top * 1.0001; value += x_step) {
        const std::string x = svg_number(scaled.x(value));
        svg += "<line x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" + svg_number(top + plot_height) + "\" y2=\"" +
               svg_number(top + plot_height + 5) + "\" class=\"tick\"/><text x=\"" + x + "\" y=\"" +
               svg_number(top + plot_height + 18) + "\" text-anchor=\"middle\">" + tick_label(value, x_step) + "</text>";
    }
    svg += "<line x1=\"" + svg_number(left) + "\" x2=\"" + svg_number(width - right) + "\" y1=\"" + svg_number(top + plot_height) +
           "\" y2=\"" + svg_number(top + plot_height) + "\" class=\"axis\"/>";
    svg += "<text x=\"" + svg_number(left + plot_width / 2) + "\" y=\"" + svg_number(height - 8) +
           "\" text-anchor=\"middle\" class=\"label\">" + html_escape(drawn.x_label) + "</text>";
    svg += "<text transform=\"translate(16 " + svg_number(top + plot_height / 2) +
           ") rotate(-90)\" text-anchor=\"middle\" class=\"label\">" + html_escape(drawn.y_label) + "</text>";
    return svg + "</g>";
}

// About what a caption takes at the page's 11 px, with room on either side.
double caption_width(const std::string& caption) { return 8 + 6.2 * static_cast<double>(caption.size()); }

std::string spans(const chart& drawn, const scale& scaled) {
    std::string svg;
    for (const chart_span& span : drawn.spans) {
        const double x = scaled.x(span.from);
        const double span_width = std::max(1.5, scaled.x(span.to) - x);
        svg += "<rect class=\"span\" x=\"" + svg_number(x) + "\" y=\"" + svg_number(top) + "\" width=\"" + svg_number(span_width) +
               "\" height=\"" + svg_number(plot_height) + "\" fill=\"" + span.colour + "\"><title>" +
               html_escape(span.label) + "</title></rect>";
        if (span.caption.empty()) continue;
        svg += "<line class=\"span-edge\" x1=\"" + svg_number(x) + "\" y1=\"" + svg_number(top) + "\" x2=\"" +
               svg_number(x) + "\" y2=\"" + svg_number(top + plot_height) + "\" stroke=\"" + span.colour + "\"/>";
        if (span_width >= caption_width(span.caption))
            svg += "<text class=\"span-caption\" x=\"" + svg_number(x + 4) + "\" y=\"" + svg_number(top + 24) + "\">" +
                   html_escape(span.caption) + "</text>";
    }
    return svg;
}

std::string lines(const chart& drawn, const scale& scaled) {
    std::string svg;
    for (const chart_line& line : drawn.lines) {
        if (line.points.empty()) continue;
        svg += "<polyline fill=\"none\" stroke=\"" + line.colour +
               "\" stroke-width=\"2\" stroke-linejoin=\"round\" points=\"";
        for (const chart_point& point : line.points) {
            const std::string y = svg_number(scaled.y(point.y));
            svg += svg_number(scaled.x(point.x_from)) + "," + y + " " + svg_number(scaled.x(point.x)) + "," + y + " ";
        }
        svg += "\"/>";
        const std::size_t hover_points =
            std::max<std::size_t>(1, std::min(most_hover_points, most_chart_hover_points / drawn.lines.size()));
        const std::size_t every = (line.points.size() + hover_points - 1) / hover_points;
        const bool few = line.points.size() <= 30;
        for (std::size_t k = 0; k < line.points.size(); k += every) {
            const chart_point& point = line.points[k];
            svg += "<circle cx=\"" + svg_number(scaled.x((point.x_from + point.x) / 2)) + "\" cy=\"" +
                   svg_number(scaled.y(point.y)) + "\" r=\"" + (few ? "3" : "4") + "\" fill=\"" + line.colour +
                   "\" fill-opacity=\"" + (few ? "1" : "0") + "\"><title>" + html_escape(point.hover) +
                   "</title></circle>";
        }
    }
    return svg;
}

std::string marker(const chart_marker& marked, const scale& scaled) {
    const std::string x = svg_number(scaled.x(marked.x));
    const std::string y = svg_number(scaled.y(marked.y));
    // The label reads away from the nearer edge.
    const bool on_right = scaled.x(marked.x) > left + plot_width / 2;
    return "<g class=\"marker\"><line x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" + svg_number(top) + "\" y2=\"" +
           svg_number(top + plot_height) + "\"/><circle cx=\"" + x + "\" cy=\"" + y + "\" r=\"6\"><title>" +
           html_escape(marked.hover) + "</title></circle><text x=\"" +
           svg_number(scaled.x(marked.x) + (on_right ? -8 : 8)) + "\" y=\"" + svg_number(top + 14) + "\" text-anchor=\"" +
           (on_right ? "end" : "start") + "\">" + html_escape(marked.label) + "</text></g>";
}

// A small downward triangle above the plot with a short tick into it.
std::string stall(const chart_stall& marked, const scale& scaled) {
    const double x = scaled.x(marked.x);
    return "<g class=\"stall\"><line x1=\"" + svg_number(x) + "\" x2=\"" + svg_number(x) + "\" y1=\"" + svg_number(top) +
           "\" y2=\"" + svg_number(top + 10) + "\"/><path d=\"M" + svg_number(x - 5) + "," + svg_number(top - 9) + " L" +
           svg_number(x + 5) + "," + svg_number(top - 9) + " L" + svg_number(x) + "," + svg_number(top - 1) + " Z\"><title>" +
           html_escape(marked.hover) + "</title></path></g>";
}

std::string legend(const chart& drawn, int& rows) {
    std::vector<legend_entry> entries;
    const auto add = [&entries](const legend_entry& added) {
        for (const legend_entry& entry : entries)
            if (entry.label == added.label) return;
        entries.push_back(added);
    };
    for (const chart_line& line : drawn.lines) add({line.label, line.colour, false});
    for (const chart_span& span : drawn.spans) add({span.label.substr(0, span.label.find(':')), span.colour, true});
    return legend_svg(entries, rows);
}

}  // namespace

std::string legend_svg(const std::vector<legend_entry>& entries, int& rows) {
    std::string svg = "<g class=\"legend\">";
    double x = left;
    rows = 1;
    for (const legend_entry& entry : entries) {
        const double entry_width = 40 + 7.2 * static_cast<double>(entry.label.size());
        if (x > left && x + entry_width > width - right) {
            x = left;
            ++rows;
        }
        const double row_top = (rows - 1) * legend_row_height;
        if (entry.span)
            svg += "<rect x=\"" + svg_number(x) + "\" y=\"" + svg_number(row_top + 9) +
                   "\" width=\"18\" height=\"14\" class=\"span\" fill=\"" + entry.colour + "\"/>";
        else
            svg += "<rect x=\"" + svg_number(x) + "\" y=\"" + svg_number(row_top + 14) + "\" width=\"18\" height=\"4\" fill=\"" +
                   entry.colour + "\"/>";
        svg += "<text x=\"" + svg_number(x + 24) + "\" y=\"" + svg_number(row_top + 20) + "\">" + html_escape(entry.label) +
               "</text>";
        x += entry_width;
    }
    return svg + "</g>";
}

std::string svg_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string svg_chart(const chart& drawn) {
    const scale scaled = scale_of(drawn);
    std::string markers;
    for (const chart_marker& marked : drawn.markers) markers += marker(marked, scaled);
    for (const chart_stall& marked : drawn.stalls) markers += stall(marked, scaled);
    int legend_rows = 1;
    const std::string key = legend(drawn, legend_rows);
    // Rows of the legend beyond the first push the plot down.
    const double extra = (legend_rows - 1) * legend_row_height;
    return "<svg class=\"chart\" viewBox=\"0 0 " + svg_number(width) + " " + svg_number(height + extra) +
           "\" role=\"img\" aria-labelledby=\"" + drawn.id + "-title " + drawn.id + "-description\"><title id=\"" +
           drawn.id + "-title\">" + html_escape(drawn.title) + "</title><desc id=\"" + drawn.id + "-description\">" +
           html_escape(drawn.description) + "</desc><g transform=\"translate(0 " + svg_number(extra) + ")\">" +
           spans(drawn, scaled) + axes(drawn, scaled) + lines(drawn, scaled) + markers + "</g>" + key + "</svg>";
}
