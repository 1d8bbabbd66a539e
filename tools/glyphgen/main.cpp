// kavro-glyphgen: learns the built-in glyph templates from real plate
// characters and fonts, and writes them as C++ source with a sheet picture.
//
//   kavro-glyphgen PLATES OUTPUT.cpp SHEET.png   generate from the plates not held
//                                                out, print sources and closest pairs
//   kavro-glyphgen --evaluate PLATES             held-out reading of the plate characters

#include "tools/glyphgen/evaluation.h"
#include "tools/glyphgen/glyph_sheet.h"
#include "tools/glyphgen/source_writer.h"

#include <QGuiApplication>

#include <exception>
#include <fstream>
#include <iostream>
#include <string>

using namespace kavro;

namespace {

void writeText(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        throw std::runtime_error(std::string("cannot write ") + path);
    }
}

std::vector<CharacterSample> samplesFrom(const char* directory) {
    const std::vector<PlateCrop> crops = loadPlateCrops(QString::fromUtf8(directory));
    if (crops.empty()) {
        throw std::runtime_error(std::string("no plate crops in ") + directory);
    }
    std::vector<CharacterSample> samples = collectSamples(crops);
    std::cout << crops.size() << " plates, " << samples.size() << " characters found\n";
    return samples;
}

// Learns from the plates that are not held out: the end-to-end tests draw
// the held-out plates' characters, which the templates must not have seen.
void generate(const char* plates, const char* sourcePath, const char* sheetPath) {
    const HeldOutSplit split = splitHeldOut(samplesFrom(plates));
    std::cout << "learning from the plates not held out (every " << heldOutEvery
              << "th is held out): " << split.test.size() << " characters held out\n";
    const std::vector<GeneratedTable> tables = buildTables(split.training, chineseFaces());
    writeText(sourcePath, templateSource(tables));
    if (!glyphSheet(tables).save(sheetPath, "PNG")) {
        throw std::runtime_error(std::string("cannot write ") + sheetPath);
    }
    printSources(tables, std::cout);
    printClosestPairs(tables, std::cout);
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    try {
        if (argc == 3 && std::string(argv[1]) == "--evaluate") {
            const HeldOutSplit split = splitHeldOut(samplesFrom(argv[2]));
            std::cout << "Held-out reading: every " << heldOutEvery
                      << "th plate read with templates learned from the others\n";
            printEvaluation(split.test, split.training, std::cout);
        } else if (argc == 4) {
            generate(argv[1], argv[2], argv[3]);
        } else {
            std::cerr << "usage: kavro-glyphgen PLATES OUTPUT.cpp SHEET.png\n"
                         "       kavro-glyphgen --evaluate PLATES\n";
            return 2;
        }
    } catch (const std::exception& error) {
        std::cerr << "kavro-glyphgen: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
