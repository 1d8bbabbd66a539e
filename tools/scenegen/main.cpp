// kavro-scenegen: writes synthetic pictures with known plates and a truth.tsv
// listing each plate's text, format and corners. Picture i of a run is drawn
// from seed + i, so any one picture can be drawn again on its own.

#include "tools/scenegen/encoders.h"
#include "tools/scenegen/gui_application.h"
#include "tools/scenegen/real_characters.h"
#include "tools/scenegen/scene.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

struct Settings {
    std::uint32_t seed = 1;
    int count = 1;
    std::filesystem::path out;
    SceneOptions scene;
    bool bmp = false;
    bool noTrailer = false;
    bool preview = false;
    std::string size;
    std::string prefix = "scene";
};

// "WIDTHxHEIGHT" to a size; an empty text gives an empty size.
QSize parseSize(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    int width = 0;
    int height = 0;
    char separator = 0;
    std::istringstream stream(text);
    if (!(stream >> width >> separator >> height) || separator != 'x' || !stream.eof()) {
        throw std::invalid_argument("--size takes WIDTHxHEIGHT, not " + text);
    }
    return {width, height};
}

constexpr int usageError = 2;

const std::map<std::string, Difficulty> difficultyNames{{"easy", Difficulty::easy},
                                                        {"normal", Difficulty::normal},
                                                        {"hard", Difficulty::hard},
                                                        {"real", Difficulty::real}};

const std::map<std::string, Placement> placementNames{{"lower", Placement::lowerTwoThirds},
                                                      {"anywhere", Placement::anywhere},
                                                      {"top", Placement::top}};

enum class FileKind { jpegWithTrailer, jpeg, bmp };

FileKind fileKind(const Settings& settings) {
    if (settings.bmp) {
        return FileKind::bmp;
    }
    return settings.noTrailer ? FileKind::jpeg : FileKind::jpegWithTrailer;
}

std::vector<std::uint8_t> encode(const Scene& scene, FileKind kind) {
    switch (kind) {
    case FileKind::jpegWithTrailer:
        return encodeJpegWithTrailer(scene);
    case FileKind::jpeg:
        return encodeJpeg(scene.image, scene.jpegQuality);
    case FileKind::bmp:
        break;
    }
    return encodeBmp(scene.image);
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// Corners as "x1,y1,x2,y2,x3,y3,x4,y4"; picture pixels with one decimal.
std::string pictureCorners(const PlateTruth& plate) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1);
    for (const QPointF& corner : plate.corners) {
        text << (text.tellp() > 0 ? "," : "") << corner.x() << ',' << corner.y();
    }
    return text.str();
}

std::string frameCorners(const PlateTruth& plate) {
    std::ostringstream text;
    for (const FramePoint& corner : plate.frameCorners) {
        text << (text.tellp() > 0 ? "," : "") << corner.x << ',' << corner.y;
    }
    return text.str();
}

void writeTruthRows(std::ostream& truth, const std::string& name, const Scene& scene,
                    FileKind kind) {
    for (std::size_t i = 0; i < scene.plates.size(); ++i) {
        const PlateTruth& plate = scene.plates[i];
        const bool trailer = kind == FileKind::jpegWithTrailer && i == 0;
        truth << name << '\t' << i << '\t' << plate.formatIndex << '\t' << plate.text << '\t'
              << pictureCorners(plate) << '\t' << frameCorners(plate) << '\t'
              << (trailer ? "yes" : "no") << '\n';
    }
}

// Letters and digits without a real picture are drawn from the font: says which.
void reportFontCharacters() {
    const std::string missing = charactersWithoutPictures(bundledCharacters());
    if (!missing.empty()) {
        std::cerr << "kavro-scenegen: no real plate pictures of " << missing
                  << "; these are drawn from the font\n";
    }
}

void generate(const Settings& settings) {
    reportFontCharacters();
    std::filesystem::create_directories(settings.out);
    std::ofstream truth(settings.out / "truth.tsv");
    truth << "file\tplate\tformat\ttext\tcorners_px\tcorners_512\ttrailer\n";
    const FileKind kind = fileKind(settings);
    for (int i = 0; i < settings.count; ++i) {
        const std::uint32_t seed = settings.seed + static_cast<std::uint32_t>(i);
        const Scene scene = drawScene(seed, settings.scene);
        const std::string stem = settings.prefix + "-" + std::to_string(seed);
        const std::string name = stem + (kind == FileKind::bmp ? ".bmp" : ".jpg");
        writeFile(settings.out / name, encode(scene, kind));
        if (settings.preview) {
            scene.image.save(QString::fromStdString((settings.out / (stem + ".png")).string()));
        }
        writeTruthRows(truth, name, scene, kind);
    }
    if (!truth) {
        throw std::runtime_error("cannot write the truth table");
    }
}

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    std::vector<double> plateWidths;
    CLI::App app{"Draws pictures of vehicles with known Chinese mainland plates."};
    app.add_option("--seed", settings.seed, "seed of the first picture; picture i uses seed + i");
    app.add_option("--count", settings.count, "number of pictures")->check(CLI::PositiveNumber);
    app.add_option("--out", settings.out, "output folder")->required();
    app.add_option("--formats", settings.scene.formats, "plate formats to draw from")
        ->delimiter(',')
        ->check(CLI::IsMember({1, 2, 4, 5, 7}));
    app.add_option("--plates", settings.scene.plateCount, "plates per picture (0 for none)")
        ->check(CLI::Range(0, 2));
    app.add_option("--plate-width", plateWidths, "plate widths in pixels: MIN,MAX")
        ->delimiter(',')
        ->expected(2);
    app.add_option("--placement", settings.scene.placement,
                   "where plates lie: lower (two-thirds, default), anywhere or top")
        ->transform(CLI::CheckedTransformer(placementNames).description(""));
    app.add_flag("--font-characters", settings.scene.fontCharacters,
                 "draw every character from the fonts");
    app.add_option("--difficulty", settings.scene.difficulty,
                   "easy, normal (default), hard or real (the spread of real photos)")
        ->transform(CLI::CheckedTransformer(difficultyNames).description(""));
    app.add_option("--size", settings.size,
                   "picture size WIDTHxHEIGHT (default: chosen by the seed)");
    app.add_option("--prefix", settings.prefix, "file names are PREFIX-SEED.jpg (or .bmp)");
    app.add_flag("--bmp", settings.bmp, "write 24-bit BMP files instead of JPEG");
    app.add_flag("--no-trailer", settings.noTrailer, "JPEG files without the corner trailer");
    app.add_flag("--png", settings.preview, "also write a PNG of each picture");
    try {
        app.parse(argc, argv);
        settings.scene.pictureSize = parseSize(settings.size);
        if (plateWidths.size() == 2) {
            settings.scene.minPlateWidth = plateWidths[0];
            settings.scene.maxPlateWidth = plateWidths[1];
        }
        validateSceneOptions(settings.scene);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : usageError;
    } catch (const std::invalid_argument& error) {
        std::cerr << "kavro-scenegen: " << error.what() << '\n';
        return usageError;
    }

    try {
        ensureGuiApplication();
        generate(settings);
    } catch (const std::exception& error) {
        std::cerr << "kavro-scenegen: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
