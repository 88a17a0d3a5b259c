#include "report/bar_chart.hpp"

#include <algorithm>
#include <cstdio>

#include "report/page_text.hpp"

namespace {

constexpr double width = 960;
constexpr double name_width = 110;
constexpr double text_width = 150;
constexpr double bar_most = width - name_width - text_width;
constexpr double row = 22;
constexpr double heading = 30;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string whisker(double from, double to, double middle) {
    const std::string y = number(middle);
    const std::string top = number(middle - 5), bottom = number(middle + 5);
    return "<g class=\"whisker\" stroke=\"#111827\" stroke-width=\"1.5\"><line x1=\"" + number(from) + "\" x2=\"" +
           number(to) + "\" y1=\"" + y + "\" y2=\"" + y + "\"/><line x1=\"" + number(from) + "\" x2=\"" + number(from) +
           "\" y1=\"" + top + "\" y2=\"" + bottom + "\"/><line x1=\"" + number(to) + "\" x2=\"" + number(to) +
           "\" y1=\"" + top + "\" y2=\"" + bottom + "\"/></g>";
}

}  // namespace

std::string svg_bars(const bar_chart& drawn) {
    std::string rows;
    double y = 0;
    for (const bar_group& group : drawn.groups) {
        double largest = 0;
        for (const bar& shown : group.bars) largest = std::max({largest, shown.value, shown.spread ? shown.maximum : 0});
        y += heading;
        rows += "<text x=\"0\" y=\"" + number(y - 9) + "\" font-weight=\"600\" font-size=\"13\">" +
                html_escape(group.title) + "</text>";
        for (const bar& shown : group.bars) {
            const auto x_of = [largest](double value) {
                return name_width + (largest > 0 ? bar_most * value / largest : 0);
            };
            const double end = std::max(name_width + 1, x_of(shown.value));
            const double text_x = std::max(end, shown.spread ? x_of(shown.maximum) : 0) + 6;
            rows += "<text x=\"0\" y=\"" + number(y + 15) + "\">" + html_escape(shown.label) + "</text><rect x=\"" +
                    number(name_width) + "\" y=\"" + number(y + 3) + "\" width=\"" + number(end - name_width) +
                    "\" height=\"" + number(row - 6) + "\" fill=\"" + shown.colour + "\"><title>" +
                    html_escape(shown.hover) + "</title></rect>";
            if (shown.spread) rows += whisker(x_of(shown.minimum), x_of(shown.maximum), y + row / 2);
            rows += "<text x=\"" + number(text_x) + "\" y=\"" + number(y + 15) + "\">" + html_escape(shown.text) +
                    "</text>";
            y += row;
        }
    }
    if (rows.empty()) return "";
    return "<svg class=\"chart bars\" viewBox=\"0 0 " + number(width) + " " + number(y + 6) +
           "\" role=\"img\" aria-labelledby=\"" + drawn.id + "-title " + drawn.id + "-description\"><title id=\"" +
           drawn.id + "-title\">" + html_escape(drawn.title) + "</title><desc id=\"" + drawn.id + "-description\">" +
           html_escape(drawn.description) + "</desc>" + rows + "</svg>";
}
