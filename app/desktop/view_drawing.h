#pragma once
// What the view draws, in the view's own coordinates: the start-up instruction,
// the working picture, the text of the plates read from it and, over them, where
// each plate lies and what it looked like once rectified.

#include "app/drawing/plate_marks.h"
#include "app/driver/picture_session.h"
#include "engine/context/recognition_context.h"
#include "engine/recognise/recognition_result.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>
#include <vector>

class QPainter;

inline constexpr int resultFontPixelSize = 28;
inline constexpr QRect instructionRect{QPoint(20, 20), QPoint(499, 399)};
inline constexpr int resultTop = 136;
inline constexpr int resultHeight = 200;
inline constexpr int resultGap = 10;        // between the picture and the text
inline constexpr int resultBlockStep = 246; // from one plate's block to the next
inline constexpr int plateImageGap = 16;    // between the widest text block and the plate images
inline constexpr MarkStyle viewMarkStyle{2, 16};

QFont resultFont();      // "黑体", for the plates
QFont instructionFont(); // "宋体", for the instruction

// Paints height rows of width blue-green-red pixels (top row first) 1:1 at the
// origin. Returns the number of rows drawn, 0 without a painter.
int DrawPixels(QPainter* painter, int width, int height, const std::uint8_t* pixels);

// The text block of stored plate `plate`: "车牌N\n类型：...\n牌号：...", where the
// plate stored last is numbered 1.
QString plateBlockText(const kavro::RecognitionResult& result, int plate);

// The texts of the plates, the one stored last first, or the note that no
// plate was read.
QStringList resultTexts(const kavro::RecognitionResult& result);

// Where the text of the first block goes for a picture planeWidth wide.
QRect firstResultRect(int planeWidth);

void drawInstruction(QPainter& painter);

// The plates of `result` to the right of the picture, the one stored last on
// top, or the note that no plate was read.
void drawResult(QPainter& painter, const kavro::RecognitionResult& result, int planeWidth);

// The plates that the view lists beside the picture, 车牌1 first.
std::span<const kavro::FoundPlate> listedPlates(const kavro::PictureSession& session);

// The outlines of `plates` on the working picture of `context`, each with its
// place in the list: "1" for 车牌1.
std::vector<PlateMark> viewMarks(const kavro::RecognitionContext& context,
                                 std::span<const kavro::FoundPlate> plates);

// Where the rectified image of the plate of text block `block` (0 for 车牌1)
// goes: beside the block, right of the widest block of `result`.
QRect plateImageRect(const kavro::RecognitionResult& result, int planeWidth, int block);

// The overlays of the listed plates: their outlines and indices on the working
// picture, their rectified images beside their texts.
void drawOverlays(QPainter& painter, const kavro::PictureSession& session);
