#include "data/plate_formats.h"

#include "data/character_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

using namespace kavro;

namespace {

constexpr std::array<int, 5> definedFormats = {1, 2, 4, 5, 7};

std::vector<const GlyphTemplate*> candidates(int format, int list) {
    std::vector<const GlyphTemplate*> out(maxCandidates);
    out.resize(static_cast<std::size_t>(buildCandidates(format, list, out)));
    return out;
}

bool inTable(const GlyphTemplate* glyph, std::span<const GlyphTemplate> table) {
    return glyph >= table.data() && glyph < table.data() + table.size();
}

std::string listText(int format, int list) {
    const auto& chars =
        plateFormats[static_cast<std::size_t>(format)].allowedChars[static_cast<std::size_t>(list)];
    return std::string(chars.begin(), std::find(chars.begin(), chars.end(), 0));
}

TEST(PlateFormats, OnlyFormatsOneTwoFourFiveAndSevenAreDefined) {
    for (int i = 0; i < plateFormatCount; ++i) {
        const bool defined =
            std::find(definedFormats.begin(), definedFormats.end(), i) != definedFormats.end();
        EXPECT_EQ(plateFormats[static_cast<std::size_t>(i)].defined, defined ? 1 : 0) << i;
    }
    const PlateFormat& undefined = plateFormats[3];
    EXPECT_EQ(undefined.charCount, 0);
    EXPECT_EQ(undefined.allowedChars[0][0], 0);
}

TEST(PlateFormats, RecognitionFieldsOfEachFormat) {
    const struct {
        int format, listCount, fontSet, charCount, separatorIndex, planeMode, charWidth, pitch,
            separatorPitch;
        std::array<int, 8> centres;
        std::array<int, 8> lists;
    } cases[] = {
        {1,
         3,
         0,
         7,
         2,
         4,
         40,
         51,
         71,
         {30, 81, 152, 203, 254, 305, 356, 0},
         {2, 0, 1, 1, 1, 1, 1, 0}},
        {2,
         4,
         0,
         7,
         2,
         5,
         40,
         51,
         71,
         {30, 81, 152, 203, 254, 305, 356, 0},
         {3, 0, 1, 1, 1, 1, 2, 0}},
        {4,
         3,
         0,
         7,
         3,
         5,
         40,
         51,
         71,
         {30, 81, 132, 203, 254, 305, 356, 0},
         {2, 0, 1, 1, 1, 1, 1, 0}},
        {5,
         4,
         1,
         8,
         2,
         3,
         35,
         43,
         80,
         {25, 68, 142, 185, 227, 270, 312, 355},
         {3, 0, 2, 1, 1, 1, 1, 2}},
        {7,
         4,
         0,
         7,
         1,
         1,
         40,
         51,
         71,
         {30, 101, 152, 203, 254, 305, 356, 0},
         {3, 0, 1, 1, 1, 1, 2, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const PlateFormat& f = plateFormats[static_cast<std::size_t>(c.format)];
        EXPECT_EQ(f.listCount, c.listCount);
        EXPECT_EQ(static_cast<int>(f.fontSet), c.fontSet);
        EXPECT_EQ(f.charCount, c.charCount);
        EXPECT_EQ(f.separatorIndex, c.separatorIndex);
        EXPECT_EQ(static_cast<int>(f.planeMode), c.planeMode);
        EXPECT_EQ(f.charWidth, c.charWidth);
        EXPECT_EQ(f.charHeight, 80);
        EXPECT_EQ(f.pitch, c.pitch);
        EXPECT_EQ(f.separatorPitch, c.separatorPitch);
        for (std::size_t i = 0; i < c.centres.size(); ++i) {
            EXPECT_EQ(f.charCentreX[i], c.centres[i]) << i;
            EXPECT_EQ(f.charList[i], c.lists[i]) << i;
        }
        for (std::size_t i = c.centres.size(); i < maxPlateChars; ++i) {
            EXPECT_EQ(f.charCentreX[i], 0) << i;
        }
    }
}

TEST(PlateFormats, SpareFieldsKeepTheirValues) {
    const PlateFormat& green = plateFormats[5];
    EXPECT_EQ(green.gapRatioLimits, (std::array<std::int32_t, 6>{80, 140, 200, 240, 290, 340}));
    EXPECT_EQ(green.spare1, (std::array<std::int32_t, 2>{3, 3}));
    EXPECT_EQ(green.positionOrder, (std::array<std::int32_t, 8>{3, 2, 4, 7, 0, 5, 1, 6}));
    const PlateFormat& police = plateFormats[7];
    EXPECT_EQ(police.gapRatioLimits, (std::array<std::int32_t, 6>{80, 120, 170, 220, 270, 320}));
    EXPECT_EQ(police.spare1, (std::array<std::int32_t, 2>{1, 1}));
    EXPECT_EQ(police.spare2, (std::array<std::int32_t, 2>{0, 2}));
    EXPECT_EQ(police.spare3, 58);
    EXPECT_EQ(police.positionOrder, (std::array<std::int32_t, 8>{3, 2, 4, 6, 0, 1, 5, 0}));
    EXPECT_EQ(plateFormats[1].spare2, (std::array<std::int32_t, 2>{1, 1}));
    EXPECT_EQ(plateFormats[2].spare1, (std::array<std::int32_t, 2>{1, 5}));
    for (const int i : definedFormats) {
        const PlateFormat& f = plateFormats[static_cast<std::size_t>(i)];
        EXPECT_EQ(f.spare0, 0);
        EXPECT_TRUE(
            std::all_of(f.reserved.begin(), f.reserved.end(), [](int v) { return v == 0; }));
    }
}

TEST(PlateFormats, ListsInUseAreSortedAndTheOthersEmpty) {
    for (const int i : definedFormats) {
        const PlateFormat& f = plateFormats[static_cast<std::size_t>(i)];
        for (int list = 0; list < allowedListCount; ++list) {
            const auto& chars = f.allowedChars[static_cast<std::size_t>(list)];
            const std::string text = listText(i, list);
            EXPECT_EQ(text.empty(), list >= f.listCount) << i << "/" << list;
            EXPECT_TRUE(std::is_sorted(chars.begin(), chars.begin() + text.size()));
            EXPECT_TRUE(std::all_of(chars.begin() + text.size(), chars.end(),
                                    [](std::uint8_t b) { return b == 0; }));
        }
    }
    EXPECT_EQ(listText(1, 0), "ABCDEFGHJKLMNPQRSTUVWXYZ");
    EXPECT_EQ(listText(2, 2), "0123456789ABCDEFGHJKLMNPQRSTUVWXYZ\xA3");
    EXPECT_EQ(listText(4, 2), "\xA5");
    EXPECT_EQ(listText(5, 2), "0123456789DF");
    EXPECT_EQ(listText(7, 2), "\xA4");
    EXPECT_EQ(listText(7, 3).size(), 31U);
}

TEST(BuildCandidates, CountsPerFormatAndList) {
    const struct {
        int format, list, count;
    } cases[] = {
        {1, 0, 59}, {1, 1, 84}, {1, 2, 35}, {2, 2, 85}, {2, 3, 35}, {4, 1, 25},
        {4, 2, 2},  {5, 1, 20}, {5, 2, 23}, {7, 2, 1},  {1, 3, 0}, // an empty list
    };
    for (const auto& c : cases) {
        EXPECT_EQ(candidates(c.format, c.list).size(), static_cast<std::size_t>(c.count))
            << "format " << c.format << " list " << c.list;
    }
}

TEST(BuildCandidates, LettersAndDigitsComeFirstInTableOrderThenProvinces) {
    const auto learner = candidates(2, 2);
    ASSERT_EQ(learner.size(), 85U);
    for (std::size_t i = 0; i < standardGlyphs.size(); ++i) {
        EXPECT_EQ(learner[i], &standardGlyphs[i]) << i;
    }
    EXPECT_EQ(learner.back()->code, learnerCode);
    EXPECT_TRUE(inTable(learner.back(), provinceGlyphs));

    const auto provinces = candidates(1, 2);
    for (const GlyphTemplate* glyph : provinces) {
        EXPECT_TRUE(inTable(glyph, provinceGlyphs));
        EXPECT_LE(glyph->code, lastProvinceCode);
    }
    EXPECT_TRUE(std::is_sorted(provinces.begin(), provinces.end()));
}

TEST(BuildCandidates, NewEnergyFormatDrawsOnItsOwnTable) {
    const auto list = candidates(5, 2);
    ASSERT_EQ(list.size(), 23U);
    for (const GlyphTemplate* glyph : list) {
        EXPECT_TRUE(inTable(glyph, newEnergyGlyphs));
        EXPECT_NE(std::string("0123456789DF").find(static_cast<char>(glyph->code)),
                  std::string::npos);
    }
    const auto dump = candidates(4, 2);
    ASSERT_EQ(dump.size(), 2U);
    EXPECT_EQ(dump[0]->code, dumpTruckCode);
    EXPECT_EQ(dump[1], dump[0] + 1);
}

TEST(BuildCandidates, IndicesOutsideTheTableGiveNoCandidates) {
    EXPECT_TRUE(candidates(-1, 0).empty());
    EXPECT_TRUE(candidates(plateFormatCount, 0).empty());
    EXPECT_TRUE(candidates(1, -1).empty());
    EXPECT_TRUE(candidates(1, allowedListCount).empty());
    EXPECT_TRUE(candidates(3, 0).empty());
}

TEST(BuildCandidates, StopsAtTheRoomGiven) {
    std::array<const GlyphTemplate*, 10> room{};
    EXPECT_EQ(buildCandidates(2, 2, room), 10);
    EXPECT_EQ(room[9], &standardGlyphs[9]);
}

} // namespace
