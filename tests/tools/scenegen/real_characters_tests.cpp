#include "tools/scenegen/real_characters.h"

#include "data/character_codes.h"

#include "tools/glyphgen/plate_geometry.h"
#include "tools/scenegen/gui_application.h"
#include "tools/scenegen/plate_painter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <span>

using namespace kavro;

namespace {

constexpr int centres[] = {30, 81, 152, 203, 254, 305, 356};
constexpr int barWidth = 14;
constexpr int barTop = 18;
constexpr int barHeight = 80;
constexpr int provinceWidth = 32; // wide enough for the sample finder's province box
// A short stroke just beyond the fringe of the bar at position 2, as the plate
// frame or a neighbour's edge may show in a picture's margin.
constexpr int strayLeft = centres[2] + barWidth / 2 + 3;
constexpr int strayWidth = 2;
constexpr int strayHeight = 20;
constexpr std::uint8_t anhui = 0x8B; // 皖

// A dark plate in the rectified frame with a bright block for the province and
// a bright bar for every letter and digit.
QImage barPlate() {
    QImage image(plateWidth, plateHeight, QImage::Format_RGB888);
    image.fill(QColor(20, 40, 120));
    QPainter painter(&image);
    painter.fillRect(centres[0] - provinceWidth / 2, barTop, provinceWidth, barHeight, Qt::white);
    for (const int centre : std::span(centres).subspan(1)) {
        painter.fillRect(centre - barWidth / 2, barTop, barWidth, barHeight, Qt::white);
    }
    painter.fillRect(strayLeft, barTop + (barHeight - strayHeight) / 2, strayWidth, strayHeight,
                     Qt::white);
    return image;
}

// Crops whose names sort in this order: plates 0 and 5 are held out.
const std::vector<std::string> sixPlates = {"皖A00000", "皖A11111", "皖A22222",
                                            "皖A33333", "皖A44444", "皖A55555"};

// Twenty crops: plates 0, 5, 10 and 15 are held out.
std::vector<std::string> twentyPlates() {
    std::vector<std::string> names;
    for (int i = 0; i < 20; ++i) {
        names.push_back("皖B" + QString::number(i).rightJustified(5, u'0').toStdString());
    }
    return names;
}

class HeldOutCrops : public testing::Test {
protected:
    static void SetUpTestSuite() { ensureGuiApplication(); }

    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    CharacterPictures picturesOf(const std::vector<std::string>& names) {
        const QImage plate = barPlate();
        for (const std::string& name : names) {
            EXPECT_TRUE(
                plate.save(m_dir.filePath(QString::fromStdString(name) + ".jpg"), "JPG", 95));
        }
        return heldOutCharacters(m_dir.path());
    }

