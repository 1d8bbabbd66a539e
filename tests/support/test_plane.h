#pragma once
// A byte plane owned by a test, with helpers to draw rectangles and small
// pictures given as text ('#' = 255, anything else = 0).

#include "engine/primitives/byte_plane.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

struct TestPlane {
    int width;
    int height;
    std::vector<std::uint8_t> pixels;

    TestPlane(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, 0) {}

    // Draws `art` with its top-left character at (x, y).
    TestPlane(int w, int h, int x, int y, std::initializer_list<std::string_view> art)
        : TestPlane(w, h) {
        int row = y;
        for (std::string_view line : art) {
            for (std::size_t c = 0; c < line.size(); ++c) {
                set(x + static_cast<int>(c), row, line[c] == '#' ? 255 : 0);
            }
            ++row;
        }
    }

    void set(int x, int y, std::uint8_t value) {
        pixels[static_cast<std::size_t>(y) * width + x] = value;
    }

    // Fills the inclusive rectangle x0..x1, y0..y1.
    void fill(int x0, int y0, int x1, int y1, std::uint8_t value = 255) {
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                set(x, y, value);
            }
        }
    }

    kavro::BytePlane view() const { return {pixels, width, height}; }
};
