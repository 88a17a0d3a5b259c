// A line chart drawn as inline SVG for the report page: lines of points, spans shaded behind
// them, one marked point, the longest calls marked at the top, axes with round ticks. Every
// point tells its values on hover, and the chart carries a title and a description for readers
// that don't see it.
#pragma once

#include <string>
#include <vector>

// Every chart's size and the margins around its plot, in the SVG's units.
namespace chart_frame {
inline constexpr double width = 960;
inline constexpr double height = 340;
inline constexpr double left = 70;
inline constexpr double right = 20;
inline constexpr double top = 40;
inline constexpr double bottom = 48;
inline constexpr double plot_width = width - left - right;
inline constexpr double plot_height = height - top - bottom;
inline constexpr double legend_row_height = 20;  // each row of the legend lowers the plot by this
}  // namespace chart_frame

// A coordinate as the SVG is written: one decimal.
std::string svg_number(double value);

// A legend's entry: a line's colour, or a shaded span's.
struct legend_entry {
    std::string label;
    std::string colour;
    bool span = false;
};

// The legend above a plot, its entries in as many rows as they need: `rows` tells how many.
std::string legend_svg(const std::vector<legend_entry>& entries, int& rows);

// A value that holds from x_from to x: a line is drawn as steps, its points hover at their middles.
struct chart_point {
    double x_from = 0;
    double x = 0;
    double y = 0;
    std::string hover;  // shown on hover
};

struct chart_line {
    std::string label;  // lines with the same label share one entry of the legend
    std::string colour;
    std::vector<chart_point> points;
};

struct chart_span {
    double from = 0;
    double to = 0;
    std::string label;
    std::string colour;
    // Written inside it, at its top, with a line at its start, where it is wide enough.
    std::string caption = {};
};

struct chart_marker {
    double x = 0;
    double y = 0;
    std::string label;  // shown beside it
    std::string hover;
};

// A call that took long, marked at the plot's top where it started.
struct chart_stall {
    double x = 0;
    std::string hover;
};

struct chart {
    std::string id;  // unique in the page
    std::string title;
    std::string description;
    std::string x_label;
    std::string y_label;
    std::vector<chart_line> lines;
    std::vector<chart_span> spans;
    std::vector<chart_marker> markers;
    std::vector<chart_stall> stalls;
};

std::string svg_chart(const chart& drawn);
