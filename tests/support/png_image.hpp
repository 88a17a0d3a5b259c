// Screenshots as pixels: the 8-bit RGB and RGBA, non-interlaced PNG files Chromium writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // 4 bytes a pixel, row after row from the top
};

bool png_pixels(const std::string& png_file, image& out, std::string& error);

// How many different colours the pixels of the rectangle hold, the rectangle clipped to the
// image: 1 on a blank area, more where something is drawn.
int distinct_colours(const image& picture, int left, int top, int width, int height);