    QTemporaryDir m_dir;
};

TEST_F(HeldOutCrops, OnlyTheHeldOutPlatesGiveCharacters) {
    const CharacterPictures pictures = picturesOf(sixPlates);
    std::string codes;
    for (const auto& [code, list] : pictures) {
        codes += static_cast<char>(code);
    }
    EXPECT_EQ(codes, "05") << "plates 0 and 5 only; 皖 and A found twice, too few to check";
    EXPECT_EQ(pictures.at('0').size(), 3U)
        << "five found, the least typical quarter (rounded up) left out";
    EXPECT_EQ(charactersWithoutPictures(pictures), "12346789ABCDEFGHJKLMNPQRSTUVWXYZ");
}

TEST_F(HeldOutCrops, AProvinceFoundOftenEnoughGivesPictures) {
    const CharacterPictures pictures = picturesOf(twentyPlates());
    ASSERT_TRUE(pictures.contains(anhui));
    EXPECT_EQ(pictures.at(anhui).size(), 3U) << "four found, the least typical quarter left out";
    EXPECT_EQ(pictures.at('B').size(), 3U);
    const QRect box = pictures.at(anhui).front().box;
    EXPECT_NEAR(box.width(), provinceWidth, 2);
    EXPECT_NEAR(box.height(), barHeight, 2);
}

TEST_F(HeldOutCrops, APictureIsTheStrokeWithSoftEdgesAndItsSize) {
    const CharacterPictures pictures = picturesOf(sixPlates);
    const CharacterPicture& bar = pictures.at('5').front();
    ASSERT_EQ(bar.coverage.format(), QImage::Format_Grayscale8);
    const QRect box = bar.box;
    EXPECT_TRUE(bar.coverage.rect().contains(box.adjusted(-2, -2, 2, 2))) << "a margin is kept";
    EXPECT_NEAR(box.width(), barWidth, 2) << "the stray stroke in the margin is left out";
    EXPECT_NEAR(box.height(), barHeight, 2);
    EXPECT_GT(qGray(bar.coverage.pixel(box.center())), 240);
    EXPECT_LT(qGray(bar.coverage.pixel(1, 1)), 15);
    // 14 of 384 columns of a 440 mm plate, 80 of 116 rows of a 140 mm one.
    EXPECT_NEAR(bar.sizeMm.width(), 16.0, 2.5);
    EXPECT_NEAR(bar.sizeMm.height(), 96.5, 2.5);
}

TEST(RealCharacters, AFolderWithoutCropsIsAnError) {
    ensureGuiApplication();
    QTemporaryDir empty;
    EXPECT_THROW(heldOutCharacters(empty.path()), std::runtime_error);
}

// A picture of a solid block of the given size in millimetres.
CharacterPicture block(QSizeF sizeMm) {
    QImage coverage(24, 44, QImage::Format_Grayscale8);
    coverage.fill(0);
    QPainter(&coverage).fillRect(2, 2, 20, 40, Qt::white);
    return {coverage, QRect(2, 2, 20, 40), sizeMm};
}

// The kinds of cut the rule is shown: a ring 20 x 44 pixels with 5-pixel
// strokes, the box 45 x 90 mm, and its defective variants.
enum class Cut { ring, openTop, cutShort, widened, blob };

CharacterPicture cutPicture(Cut cut) {
    constexpr int margin = 4;
    constexpr int stroke = 5;
    const QRect box(margin, margin, 20, 44);
    QImage coverage(box.width() + 2 * margin, box.height() + 2 * margin, QImage::Format_Grayscale8);
    coverage.fill(0);
    QPainter painter(&coverage);
    painter.fillRect(box, Qt::white);
    if (cut != Cut::blob) {
        const int top = cut == Cut::openTop ? 0 : stroke;
        painter.fillRect(box.adjusted(stroke, top, -stroke, -stroke), Qt::black);
    }
    // The size the box had on the plate: a cut-off one is short, one taking in
    // a neighbour's edge wide; the grid shows neither.
    const QSizeF sizeMm(cut == Cut::widened ? 60 : 45, cut == Cut::cutShort ? 60 : 90);
    return {coverage, box, sizeMm};
}

TEST(RealCharacters, SoundPicturesLeaveOutDefectiveCutsAndTheLeastTypicalQuarter) {
    ensureGuiApplication();
    struct Case {
        Cut cut;
        bool kept;
        const char* why;
    };
    const std::vector<Case> cases = {
        {Cut::ring, true, "typical"},
        {Cut::cutShort, false, "shorter than the median box: cut off"},
        {Cut::ring, true, "typical"},
        {Cut::openTop, false, "a stroke lost: among the least typical quarter"},
        {Cut::ring, true, "typical"},
        {Cut::widened, false, "wider than the median box: a neighbour's edge taken in"},
        {Cut::ring, true, "typical"},
        {Cut::blob, false, "far more ink than the median: strokes blurred together"},
        {Cut::ring, true, "typical"},
        {Cut::openTop, false, "a stroke lost: among the least typical quarter"},
        {Cut::ring, true, "typical"},
    };
    std::vector<CharacterPicture> pictures;
    for (const Case& c : cases) {
        pictures.push_back(cutPicture(c.cut));
    }
    const std::vector<std::size_t> kept = soundPictures(pictures);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(std::ranges::find(kept, i) != kept.end(), cases[i].kept)
            << "picture " << i << ": " << cases[i].why;
    }
}

TEST(RealCharacters, SoundPicturesKeepOneOfAnyPictures) {
    ensureGuiApplication();
    EXPECT_TRUE(soundPictures({}).empty());
    const std::vector<CharacterPicture> one = {cutPicture(Cut::blob)};
    EXPECT_EQ(soundPictures(one), std::vector<std::size_t>{0});
    // The median of two is the larger: the shorter box is the one cut off.
    const std::vector<CharacterPicture> two = {cutPicture(Cut::cutShort), cutPicture(Cut::ring)};
    EXPECT_EQ(soundPictures(two), std::vector<std::size_t>{1});
}

TEST(RealCharacters, PicksAreDeterministicAndNullWithoutPictures) {
    CharacterPictures pictures;
    for (int i = 0; i < 8; ++i) {
        pictures['7'].push_back(block(QSizeF(40 + i, 90)));
    }
    SceneRandom first(3), second(3);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(pickCharacter(pictures, '7', first), pickCharacter(pictures, '7', second));
    }
    EXPECT_EQ(pickCharacter(pictures, '8', first), nullptr);
}

