// The whole read of a dozen drawn pictures (JPEG with and without the corner
// trailer, BMP, several sizes and plate formats) against a recorded reference:
// every plate, score and confidence, and a hash of every plane the engine
// writes. Speed work must leave all of it bit-identical. Each classifier has
// its own recording: pipeline_reference.txt for the glyph templates (the
// reading as it was before the trained network came), and
// pipeline_reference_trained.txt for the trained network.
//
// To record the references again on purpose (after a change that is meant to
// alter results), run this test with KAVRO_RECORD_PIPELINE_REFERENCE=1 set; it
// then rewrites both files and reports itself skipped.

#include "app/driver/picture_session.h"
#include "app/driver/plate_text.h"
#include "support/temp_path.h"
#include "tools/scenegen/encoders.h"
#include "tools/scenegen/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace kavro;

namespace {

enum class Encoding { jpeg, jpegWithTrailer, bmp };

struct PictureCase {
    std::uint32_t seed;
    std::vector<int> formats;
    int plateCount;
    int width, height;
    Encoding encoding;
};

const std::vector<PictureCase> pictureCases = {
    {7001, {1}, 1, 640, 480, Encoding::jpeg},
    {7002, {2}, 1, 800, 600, Encoding::jpeg},
    {7003, {4}, 1, 1024, 768, Encoding::jpeg},
    {7004, {5}, 1, 640, 480, Encoding::jpeg},
    {7005, {7}, 1, 1280, 720, Encoding::jpeg},
    {7006, {1, 2}, 2, 1280, 960, Encoding::jpeg},
    {7007, {1}, 1, 640, 480, Encoding::jpegWithTrailer},
    {7008, {1}, 1, 1024, 768, Encoding::jpegWithTrailer},
    {7009, {1}, 1, 1920, 1080, Encoding::jpegWithTrailer},
    {7010, {1}, 1, 640, 480, Encoding::bmp},
    {7011, {2, 4}, 1, 800, 600, Encoding::bmp},
    {7012, {1, 5}, 2, 1600, 1200, Encoding::jpeg},
};

constexpr std::uint64_t fnvOffset = 14695981039346656037ull;
constexpr std::uint64_t fnvPrime = 1099511628211ull;

std::uint64_t fnv1a(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t hash = fnvOffset;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * fnvPrime;
    }
    return hash;
}

std::string hex(std::span<const std::uint8_t> bytes) {
    std::ostringstream out;
    out << std::hex;
    for (const std::uint8_t b : bytes) {
        out << (b < 16 ? "0" : "") << int{b};
    }
    return out.str();
}

std::vector<std::uint8_t> encode(const PictureCase& picture, const Scene& scene) {
    switch (picture.encoding) {
    case Encoding::jpegWithTrailer:
        return encodeJpegWithTrailer(scene);
    case Encoding::bmp:
        return encodeBmp(scene.image);
    default:
        return encodeJpeg(scene.image, scene.jpegQuality);
    }
}

// The plate slots and plate planes start out uninitialised; a session with
// them cleared hashes the same on every run, whatever the path left unwritten.
void clearPlateBuffers(RecognitionContext& context) {
    constexpr std::size_t area = std::size_t{plateWidth} * plateHeight;
    for (auto& image : context.plateImages) {
        std::fill_n(image.get(), area * 3, 0);
    }
    for (auto& plane : context.platePlanes) {
        std::fill_n(plane.get(), area, 0);
    }
    for (auto& plane : context.binaryPlanes) {
        std::fill_n(plane.get(), area, 0);
    }
}

std::string describeResult(const RecognitionResult& result) {
    std::ostringstream out;
    out << "count=" << result.count;
    for (int p = 0; p < result.count; ++p) {
        out << " plate" << p << "=" << plateNumberText(result, p)
            << " format=" << result.formatIndex[static_cast<std::size_t>(p)]
            << " confidence=" << int{result.confidence[static_cast<std::size_t>(p)]}
            << " codes=" << hex(result.text[static_cast<std::size_t>(p)])
            << " scores=" << hex(result.charScore[static_cast<std::size_t>(p)]);
    }
    return out.str();
}

