// Bars drawn as inline SVG for the report pages: groups of horizontal bars, each group drawn
// to its own largest value, each bar with its value written beside it and, when it has a
// spread, a whisker from its minimum to its maximum.
#pragma once

#include <string>
#include <vector>

struct bar {
    std::string label;
    std::string colour;
    double value = 0;
    bool spread = false;  // draw the whisker
    double minimum = 0;
    double maximum = 0;
    std::string text;   // beside the bar
    std::string hover;  // shown on hover
};

struct bar_group {
    std::string title;
    std::vector<bar> bars;
};

struct bar_chart {
    std::string id;  // unique in the page
    std::string title;
    std::string description;
    std::vector<bar_group> groups;
};

std::string svg_bars(const bar_chart& drawn);
