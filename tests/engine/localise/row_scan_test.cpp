#include "engine/context/recognition_context.h"
#include "engine/localise/row_scan.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

using namespace kavro;

namespace {

constexpr std::uint8_t dark = 0;
constexpr std::uint8_t bright = 200;
constexpr int threshold = 100;

// A row that starts with `lead` dark pixels, then alternates bright and dark
// runs of the given lengths, padded with dark pixels to `width`.
std::vector<std::uint8_t> rowOf(int lead, const std::vector<int>& runs, int width = 512) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(lead), dark);
    bool on = true;
    for (const int run : runs) {
        row.insert(row.end(), static_cast<std::size_t>(run), on ? bright : dark);
        on = !on;
    }
    row.resize(static_cast<std::size_t>(width), dark);
    return row;
}

// Transitions of a row and the stretch they contain.
struct ScannedRow {
    std::vector<std::int32_t> list = std::vector<std::int32_t>(513);
    LabelRow record{};
    int entries = 0;
    bool stretch = false;

    explicit ScannedRow(const std::vector<std::uint8_t>& row) {
        record.row = list.data();
        entries = listTransitions(row, threshold, list);
        stretch = findCharacterStretch(record, entries, 7);
    }
};

TEST(ListTransitions, AlternatesDarkAndBrightAndClosesTheList) {
    const std::vector<std::uint8_t> row = {bright, dark, dark, bright, 99, 100, dark};
    std::vector<std::int32_t> list(8);
    ASSERT_EQ(listTransitions(row, threshold, list), 6);
    EXPECT_EQ(std::vector<std::int32_t>(list.begin(), list.begin() + 6),
              (std::vector<std::int32_t>{1, 3, 4, 5, 6, 6}));

    const std::vector<std::uint8_t> allBright(10, bright);
    EXPECT_EQ(listTransitions(allBright, threshold, list), 1);
    EXPECT_EQ(list[0], 9);
    const std::vector<std::uint8_t> allDark(10, dark);
    EXPECT_EQ(listTransitions(allDark, threshold, list), 2);
    EXPECT_EQ(list[0], 0);
    EXPECT_EQ(list[1], 9);
}

TEST(FindCharacterStretch, NeedsMoreThanTenBrightRuns) {
    const auto strokes = [](int count) {
        std::vector<int> runs;
        for (int i = 0; i < count; ++i) {
            runs.insert(runs.end(), {3, 4});
        }
        return runs;
    };
    const ScannedRow ten(rowOf(100, strokes(10)));
    EXPECT_FALSE(ten.stretch);
    EXPECT_EQ(ten.record.stretchRuns, 10);
    const ScannedRow eleven(rowOf(100, strokes(11)));
    EXPECT_TRUE(eleven.stretch);
    EXPECT_EQ(eleven.record.rowY, 7);
    EXPECT_EQ(eleven.record.transitionCount, eleven.entries);
    EXPECT_EQ(eleven.record.stretchRuns, 11);
    EXPECT_EQ(eleven.list[eleven.record.stretchFirst], 100);
    EXPECT_EQ(eleven.list[eleven.record.stretchLast], 100 + 10 * 7);
}

TEST(FindCharacterStretch, RunsOfFiftyPixelsKeepAStretchAndFiftyOneBreakIt) {
    // Six strokes, a long dark run, six more strokes.
    const auto split = [](int gap) {
        std::vector<int> runs;
        for (int i = 0; i < 12; ++i) {
            runs.insert(runs.end(), {3, i == 5 ? gap : 4});
        }
        return runs;
    };
    const ScannedRow fifty(rowOf(20, split(50)));
    EXPECT_TRUE(fifty.stretch);
    EXPECT_EQ(fifty.record.stretchRuns, 12);
    const ScannedRow fiftyOne(rowOf(20, split(51)));
    EXPECT_FALSE(fiftyOne.stretch);
    EXPECT_EQ(fiftyOne.record.stretchRuns, 6); // the earlier of two equal stretches
    EXPECT_EQ(fiftyOne.list[fiftyOne.record.stretchFirst], 20);
}

TEST(FindCharacterStretch, NoStretchWithoutDarkOrBrightPixels) {
    EXPECT_FALSE(ScannedRow(std::vector<std::uint8_t>(512, bright)).stretch);
    EXPECT_FALSE(ScannedRow(std::vector<std::uint8_t>(512, dark)).stretch);
}

// Samples with high chroma and the given hue.
std::vector<ColourSample> hues(std::uint8_t hue, int count) {
    return std::vector<ColourSample>(static_cast<std::size_t>(count), {120, 200, hue});
}

TEST(TallyColours, HueBoundaries) {
    const struct {
        std::uint8_t hue;
        int colour;
    } cases[] = {{26, -1},          {27, yellowClass}, {85, yellowClass}, {86, greenClass},
                 {126, greenClass}, {127, blueClass},  {255, blueClass}};
    for (const auto& c : cases) {
        const std::vector<ColourSample> sample = hues(c.hue, 1);
        ColourTally expected{};
        if (c.colour >= 0) {
            expected[static_cast<std::size_t>(c.colour)] = 1;
        }
        EXPECT_EQ(tallyColours(sample, 100, 100), expected) << int(c.hue);
    }
}