std::string describePlanes(const RecognitionContext& context, bool trailer) {
    const std::size_t planeSize = std::size_t{workingWidth} * context.planeHeight;
    const std::size_t area = std::size_t{plateWidth} * plateHeight;
    std::ostringstream out;
    out << std::hex;
    const auto hash = [&](const char* name, const std::uint8_t* bytes, std::size_t size) {
        out << " " << name << "=" << fnv1a(bytes, size);
    };
    hash("source", context.sourceImage.get(),
         std::size_t{3} * context.imageWidth * context.imageHeight);
    hash("colour", context.colourPlane.get(), planeSize * 3);
    hash("hsv", context.hsvPlane.get(), planeSize * 3);
    hash("green", context.greenPlane.get(), planeSize);
    hash("blue", context.bluePlane.get(), planeSize);
    hash("yellow", context.yellowPlane.get(), planeSize);
    hash("gray", context.grayPlane.get(), planeSize);
    hash("inverse", context.inverseGrayPlane.get(), planeSize);
    hash("edge", context.edgePlane.get(), planeSize);
    if (!trailer) { // the corner path never touches the work plane
        hash("work", context.workPlane.get(), planeSize);
    }
    for (std::size_t i = 0; i < context.plateImages.size(); ++i) {
        hash("plate", context.plateImages[i].get(), area * 3);
        hash("platePlane", context.platePlanes[i].get(), area);
    }
    for (const auto& plane : context.binaryPlanes) {
        hash("binary", plane.get(), area);
    }
    return out.str();
}

std::string readOne(const PictureCase& picture, const std::filesystem::path& dir,
                    CharacterClassifier classifier) {
    SceneOptions options;
    options.formats = picture.formats;
    options.plateCount = picture.plateCount;
    options.pictureSize = QSize(picture.width, picture.height);
    const Scene scene = drawScene(picture.seed, options);
    const auto bytes = encode(picture, scene);
    const auto path = dir / ("picture-" + std::to_string(picture.seed));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    PictureSession session;
    session.classifier = classifier;
    clearPlateBuffers(session.context);
    EXPECT_TRUE(readPicture(session, path, PictureReader::byContent)) << picture.seed;
    EXPECT_TRUE(recogniseCurrent(session)) << picture.seed;
    return std::to_string(picture.seed) + " " + describeResult(session.result) +
           describePlanes(session.context, picture.encoding == Encoding::jpegWithTrailer);
}

std::vector<std::string> readLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

void compareWithRecording(CharacterClassifier classifier, const std::filesystem::path& reference) {
    const auto dir = tempPath("kavro-pipeline-reference");
    std::filesystem::create_directories(dir);
    std::vector<std::string> lines;
    for (const PictureCase& picture : pictureCases) {
        lines.push_back(readOne(picture, dir, classifier));
    }
    std::filesystem::remove_all(dir);

    if (std::getenv("KAVRO_RECORD_PIPELINE_REFERENCE") != nullptr) {
        std::ofstream out(reference);
        for (const std::string& line : lines) {
            out << line << "\n";
        }
        GTEST_SKIP() << "recorded " << reference;
    }
    const auto recorded = readLines(reference);
    ASSERT_EQ(recorded.size(), lines.size()) << "no reference at " << reference;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], recorded[i]);
    }
}

TEST(PipelineReference, TemplateReadingMatchesTheRecording) {
    compareWithRecording(CharacterClassifier::templates, KAVRO_PIPELINE_REFERENCE);
}

TEST(PipelineReference, TrainedReadingMatchesTheRecording) {
    compareWithRecording(CharacterClassifier::trained, KAVRO_PIPELINE_REFERENCE_TRAINED);
}

} // namespace
