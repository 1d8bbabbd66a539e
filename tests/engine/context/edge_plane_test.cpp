#include "engine/context/edge_plane.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace kavro;

namespace {

constexpr std::uint8_t untouched = 0xA5;

struct Plane {
    int width, height;
    std::vector<std::uint8_t> bytes;

    Plane(int w, int h, const std::function<int(int, int)>& levelAt) : width(w), height(h) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                bytes.push_back(static_cast<std::uint8_t>(levelAt(x, y)));
            }
        }
    }
    int at(int x, int y) const { return bytes[static_cast<std::size_t>(y) * width + x]; }
};

// Runs the edge operation into a destination with one spare guard byte at the end.
Plane edgesOf(const Plane& source) {
    Plane destination(source.width, source.height, [](int, int) { return untouched; });
    destination.bytes.push_back(untouched);
    const std::vector<std::uint8_t> original = source.bytes;
    computeEdgePlane(source.height, source.bytes.data(), destination.bytes.data(), source.width);
    EXPECT_EQ(source.bytes, original);
    EXPECT_EQ(destination.bytes.back(), untouched);
    destination.bytes.pop_back();
    return destination;
}

bool onBorder(const Plane& plane, int x, int y) {
    return x == 0 || y == 0 || x == plane.width - 1 || y == plane.height - 1;
}

TEST(EdgePlane, UniformPlaneIsZeroInsideAndKeepsItsBorder) {
    const Plane source(8, 6, [](int, int) { return 77; });
    const Plane edges = edgesOf(source);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(edges.at(x, y), onBorder(edges, x, y) ? 77 : 0) << x << "," << y;
        }
    }
}

struct StepCase {
    const char* name;
    std::function<int(int, int)> levelAt;
    std::function<int(int, int)> expectedInside;
};

TEST(EdgePlane, StepsGiveTheHalvedSumOfAbsoluteResponses) {
    const StepCase cases[] = {
        // |gx| = 1020 on either side of the step: 510, capped to 255
        {"vertical 0 to 255", [](int x, int) { return x < 4 ? 0 : 255; },
         [](int x, int) { return x == 3 || x == 4 ? 255 : 0; }},
        // |gx| = 200 -> 100; a falling step gives the same magnitude
        {"vertical 50 to 0", [](int x, int) { return x < 4 ? 50 : 0; },
         [](int x, int) { return x == 3 || x == 4 ? 100 : 0; }},
        // gy = 400 -> 200 on the rows either side of the step
        {"horizontal 0 to 100", [](int, int y) { return y < 3 ? 0 : 100; },
         [](int, int y) { return y == 2 || y == 3 ? 200 : 0; }},
        // a ramp of 10 per column and 20 per row: gx = 80 and gy = 160 add up to 240 -> 120
        {"ramp", [](int x, int y) { return 10 * x + 20 * y; }, [](int, int) { return 120; }},
    };
    for (const auto& [name, levelAt, expectedInside] : cases) {
        const Plane source(8, 7, levelAt);
        const Plane edges = edgesOf(source);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 8; ++x) {
                const int expected = onBorder(edges, x, y) ? source.at(x, y) : expectedInside(x, y);
                EXPECT_EQ(edges.at(x, y), expected) << name << " at " << x << "," << y;
            }
        }
    }
}

TEST(EdgePlane, PlanesWithoutInteriorAreOnlyCopied) {
    const Plane empty(512, 0, [](int, int) { return 0; });
    const Plane emptyEdges = edgesOf(empty);
    EXPECT_TRUE(emptyEdges.bytes.empty());

    for (const auto& [width, height] : {std::pair{512, 2}, std::pair{2, 9}, std::pair{1, 1}}) {
        const Plane source(width, height, [](int x, int y) { return x * 3 + y * 101; });
        EXPECT_EQ(edgesOf(source).bytes, source.bytes) << width << " x " << height;
    }
}

} // namespace
