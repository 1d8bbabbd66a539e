#pragma once
// What the view draws, in the view's own coordinates: the start-up instruction,
// the working picture and the text of the plates read from it; and the
// annotated picture that is saved. Needs Qt's GUI module only, not its widgets.

#include "engine/context/recognition_context.h"
#include "engine/recognise/recognition_result.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>

class QPainter;

inline constexpr int resultFontPixelSize = 28;
inline constexpr QRect instructionRect{QPoint(20, 20), QPoint(499, 399)};
inline constexpr int resultTop = 136;
inline constexpr int resultHeight = 200;
inline constexpr int resultGap = 10;        // between the picture and the text
inline constexpr int resultBlockStep = 246; // from one plate's block to the next

QFont resultFont();      // "黑体", for the plates
QFont instructionFont(); // "宋体", for the instruction

// A copy of the context's working picture (planeWidth x planeHeight), null
// before any picture was prepared.
QImage workingPicture(const RecognitionContext& context);

// Paints height rows of width blue-green-red pixels (top row first) 1:1 at the
// origin. Returns the number of rows drawn, 0 without a painter.
int DrawPixels(QPainter* painter, int width, int height, const std::uint8_t* pixels);

// The text block of stored plate `plate`: "车牌N\n类型：...\n牌号：...", where the
// plate stored last is numbered 1.
QString plateBlockText(const RecognitionResult& result, int plate);

// The texts of the plates, the one stored last first, or the note that no
// plate was read.
QStringList resultTexts(const RecognitionResult& result);

// Where the text of the first block goes for a picture planeWidth wide.
QRect firstResultRect(int planeWidth);

void drawInstruction(QPainter& painter);

// The plates of `result` to the right of the picture, the one stored last on
// top, or the note that no plate was read.
void drawResult(QPainter& painter, const RecognitionResult& result, int planeWidth);

// `picture` with the plates of `result` written on it, each block legibly on a
// dark band in the top left corner, or the note that no plate was read. The one
// drawing of annotated pictures.
QImage annotatedPicture(const QImage& picture, const RecognitionResult& result);
