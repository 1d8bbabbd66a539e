#include "app/drawing/fonts.h"

#include "res/string_table.h"

#include <QStringList>

QFont fontOf(std::span<const char* const> families, int pixelSize) {
    QStringList names;
    for (const char* family : families) {
        names << QString::fromUtf8(family);
    }
    QFont font;
    font.setFamilies(names);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

QFont plateFont(int pixelSize) {
    return fontOf(strings::resultFontFamilies, pixelSize);
}
