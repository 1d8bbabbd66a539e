// End to end: generated pictures with known plates go through kavro-cli, and
// every plate's corners come out where the plate lies in the picture, in order.

#include "support/cli_run.h"
#include "support/temp_path.h"
#include "tools/scenegen/encoders.h"
#include "tools/scenegen/scene.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

// Picture pixels. Along a corner trailer, the corners are the trailer's, which
// rounds them to whole pixels of the picture scaled to 512 wide; the search
// fits the plate's outer edges in the picture itself.
constexpr double tolerance = 3;

struct Kind {
    const char* name;
    int format;
};

constexpr Kind kinds[] = {
    {"blue", 1}, {"yellow", 2}, {"dump-truck", 4}, {"new-energy", 5}, {"police", 7},
};
constexpr QSize sizes[] = {{640, 480}, {1280, 720}, {1920, 1080}};
constexpr std::uint32_t firstSeed = 8100;

using Corners = std::array<std::array<double, 2>, 4>;

// The true outer corners in the order of the output: clockwise from the top left.
Corners clockwise(const PlateTruth& truth) {
    Corners corners{};
    const PlateCorner order[] = {topLeft, topRight, bottomRight, bottomLeft};
    for (std::size_t i = 0; i < corners.size(); ++i) {
        corners[i] = {truth.corners[order[i]].x(), truth.corners[order[i]].y()};
    }
    return corners;
}

// The largest distance from a corner to the true corner of the same place.
double worstCorner(const Corners& found, const Corners& truth) {
    double worst = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        worst = std::max(worst, std::hypot(found[i][0] - truth[i][0], found[i][1] - truth[i][1]));
    }
    return worst;
}

// The corners of the plate of a JSON line that lies nearest to `truth`.
std::optional<Corners> nearestPlate(const nlohmann::json& line, const Corners& truth) {
    std::optional<Corners> nearest;
    for (const nlohmann::json& plate : line.at("plates")) {
        const Corners corners = plate.at("corners").get<Corners>();
        if (!nearest || worstCorner(corners, truth) < worstCorner(*nearest, truth)) {
            nearest = corners;
        }
    }
    return nearest;
}

// At most one decimal: ten times the value is a whole number.
bool hasOneDecimalAtMost(double value) {
    return std::abs(value * 10 - std::round(value * 10)) < 1e-6;
}

struct Picture {
    std::string label;
    std::string path;
    Corners truth;
};

class PlateCorners : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::filesystem::create_directories(folder());
        std::uint32_t seed = firstSeed;
        for (const Kind& kind : kinds) {
            for (const QSize& size : sizes) {
                SceneOptions options;
                options.formats = {kind.format};
                options.difficulty = Difficulty::easy;
                options.pictureSize = size;
                const Scene scene = drawScene(seed++, options);
                const std::string label = std::string(kind.name) + "-" +
                                          std::to_string(size.width()) + "x" +
                                          std::to_string(size.height());
                const Corners truth = clockwise(scene.plates.front());
                trailed().push_back(
                    {label, write(label + "-trailer.jpg", encodeJpegWithTrailer(scene)), truth});
                searched().push_back(
                    {label, write(label + ".jpg", encodeJpeg(scene.image, scene.jpegQuality)),
                     truth});
            }
        }
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(folder()); }

    static std::filesystem::path folder() { return tempPath("kavro-plate-corners"); }
    static std::vector<Picture>& trailed() {
        static std::vector<Picture> pictures;
        return pictures;
    }
    static std::vector<Picture>& searched() {
        static std::vector<Picture> pictures;
        return pictures;
    }

    static std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::filesystem::path path = folder() / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    static std::string filesOf(const std::vector<Picture>& pictures) {
        std::string files;
        for (const Picture& picture : pictures) {
            files += " " + picture.path;
        }
        return files;
    }

    // Each picture's plate in the JSON lines has its corners, one decimal at
    // most, clockwise from the top left, each within the tolerance of the true
    // one of the same place.
    static void expectCornersNearTheTruth(const std::vector<Picture>& pictures) {
        const std::vector<std::string> lines = runCli("--json" + filesOf(pictures)).lines;
        ASSERT_EQ(lines.size(), pictures.size());
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            const Picture& picture = pictures[i];
            const nlohmann::json line = nlohmann::json::parse(lines[i]);
            EXPECT_EQ(line.at("file"), picture.path);
            const std::optional<Corners> found = nearestPlate(line, picture.truth);
            if (!found) {
                ADD_FAILURE() << picture.label << ": no plate";
                continue;
            }
            EXPECT_LE(worstCorner(*found, picture.truth), tolerance) << picture.label;
            for (const auto& corner : *found) {
                EXPECT_TRUE(hasOneDecimalAtMost(corner[0]) && hasOneDecimalAtMost(corner[1]))
                    << picture.label;
            }
        }
    }
};

TEST_F(PlateCorners, AlongTheCornerTrailerEveryKindInThreeSizes) {
    expectCornersNearTheTruth(trailed());
}

TEST_F(PlateCorners, FoundBySearchEveryKindInThreeSizes) {
    expectCornersNearTheTruth(searched());
}

// The plain lines carry what they always did: the plates' texts, types and
// confidences as JSON gives them, and nothing of the corners.
TEST_F(PlateCorners, PlainLinesAreAsTheyWere) {
    const std::string files = filesOf(searched());
    const std::vector<std::string> plain = runCli(files).lines;
    const std::vector<std::string> json = runCli("--json" + files).lines;
    ASSERT_EQ(plain.size(), json.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const nlohmann::json line = nlohmann::json::parse(json[i]);
        std::string expected = line.at("file").get<std::string>() + ": ";
        for (std::size_t p = 0; p < line.at("plates").size(); ++p) {
            const nlohmann::json& plate = line["plates"][p];
            expected += (p > 0 ? "; " : "") + plate.at("text").get<std::string>() + " " +
                        plate.at("type").get<std::string>() + " (" +
                        std::to_string(plate.at("confidence").get<int>()) + ")";
        }
        EXPECT_EQ(plain[i], expected);
    }
}

} // namespace