TEST(TallyColours, GreySamplesAreBlackOrWhiteByBrightness) {
    const std::vector<ColourSample> samples = {{101, 99, 200}, {100, 99, 200}, {101, 100, 200}};
    ColourTally expected{};
    expected[whiteClass] = 1;
    expected[blackClass] = 1;
    expected[blueClass] = 1;
    EXPECT_EQ(tallyColours(samples, 100, 100), expected);
}

// A white plate under warm light turns pale red: grey, white or black by its
// brightness. A saturated red (the police plate's 警) is not counted.
TEST(TallyColours, PaleRedIsGreyUnderWarmLight) {
    const std::vector<ColourSample> samples = {
        {200, 60, 15}, {80, 30, 20}, {200, 180, 15}, {200, 99, 26}, {200, 100, 26}};
    ColourTally expected{};
    expected[whiteClass] = 2;
    expected[blackClass] = 1;
    EXPECT_EQ(tallyColours(samples, 24, 100), expected);
}

ColourTally tally(std::initializer_list<std::pair<int, int>> counts) {
    ColourTally result{};
    for (const auto& [colour, count] : counts) {
        result[static_cast<std::size_t>(colour)] = count;
    }
    return result;
}

std::vector<int> formatsOf(const ColourTally& colours) {
    RowFormats formats{};
    const int count = formatsForTally(colours, formats);
    return {formats.begin(), formats.begin() + count};
}

TEST(FormatsForTally, LeadingClassBetweenSixAndSixteenAndSecondFromFour) {
    using V = std::vector<int>;
    EXPECT_EQ(formatsOf(tally({{blackClass, 16}, {blueClass, 4}})), V{1});
    EXPECT_EQ(formatsOf(tally({{blackClass, 17}, {blueClass, 4}})), V{});
    EXPECT_EQ(formatsOf(tally({{blackClass, 6}, {blueClass, 4}})), V{1});
    EXPECT_EQ(formatsOf(tally({{blackClass, 5}, {blueClass, 4}})), V{});
    EXPECT_EQ(formatsOf(tally({{blackClass, 10}, {blueClass, 3}})), V{});
}

TEST(FormatsForTally, SelectionTable) {
    using V = std::vector<int>;
    const struct {
        ColourTally colours;
        V formats;
    } cases[] = {
        {tally({{blackClass, 10}, {whiteClass, 5}}), V{7, 2, 1}},
        {tally({{blackClass, 10}, {yellowClass, 6}, {greenClass, 2}}), V{2, 1, 5}},
        {tally({{blackClass, 10}, {yellowClass, 6}, {blueClass, 2}}), V{2, 1, 4, 7}},
        {tally({{blackClass, 10}, {greenClass, 6}}), V{5}},
        {tally({{whiteClass, 10}, {blackClass, 6}}), V{7, 2, 1}},
        {tally({{whiteClass, 10}, {blueClass, 6}}), V{1}},
        {tally({{whiteClass, 10}, {yellowClass, 6}}), V{}},
        {tally({{greenClass, 10}, {whiteClass, 6}}), V{5}},
        {tally({{greenClass, 10}, {blueClass, 6}}), V{}},
        {tally({{blueClass, 10}, {blackClass, 6}}), V{1}},
        {tally({{blueClass, 10}, {whiteClass, 6}}), V{1}},
        {tally({{yellowClass, 10}, {blackClass, 6}}), V{2, 1, 4, 7}},
        {tally({{yellowClass, 10}, {whiteClass, 6}}), V{}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatsOf(c.colours), c.formats);
    }
}

// A row of eleven strokes of 3 pixels 7 apart from x = 100: the ten dark runs
// between them have their middles at x = 105, 112, ..., 168; the lead-in and the
// tail lie outside the stretch. `sample(k)` gives the hsv bytes at middle k.
template <typename Sample>
std::vector<int> formatsOfStrokes(Sample sample, FormatChoice choice = FormatChoice::byColour,
                                  bool* pale = nullptr) {
    RecognitionContext context;
    const std::vector<std::uint8_t> pixels(512 * 64 * 3, 0);
    context.prepareImage(pixels, 512, 64, false);
    constexpr int rowY = 10;
    std::vector<int> runs;
    for (int i = 0; i < 11; ++i) {
        runs.insert(runs.end(), {3, 4});
    }
    const std::vector<std::uint8_t> row = rowOf(100, runs);
    std::vector<std::int32_t> list(513);
    LabelRow record{};
    record.row = list.data();
    if (!findCharacterStretch(record, listTransitions(row, threshold, list), rowY)) {
        ADD_FAILURE() << "no stretch";
        return {};
    }
    std::uint8_t* hsv = context.hsvPlane.get() + rowY * 512 * 3;
    for (int k = 0; k < 10; ++k) {
        const ColourSample value = sample(k);
        const int x = 105 + 7 * k;
        hsv[3 * x] = value.brightness;
        hsv[3 * x + 1] = value.chroma;
        hsv[3 * x + 2] = value.hue;
    }
    RowFormats formats{};
    const int count = selectPlateFormats(context, record, formats, choice, pale);
    return {formats.begin(), formats.begin() + count};
}

