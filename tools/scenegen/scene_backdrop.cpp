#include "tools/scenegen/scene_backdrop.h"

#include <QLinearGradient>
#include <QPainterPath>

#include <array>
#include <span>

namespace {

constexpr int mutedSaturation = 90; // streets are mostly greys, browns and faded paint

// A colour of any hue, weakly saturated, with its value (brightness) in [low, high].
QColor randomColour(SceneRandom& random, int low, int high) {
    return QColor::fromHsv(random.integer(0, 359), random.integer(0, mutedSaturation),
                           random.integer(low, high));
}

// Signs are painted in strong colours.
QColor signColour(SceneRandom& random) {
    return QColor::fromHsv(random.integer(0, 359), random.integer(0, 255), random.integer(40, 255));
}

void paintSkyAndRoad(QPainter& painter, QSize size, SceneRandom& random) {
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, randomColour(random, 120, 230));
    gradient.setColorAt(random.real(0.3, 0.6), randomColour(random, 90, 180));
    gradient.setColorAt(1, randomColour(random, 50, 120));
    painter.fillRect(QRect(QPoint(0, 0), size), gradient);
}

void paintWindows(QPainter& painter, const QRectF& facade, SceneRandom& random) {
    const double cell = random.real(14, 40);
    const QColor glass = randomColour(random, 30, 120);
    for (double y = facade.top() + cell / 3; y + cell / 2 < facade.bottom(); y += cell) {
        for (double x = facade.left() + cell / 3; x + cell / 2 < facade.right(); x += cell) {
            painter.fillRect(QRectF(x, y, cell / 2, cell * 0.6), glass);
        }
    }
}

void paintBuildings(QPainter& painter, QSize size, SceneRandom& random) {
    const int count = random.integer(5, 14);
    for (int i = 0; i < count; ++i) {
        const double width = random.real(0.08, 0.35) * size.width();
        const double height = random.real(0.2, 0.7) * size.height();
        const QRectF facade(random.real(-0.1, 1.0) * size.width(),
                            random.real(0.0, 0.5) * size.height(), width, height);
        painter.fillRect(facade, randomColour(random, 60, 220));
        if (random.chance(0.6)) {
            paintWindows(painter, facade, random);
        }
    }
}

void paintPolesAndLines(QPainter& painter, QSize size, SceneRandom& random) {
    const int count = random.integer(3, 9);
    for (int i = 0; i < count; ++i) {
        painter.setPen(QPen(randomColour(random, 20, 250), random.real(1, 8)));
        painter.drawLine(QPointF(random.real(0, size.width()), random.real(0, size.height())),
                         QPointF(random.real(0, size.width()), random.real(0, size.height())));
    }
}

// A sign with a row of character-sized marks: dark blocks or real letters.
void paintSign(QPainter& painter, QSize size, SceneRandom& random) {
    const double height = random.real(0.04, 0.1) * size.height();
    const int marks = random.integer(3, 9);
    const double pitch = height * random.real(0.5, 0.9);
    const QRectF board(random.real(0, 0.85) * size.width(), random.real(0, 0.9) * size.height(),
                       pitch * (marks + 1), height);
    const QColor background = signColour(random);
    const QColor ink = background.lightness() > 128 ? QColor(20, 20, 30) : QColor(235, 235, 235);
    painter.fillRect(board, background);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(static_cast<int>(height * 0.7));
    font.setBold(random.chance(0.5));
    painter.setFont(font);
    painter.setPen(ink);
    for (int i = 0; i < marks; ++i) {
        const QRectF cell(board.left() + pitch * (i + 0.5), board.top() + height * 0.15,
                          pitch * 0.8, height * 0.7);
        if (random.chance(0.5)) {
            const QChar mark(random.chance(0.5) ? '0' + random.integer(0, 9)
                                                : 'A' + random.integer(0, 25));
            painter.drawText(cell, Qt::AlignCenter, QString(mark));
        } else {
            painter.fillRect(cell.adjusted(pitch * 0.15, 0, -pitch * 0.15, 0), ink);
        }
    }
}

void paintFoliage(QPainter& painter, QSize size, SceneRandom& random) {
    const int count = random.integer(0, 12);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        painter.setBrush(QColor(random.integer(20, 90), random.integer(70, 150),
                                random.integer(20, 80), random.integer(120, 255)));
        const double radius = random.real(0.02, 0.08) * size.width();
        painter.drawEllipse(QPointF(random.real(0, size.width()), random.real(0, size.height())),
                            radius, radius * random.real(0.6, 1.2));
    }
}

