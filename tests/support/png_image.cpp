#include "support/png_image.hpp"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unordered_set>

namespace {

std::uint32_t big_endian(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t index = 0; index < 4; ++index) value = value << 8 | static_cast<std::uint8_t>(bytes[at + index]);
    return value;
}

std::uint8_t paeth(int left, int up, int up_left) {
    const int estimate = left + up - up_left;
    const int to_left = std::abs(estimate - left);
    const int to_up = std::abs(estimate - up);
    const int to_up_left = std::abs(estimate - up_left);
    if (to_left <= to_up && to_left <= to_up_left) return static_cast<std::uint8_t>(left);
    return static_cast<std::uint8_t>(to_up <= to_up_left ? up : up_left);
}

// Undoes each row's filter in place; `rows` holds a filter byte then `stride` bytes a row.
bool unfilter(std::vector<std::uint8_t>& rows, int height, std::size_t stride, std::size_t pixel_size,
              std::string& error) {
    for (int row = 0; row < height; ++row) {
        std::uint8_t* line = rows.data() + static_cast<std::size_t>(row) * (stride + 1);
        const std::uint8_t filter = line[0];
        std::uint8_t* current = line + 1;
        const std::uint8_t* previous = row == 0 ? nullptr : current - (stride + 1);
        for (std::size_t at = 0; at < stride; ++at) {
            const int left = at >= pixel_size ? current[at - pixel_size] : 0;
            const int up = previous != nullptr ? previous[at] : 0;
            const int up_left = previous != nullptr && at >= pixel_size ? previous[at - pixel_size] : 0;
            switch (filter) {
                case 0: break;
                case 1: current[at] = static_cast<std::uint8_t>(current[at] + left); break;
                case 2: current[at] = static_cast<std::uint8_t>(current[at] + up); break;
                case 3: current[at] = static_cast<std::uint8_t>(current[at] + (left + up) / 2); break;
                case 4: current[at] = static_cast<std::uint8_t>(current[at] + paeth(left, up, up_left)); break;
                default: error = "unknown PNG row filter " + std::to_string(filter); return false;
            }
        }
    }
    return true;
}

}  // namespace

bool png_pixels(const std::string& png_file, image& out, std::string& error) {
    std::ifstream file(png_file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) {
        error = png_file + " is not a PNG file";
        return false;
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t pixel_size = 0;
    std::string compressed;
    bool ended = false;
    for (std::size_t at = 8; !ended;) {
        if (at + 12 > bytes.size() || big_endian(bytes, at) > bytes.size() - at - 12) {
            error = png_file + " ends inside a chunk";
            return false;
        }
        const std::size_t length = big_endian(bytes, at);
        const std::string type = bytes.substr(at + 4, 4);
        const std::string data = bytes.substr(at + 8, length);
        const uLong sum =
            crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + at + 4), static_cast<uInt>(length + 4));
        if (sum != big_endian(bytes, at + 8 + length)) {
            error = png_file + ": bad checksum on chunk " + type;
            return false;
        }
        if (type == "IHDR" && length == 13) {
            width = big_endian(data, 0);
            height = big_endian(data, 4);
            const int depth = static_cast<std::uint8_t>(data[8]);
            const int colour_type = static_cast<std::uint8_t>(data[9]);
            const bool interlaced = data[12] != 0;
            if (depth != 8 || (colour_type != 2 && colour_type != 6) || interlaced || width == 0 || height == 0 ||
                width > 16384 || height > 16384) {
                error = png_file + ": only 8-bit RGB or RGBA, not interlaced, up to 16384 pixels a side";
                return false;
            }
            pixel_size = colour_type == 2 ? 3 : 4;
        }
        if (type == "IDAT") compressed += data;
        ended = type == "IEND";
        at += 12 + length;
    }
    if (pixel_size == 0) {
        error = png_file + " has no header chunk";
        return false;
    }
    const std::size_t stride = width * pixel_size;
    std::vector<std::uint8_t> rows(height * (stride + 1));
    uLongf size = rows.size();
    if (uncompress(rows.data(), &size, reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()) != Z_OK ||
        size != rows.size()) {
        error = png_file + ": the image data does not inflate to " + std::to_string(rows.size()) + " bytes";
        return false;
    }
    if (!unfilter(rows, static_cast<int>(height), stride, pixel_size, error)) return false;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.rgba.assign(static_cast<std::size_t>(width) * height * 4, 255);
    for (std::size_t row = 0; row < height; ++row)
        for (std::size_t column = 0; column < width; ++column)
            std::copy_n(rows.data() + row * (stride + 1) + 1 + column * pixel_size, pixel_size,
                        out.rgba.data() + (row * width + column) * 4);
    return true;
}

int distinct_colours(const image& picture, int left, int top, int width, int height) {
    std::unordered_set<std::uint32_t> colours;
    const int right = std::min(left + width, picture.width);
    const int bottom = std::min(top + height, picture.height);
    for (int y = std::max(top, 0); y < bottom; ++y)
        for (int x = std::max(left, 0); x < right; ++x) {
            const std::uint8_t* pixel = picture.rgba.data() + (static_cast<std::size_t>(y) * picture.width + x) * 4;
            colours.insert(static_cast<std::uint32_t>(pixel[0]) << 24 | pixel[1] << 16 | pixel[2] << 8 | pixel[3]);
        }
    return static_cast<int>(colours.size());
}