// White ink over the blue plate at a point given in millimetres.
bool inkAt(const QImage& plate, QPointF mm, double pixelsPerMm) {
    const QColor colour = plate.pixelColor((mm * pixelsPerMm).toPoint());
    return colour.red() > 200 && colour.blue() > 200;
}

TEST(RealCharacters, PicturesFillTheBoxHeightAndKeepNarrowProportions) {
    ensureGuiApplication();
    const PlateStyle& style = plateStyle(1);
    const CharacterPicture wide = block(QSizeF(45, 90));
    const CharacterPicture narrow = block(QSizeF(10, 90));
    const std::vector<PlateCharacter> characters = {{anhui, nullptr}, {'A', &wide}, {'7', &narrow},
                                                    {'2', &wide},     {'3', &wide}, {'4', &wide},
                                                    {'5', &wide}};
    constexpr double pixelsPerMm = 2;
    const QImage plate = renderFlatPlate(style, characters, defaultPlateFaces(), pixelsPerMm);
    const double middle = style.charCentreYMm();
    const double top = middle - style.charHeightMm / 2;
    for (const int position : {1, 2}) {
        const double x = style.charCentreXMm[static_cast<std::size_t>(position)];
        EXPECT_TRUE(inkAt(plate, {x, middle}, pixelsPerMm));
        EXPECT_TRUE(inkAt(plate, {x, top + 2}, pixelsPerMm)) << "fills the height";
        EXPECT_FALSE(inkAt(plate, {x, top - 3}, pixelsPerMm));
    }
    const double a = style.charCentreXMm[1], seven = style.charCentreXMm[2];
    EXPECT_TRUE(inkAt(plate, {a + 20, middle}, pixelsPerMm)) << "a wide picture fills the width";
    EXPECT_FALSE(inkAt(plate, {seven + 10, middle}, pixelsPerMm)) << "a narrow one stays narrow";
}

// The crops' "1"s come out 11 to 24 mm wide, their ink widened by the blur of
// the small crops; on the plate the bar is 10 mm wide, centred in its cell.
TEST(RealCharacters, AOneIsTheBarOfThePlateFaceWhateverItsPicturesWidth) {
    ensureGuiApplication();
    const PlateStyle& style = plateStyle(1);
    const CharacterPicture wide = block(QSizeF(45, 90));
    constexpr double pixelsPerMm = 4;
    const double middle = style.charCentreYMm();
    const double top = middle - style.charHeightMm / 2;
    const double one = style.charCentreXMm[2];
    for (const QSizeF sizeMm : {QSizeF(24, 66), QSizeF(12, 90), QSizeF(11, 54)}) {
        const CharacterPicture bar = block(sizeMm);
        const std::vector<PlateCharacter> characters = {
            {anhui, nullptr}, {'A', &wide}, {'1', &bar}, {'2', &wide},
            {'3', &wide},     {'4', &wide}, {'5', &wide}};
        const QImage plate = renderFlatPlate(style, characters, defaultPlateFaces(), pixelsPerMm);
        double inked = 0;
        double sum = 0;
        for (double x = one - 20; x <= one + 20; x += 1 / pixelsPerMm) {
            if (inkAt(plate, {x, middle}, pixelsPerMm)) {
                inked += 1 / pixelsPerMm;
                sum += x / pixelsPerMm;
            }
        }
        EXPECT_NEAR(inked, 10, 1) << sizeMm.width() << " x " << sizeMm.height();
        EXPECT_NEAR(sum / inked, one, 0.5) << "centred in the cell";
        EXPECT_TRUE(inkAt(plate, {one, top + 2}, pixelsPerMm)) << "fills the height";
        EXPECT_FALSE(inkAt(plate, {one, top - 3}, pixelsPerMm));
    }
}

TEST(RealCharacters, TheBundledCropsHaveEveryLetterAndDigitAndTheirCommonProvince) {
    ensureGuiApplication();
    const CharacterPictures& pictures = bundledCharacters();
    EXPECT_EQ(charactersWithoutPictures(pictures), "");
    std::vector<std::uint8_t> provinces;
    for (const auto& [code, list] : pictures) {
        if (code >= firstChineseCode) {
            provinces.push_back(code);
        }
    }
    // Nearly all the crops are 皖 plates; no other province is held out often enough.
    EXPECT_EQ(provinces, std::vector<std::uint8_t>{anhui});
    EXPECT_GE(pictures.at(anhui).size(), 40U);
}

} // namespace