TEST(SelectPlateFormats, SamplesTheMiddlesOfTheStretchsDarkRuns) {
    // Six blue plate samples and four dark (black) ones.
    const auto blueAndBlack = [](int k) {
        return k < 6 ? ColourSample{120, 150, 170} : ColourSample{20, 5, 0};
    };
    EXPECT_EQ(formatsOfStrokes(blueAndBlack), std::vector<int>{1});
}

// A white plate whose samples all lie between strokes: nearly grey, a few of
// them faintly tinted. None counts as coloured, so black and white choose the
// formats; before, the faintest tint was split off as a colour of its own.
TEST(SelectPlateFormats, NearlyGreySamplesAreBlackOrWhite) {
    const auto whitePlate = [](int k) {
        const std::uint8_t chroma = k % 3 == 0 ? 20 : 4;
        const std::uint8_t brightness = k < 6 ? 230 : 150;
        return ColourSample{brightness, chroma, 200};
    };
    EXPECT_EQ(formatsOfStrokes(whitePlate), (std::vector<int>{7, 2, 1}));
}

// Yellow plates under warm light lean to orange, under green night light to
// green: both still count as yellow.
TEST(SelectPlateFormats, OrangeAndGreenishYellowAreYellow) {
    for (const std::uint8_t hue : {30, 82}) {
        const auto yellowPlate = [hue](int k) {
            return k < 6 ? ColourSample{230, 160, hue} : ColourSample{40, 6, 16};
        };
        EXPECT_EQ(formatsOfStrokes(yellowPlate), (std::vector<int>{2, 1, 4, 7})) << int{hue};
    }
}

// Saturation is chroma in percent of brightness, the median of the samples that
// count as coloured at the threshold; grey ones and reds do not count.
TEST(PaleColours, MedianSaturationOfTheColouredSamplesBelowHalf) {
    using S = ColourSample;
    const struct {
        std::vector<ColourSample> samples;
        bool pale;
    } cases[] = {
        {{{200, 98, 190}, {200, 98, 190}, {200, 120, 190}}, true},   // 49 % blue: a tinted white
        {{{200, 100, 190}, {200, 100, 190}, {200, 60, 190}}, false}, // 50 %
        {{{168, 156, 172}, {90, 80, 172}}, false},                   // a blue plate, lit or dim
        {{{240, 40, 101}, {200, 110, 101}, {220, 60, 101}}, true},   // a new-energy gradient
        {{{240, 10, 190}, {30, 5, 0}}, false},                       // grey alone
        {{{200, 190, 15}, {200, 30, 190}}, true},                    // red is not counted
    };
    for (const auto& c : cases) {
        EXPECT_EQ(paleColours(c.samples, 24), c.pale) << c.samples.size();
    }
    EXPECT_EQ(paleColours(std::vector<S>{{200, 30, 190}}, 40), false); // below the threshold
}

// A white plate under blue light: its background reads as a pale blue. The
// colours choose the blue plate; the pale alternatives are the police and the
// new-energy plate. A saturated blue plate has no alternatives.
TEST(SelectPlateFormats, PaleColoursOfferThePalePlatesNotChosen) {
    const auto tinted = [](std::uint8_t chroma, std::uint8_t hue) {
        return [chroma, hue](int k) {
            return k < 6 ? ColourSample{220, chroma, hue} : ColourSample{40, 6, 0};
        };
    };
    using V = std::vector<int>;
    const struct {
        std::uint8_t chroma;
        std::uint8_t hue;
        V byColour;
        V alternatives;
    } cases[] = {
        {70, 180, V{1}, V{7, 5}},      // pale blue
        {200, 180, V{1}, V{}},         // blue
        {70, 100, V{5}, V{7}},         // pale green
        {70, 50, V{2, 1, 4, 7}, V{5}}, // pale yellow
        {200, 50, V{2, 1, 4, 7}, V{}}, // yellow
    };
    for (const auto& c : cases) {
        bool pale = false;
        EXPECT_EQ(formatsOfStrokes(tinted(c.chroma, c.hue), FormatChoice::byColour, &pale),
                  c.byColour);
        EXPECT_EQ(pale, !c.alternatives.empty()) << int{c.chroma} << " " << int{c.hue};
        EXPECT_EQ(formatsOfStrokes(tinted(c.chroma, c.hue), FormatChoice::paleAlternatives),
                  c.alternatives)
            << int{c.chroma} << " " << int{c.hue};
    }
}

} // namespace
