#include "engine/recognise/network_reader.h"

#include "data/plate_formats.h"
#include "engine/context/recognition_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace kavro;

namespace {

constexpr int plateBytes = plateWidth * plateHeight * 3;

bool allowedAt(const PlateFormat& format, int position, std::uint8_t code) {
    const auto& list = format.allowedChars[static_cast<std::size_t>(
        format.charList[static_cast<std::size_t>(position)])];
    return code != 0 && std::find(list.begin(), list.end(), code) != list.end();
}

// A plate of one flat colour holds no character: the reading gives up after
// the first position it reads (the middle one) when that scores too low, and
// reads every position, each with a character its list allows, when nothing is
// too low.
TEST(NetworkReader, GivesUpOnAPlateWithoutCharacters) {
    RecognitionContext context;
    std::memset(context.plateImages[0].get(), 120, plateBytes);
    for (const int formatIndex : {1, 2, 4, 5, 7}) {
        SCOPED_TRACE(formatIndex);
        const PlateFormat& format = plateFormats[static_cast<std::size_t>(formatIndex)];
        const PlateReading given = readWithNetwork(context, formatIndex, 0, &networkLimits);
        EXPECT_LT(given[3].score, networkLimits.lowest);
        for (int p = 0; p < format.charCount; ++p) {
            if (p != 3) {
                EXPECT_EQ(given[static_cast<std::size_t>(p)].code, 0) << p;
            }
        }
        const PlateReading whole = readWithNetwork(context, formatIndex, 0, nullptr);
        for (int p = 0; p < format.charCount; ++p) {
            EXPECT_TRUE(allowedAt(format, p, whole[static_cast<std::size_t>(p)].code)) << p;
        }
    }
}

TEST(PlateScore, CountsNeitherTheProvinceNorThePoliceMark) {
    EXPECT_FALSE(countsForScore(0, 7, 1));
    EXPECT_TRUE(countsForScore(1, 7, 1));
    EXPECT_TRUE(countsForScore(6, 7, 1));
    EXPECT_FALSE(countsForScore(7, 7, 1));
    EXPECT_TRUE(countsForScore(7, 8, 5));
    EXPECT_TRUE(countsForScore(5, 7, 7));
    EXPECT_FALSE(countsForScore(6, 7, 7));
}

} // namespace
