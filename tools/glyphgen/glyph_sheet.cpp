#include "tools/glyphgen/glyph_sheet.h"

#include "data/character_codes.h"

#include <QFont>
#include <QPainter>

using namespace kavro;

namespace {

constexpr int cellScale = 2;
constexpr int glyphsPerRow = 16;
constexpr int labelHeight = 20;
constexpr int titleHeight = 28;
constexpr int gap = 8;
constexpr int tileWidth = glyphColumns * cellScale + gap;
constexpr int tileHeight = glyphRows * cellScale + labelHeight + gap;
const QColor paper(255, 255, 255);
const QColor stroke(20, 20, 20);
const QColor frame(200, 200, 200);

int rowsOf(const GeneratedTable& table) {
    return (static_cast<int>(table.glyphs.size()) + glyphsPerRow - 1) / glyphsPerRow;
}

void drawGlyph(QPainter& painter, const GeneratedGlyph& glyph, int left, int top) {
    painter.setPen(frame);
    painter.drawRect(left - 1, top - 1, glyphColumns * cellScale + 1, glyphRows * cellScale + 1);
    for (int r = 0; r < glyphRows; ++r) {
        for (int c = 0; c < glyphColumns; ++c) {
            if (cellSet(glyph.rows, r, c)) {
                painter.fillRect(left + c * cellScale, top + r * cellScale, cellScale, cellScale,
                                 stroke);
            }
        }
    }
    painter.setPen(stroke);
    painter.drawText(
        QRect(left, top + glyphRows * cellScale, glyphColumns * cellScale, labelHeight),
        Qt::AlignCenter, QString::fromStdString(displayCharacter(glyph.code)));
}

// Draws one table under its title; returns the y below it.
int drawTable(QPainter& painter, const GeneratedTable& table, int top) {
    painter.setPen(stroke);
    painter.drawText(
        QRect(gap, top, glyphsPerRow * tileWidth, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
        QString("%1 (%2)").arg(QString::fromStdString(table.name)).arg(table.glyphs.size()));
    top += titleHeight;
    for (std::size_t i = 0; i < table.glyphs.size(); ++i) {
        const int column = static_cast<int>(i) % glyphsPerRow;
        const int row = static_cast<int>(i) / glyphsPerRow;
        drawGlyph(painter, table.glyphs[i], gap + column * tileWidth, top + row * tileHeight);
    }
    return top + rowsOf(table) * tileHeight;
}

} // namespace

QImage glyphSheet(const std::vector<GeneratedTable>& tables) {
    int height = gap;
    for (const GeneratedTable& table : tables) {
        height += titleHeight + rowsOf(table) * tileHeight;
    }
    QImage sheet(gap + glyphsPerRow * tileWidth, height, QImage::Format_RGB32);
    sheet.fill(paper);
    QPainter painter(&sheet);
    QFont font("Noto Sans CJK SC");
    font.setPixelSize(14);
    painter.setFont(font);
    int top = gap;
    for (const GeneratedTable& table : tables) {
        top = drawTable(painter, table, top);
    }
    return sheet;
}
