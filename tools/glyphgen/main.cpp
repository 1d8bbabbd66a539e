// kavro-glyphgen: writes the built-in glyph template tables as C++ source and
// a sheet picture of every template.
//
//   kavro-glyphgen OUTPUT.cpp SHEET.png

#include "tools/glyphgen/glyph_sheet.h"
#include "tools/glyphgen/source_writer.h"
#include "tools/glyphgen/template_builder.h"

#include <QGuiApplication>

#include <exception>
#include <fstream>
#include <iostream>

namespace {

void writeText(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        throw std::runtime_error(std::string("cannot write ") + path);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::cerr << "usage: kavro-glyphgen OUTPUT.cpp SHEET.png\n";
        return 2;
    }
    try {
        const std::vector<GeneratedTable> tables = buildTables();
        writeText(argv[1], templateSource(tables));
        if (!glyphSheet(tables).save(argv[2], "PNG")) {
            throw std::runtime_error(std::string("cannot write ") + argv[2]);
        }
    } catch (const std::exception& error) {
        std::cerr << "kavro-glyphgen: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