// Car fronts, in millimetres from the plate centre.
constexpr double bodyHalfWidth = vehicleHalfWidthMm;
constexpr double bodyTop = -560;
constexpr double bodyBottom = 330;
constexpr double bodyRadius = 160;

const std::array<QColor, 8> carPaints{
    QColor(235, 235, 235), QColor(180, 182, 186), QColor(40, 40, 44),    QColor(150, 24, 30),
    QColor(30, 60, 120),   QColor(95, 98, 104),   QColor(210, 200, 170), QColor(40, 90, 60)};

// Roof and windscreen above the body.
void paintCabin(QPainter& painter, const QColor& paint, SceneRandom& random) {
    painter.setBrush(paint);
    painter.drawRoundedRect(QRectF(-bodyHalfWidth + 60, -1280, 2 * bodyHalfWidth - 120, 700), 200,
                            200);
    QPainterPath glass;
    glass.moveTo(-640, -1180);
    glass.lineTo(640, -1180);
    glass.lineTo(820, -600);
    glass.lineTo(-820, -600);
    glass.closeSubpath();
    QLinearGradient gradient(0, -1180, random.real(-300, 300), -600);
    gradient.setColorAt(0, randomColour(random, 30, 70));
    gradient.setColorAt(random.real(0.3, 0.7), randomColour(random, 90, 150));
    gradient.setColorAt(1, randomColour(random, 20, 60));
    painter.setBrush(gradient);
    painter.drawPath(glass);
}

void paintLamps(QPainter& painter, SceneRandom& random) {
    const QColor lens = randomColour(random, 190, 250);
    painter.setBrush(lens);
    const double inner = random.real(480, 580);
    const double top = random.real(-420, -330);
    for (const int side : {-1, 1}) {
        const double x = side < 0 ? -bodyHalfWidth + 40 : inner;
        painter.drawRoundedRect(QRectF(x, top, bodyHalfWidth - 40 - inner, 120), 40, 40);
    }
}

void paintGrille(QPainter& painter, const QColor& paint, SceneRandom& random) {
    const QRectF grille(-420, -430, 840, random.real(180, 260));
    painter.setBrush(paint.darker(260));
    painter.drawRoundedRect(grille, 30, 30);
    painter.setPen(QPen(paint.darker(140), random.real(10, 24)));
    const double spacing = random.real(30, 60);
    for (double y = grille.top() + spacing; y < grille.bottom(); y += spacing) {
        painter.drawLine(QPointF(grille.left() + 20, y), QPointF(grille.right() - 20, y));
    }
    painter.setPen(Qt::NoPen);
}

void paintBumperAndTyres(QPainter& painter, const QColor& paint, SceneRandom& random) {
    painter.setBrush(QColor(25, 25, 28));
    for (const int side : {-1, 1}) {
        painter.drawRoundedRect(QRectF(side * 760 - 110, 200, 220, 260), 40, 40);
    }
    painter.setBrush(paint.darker(125));
    painter.drawRect(QRectF(-bodyHalfWidth, 60, 2 * bodyHalfWidth, 40));
    painter.setBrush(paint.darker(random.integer(200, 320)));
    painter.drawRoundedRect(QRectF(-520, 170, 1040, 120), 30, 30);
    // The recess the plate is mounted in.
    painter.setBrush(paint.darker(150));
    painter.drawRoundedRect(QRectF(-280, -95, 560, 190), 20, 20);
}

} // namespace

void paintClutter(QPainter& painter, QSize size, SceneRandom& random) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintSkyAndRoad(painter, size, random);
    paintBuildings(painter, size, random);
    paintFoliage(painter, size, random);
    paintPolesAndLines(painter, size, random);
    const int signs = random.integer(1, 4);
    for (int i = 0; i < signs; ++i) {
        paintSign(painter, size, random);
    }
    painter.restore();
}

void paintVehicle(QPainter& painter, SceneRandom& random) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor paint = random.pick(std::span<const QColor>(carPaints));
    paintCabin(painter, paint, random);
    QLinearGradient body(0, bodyTop, 0, bodyBottom);
    body.setColorAt(0, paint.lighter(115));
    body.setColorAt(1, paint.darker(130));
    painter.setBrush(body);
    painter.drawRoundedRect(
        QRectF(-bodyHalfWidth, bodyTop, 2 * bodyHalfWidth, bodyBottom - bodyTop), bodyRadius,
        bodyRadius);
    paintLamps(painter, random);
    paintGrille(painter, paint, random);
    paintBumperAndTyres(painter, paint, random);
    painter.restore();
}
