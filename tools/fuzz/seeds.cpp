// kavro-fuzz-seeds DIRECTORY: writes the seed corpora of the fuzz targets into
// DIRECTORY/bmp, DIRECTORY/jpeg and DIRECTORY/pipeline: small pictures of every kind
// the readers take, and pipeline inputs with and without a readable plate.

#include "data/glyph_templates.h"
#include "data/plate_formats.h"
#include "engine/context/recognition_context.h"
#include "image/test_pictures.h"
#include "pipeline_input.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace kavro;

namespace {

namespace fs = std::filesystem;

void writeSeed(const fs::path& directory, const std::string& name, const Bytes& bytes) {
    fs::create_directories(directory);
    std::ofstream(directory / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void writeBitmapSeeds(const fs::path& directory) {
    writeSeed(directory, "24bit-4x3.bmp", makeBitmap({}));
    writeSeed(directory, "24bit-3x2-padded.bmp", makeBitmap({.width = 3, .height = 2}));
    writeSeed(directory, "24bit-top-down.bmp",
              makeBitmap({.width = 5, .height = 2, .topDown = true}));
    writeSeed(directory, "32bit.bmp", makeBitmap({.width = 3, .height = 3, .bitCount = 32}));
    writeSeed(directory, "8bit.bmp", makeBitmap({.width = 5, .height = 3, .bitCount = 8}));
    writeSeed(directory, "1x1.bmp", makeBitmap({.width = 1, .height = 1}));
}

void writeJpegSeeds(const fs::path& directory) {
    writeSeed(directory, "colour.jpg", makeJpeg(16, 8));
    writeSeed(directory, "odd-size.jpg", makeJpeg(3, 5));
    writeSeed(directory, "grey.jpg", makeJpeg(8, 8, JpegKind::grey));
    writeSeed(directory, "cmyk.jpg", makeJpeg(8, 8, JpegKind::cmyk));
    writeSeed(directory, "progressive.jpg", makeJpeg(16, 16, JpegKind::progressive));
    writeSeed(directory, "trailer.jpg",
              withTrailer(makeJpeg(16, 8), trailerMarker[1], {10, 20, 300, 20, 10, 120, 300, 120}));
}

// A scene of a blue plate with white characters, drawn upright at half the
// rectified size, and the trailer corners (in the 512-wide frame) around it.
struct PlateScene {
    static constexpr int width = 224;
    static constexpr int height = 96;
    static constexpr int plateLeft = 16;
    static constexpr int plateTop = 19;
    static constexpr int scale = 2; // rectified plate pixels per scene pixel

    PipelineInput input;

    PlateScene() {
        input.width = width;
        input.height = height;
        input.pixels.assign(static_cast<std::size_t>(width) * height * 3, 90);
        fill(plateLeft, plateTop, plateWidth / scale, plateHeight / scale, {200, 60, 20});
        drawCharacters();
        const int right = plateLeft + plateWidth / scale - 1;
        const int bottom = plateTop + plateHeight / scale - 1;
        const auto frame = [](int v) { return static_cast<std::int16_t>(v * 512 / width); };
        input.corners = {frame(plateLeft), frame(plateTop), frame(right), frame(plateTop),
                         frame(plateLeft), frame(bottom),   frame(right), frame(bottom)};
    }

    void fill(int x, int y, int w, int h, Bgr colour) {
        for (int j = y; j < y + h; ++j) {
            for (int i = x; i < x + w; ++i) {
                std::uint8_t* p = &input.pixels[(static_cast<std::size_t>(j) * width + i) * 3];
                p[0] = colour.b;
                p[1] = colour.g;
                p[2] = colour.r;
            }
        }
    }

    void drawGlyph(const GlyphTemplate& glyph, int centreX) {
        const PlateFormat& format = plateFormats[1];
        const int w = format.charWidth / scale;
        const int h = format.charHeight / scale;
        const int x = plateLeft + centreX / scale - w / 2;
        const int y = plateTop + (plateHeight / scale - h) / 2;
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                const std::uint32_t bit = 0x80000000u >> (i * glyphColumns / w);
                if (glyph.rows[j * glyphRows / h] & bit) {
                    fill(x + i, y + j, 1, 1, {255, 255, 255});
                }
            }
        }
    }

    static const GlyphTemplate& standardGlyph(char code) {
        return *std::ranges::find_if(standardGlyphs, [&](const GlyphTemplate& g) {
            return g.code == static_cast<std::uint32_t>(code);
        });
    }

    void drawCharacters() {
        const auto& centres = plateFormats[1].charCentreX;
        drawGlyph(provinceGlyphs[0], centres[0]);
        const char rest[] = "A12345";
        for (int i = 0; i < 6; ++i) {
            drawGlyph(standardGlyph(rest[i]), centres[i + 1]);
        }
    }
};

// One pixel given: the decoder repeats it over the picture.
PipelineInput plainPicture(int width, int height, std::uint8_t value) {
    PipelineInput input;
    input.width = width;
    input.height = height;
    input.pixels.assign(3, value);
    return input;
}

void writePipelineSeeds(const fs::path& directory) {
    PlateScene scene;
    scene.input.cornersFromTrailer = true;
    writeSeed(directory, "plate-corners", encodePipelineInput(scene.input));
    scene.input.cornersFromTrailer = false;
    scene.input.bottomUp = true;
    writeSeed(directory, "plate-search", encodePipelineInput(scene.input));

    writeSeed(directory, "1x1", encodePipelineInput(plainPicture(1, 1, 0)));
    writeSeed(directory, "black-64-high", encodePipelineInput(plainPicture(512, 64, 0)));
    writeSeed(directory, "white", encodePipelineInput(plainPicture(200, 150, 255)));
    PipelineInput noise = plainPicture(160, 120, 0);
    noise.pixels.resize(static_cast<std::size_t>(noise.width) * noise.height * 3);
    std::mt19937 random(7);
    std::ranges::generate(noise.pixels, [&] { return static_cast<std::uint8_t>(random()); });
    noise.cornersFromTrailer = true;
    noise.corners = {0, 0, 500, 0, 0, 300, 500, 300};
    writeSeed(directory, "noise-corners", encodePipelineInput(noise));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kavro-fuzz-seeds DIRECTORY\n");
        return 2;
    }
    const fs::path directory = argv[1];
    writeBitmapSeeds(directory / "bmp");
    writeJpegSeeds(directory / "jpeg");
    writePipelineSeeds(directory / "pipeline");
    return 0;
}
