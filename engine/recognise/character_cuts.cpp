#include "engine/recognise/character_cuts.h"

#include "engine/context/recognition_context.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace kavro {

namespace {

constexpr int perMille = 1000;
constexpr int strokeLevel = 128;
constexpr int firstRow = 1; // the plate's outermost rows and columns are not looked at
constexpr int minScale = 880, maxScale = 1120, scaleStep = 20;
constexpr int maxShift = 30;
constexpr int maxSlant = 300, slantStep = 100; // columns per 1000 rows
constexpr int bandPercent = 15; // rows leading by less than this share of the best one end the band
constexpr int bandDipDivisor = 8; // of the character height: the longest dip a band spans
constexpr int subSamples = 2;     // per input pixel and direction

int scaled(int value, int scalePerMille) {
    const int product = value * scalePerMille;
    return (product + (product >= 0 ? perMille / 2 : -perMille / 2)) / perMille;
}

// Columns a slanted column has moved at row y, from the plate's middle row.
int slantOffset(int slantPerMille, int y) {
    return scaled(y - plateHeight / 2, slantPerMille);
}

constexpr int shiftCount = 2 * maxShift + 1;
using ShiftScores = std::array<int, shiftCount>; // by shift + maxShift

// Stroke pixels per column in each block of rowBlock rows (rows firstRow on;
// the last block may be shorter): what every slant's column sums are added from.
class BlockColumns {
public:
    static constexpr int rowBlock = 4;

    explicit BlockColumns(const BytePlane& binary)
        : width_(binary.width), blocks_((binary.height - 2 * firstRow + rowBlock - 1) / rowBlock),
          counts_(static_cast<std::size_t>(blocks_) * static_cast<std::size_t>(width_)) {
        for (int y = firstRow; y < binary.height - firstRow; ++y) {
            const std::uint8_t* __restrict row =
                binary.pixels.data() + static_cast<std::ptrdiff_t>(y) * binary.width;
            std::uint8_t* __restrict block = counts_.data() + blockOf(y) * width_;
            for (int x = 0; x < width_; ++x) {
                block[x] += row[x] >= strokeLevel;
            }
        }
    }
    int width() const { return width_; }
    int blocks() const { return blocks_; }
    const std::uint8_t* block(int b) const { return counts_.data() + b * width_; }
    // The row a block's slant offset is taken at.
    static int middleRow(int b) { return firstRow + b * rowBlock + rowBlock / 2; }

private:
    static int blockOf(int y) { return (y - firstRow) / rowBlock; }

    int width_;
    int blocks_;
    std::vector<std::uint8_t> counts_;
};

// Stroke pixels per slanted column (column x at the middle row, x plus the
// slant's offset at other rows, taken per block of rows), summed from the left:
// sum(x) counts columns 0 .. x - 1. The sums run on for `margin` columns beyond
// either side of the plane, so that every cell of every layout tried reads them
// unclipped.
class ColumnSums {
public:
    static constexpr int margin = 2 * plateWidth / 5;

    ColumnSums(const BlockColumns& columns, int slantPerMille)
        : width_(columns.width()),
          sums_(static_cast<std::size_t>(columns.width() + 1 + 2 * margin)) {
        std::vector<int> counts(static_cast<std::size_t>(width_));
        for (int b = 0; b < columns.blocks(); ++b) {
            const int offset = slantOffset(slantPerMille, BlockColumns::middleRow(b));
            const std::uint8_t* __restrict block = columns.block(b);
            int* __restrict sum = counts.data();
            const int first = std::max(0, -offset);
            const int last = std::min(width_, width_ - offset);
            for (int x = first; x < last; ++x) {
                sum[x] += block[x + offset];
            }
        }
        int total = 0;
        for (std::size_t i = 0; i < sums_.size(); ++i) {
            sums_[i] = total;
            const int x = static_cast<int>(i) - margin;
            if (x >= 0 && x < width_) {
                total += counts[static_cast<std::size_t>(x)];
            }
        }
    }

    // scores[s] += weight * (stroke pixels of columns left .. right - 1, moved by
    // shift s), for every shift; nothing when the columns are none.
    void addBetween(int left, int right, int weight, ShiftScores& scores) const {
        if (right <= left) {
            return;
        }
        left = std::clamp(left, maxShift - margin, width_ + margin - maxShift);
        right = std::clamp(right, maxShift - margin, width_ + margin - maxShift);
        const int* low = sums_.data() + margin + left - maxShift;
        const int* high = sums_.data() + margin + right - maxShift;
        for (int s = 0; s < shiftCount; ++s) {
            scores[static_cast<std::size_t>(s)] += weight * (high[s] - low[s]);
        }
    }
    bool empty() const { return sums_.back() == 0; }

private:
    int width_;
    std::vector<int> sums_;
};

// The cells of a layout before its shift: their left columns and width.
struct Cells {
    std::array<int, maxPlateChars> left{};
    int width = 0;
};

Cells cellsOf(const PlateFormat& format, const PlateLayout& unshifted) {
    Cells cells;
    cells.width = unshifted.charWidth(format);
    for (int p = 0; p < format.charCount; ++p) {
        cells.left[static_cast<std::size_t>(p)] = unshifted.centre(format, p) - cells.width / 2;
    }
    return cells;
}

// The score of the cells under every shift: stroke pixels inside the cells less
// gapPenalty times those between them.
ShiftScores layoutScores(const ColumnSums& sums, const Cells& cells, int charCount) {
    ShiftScores scores{};
    for (int p = 0; p < charCount; ++p) {
        const int left = cells.left[static_cast<std::size_t>(p)];
        sums.addBetween(left, left + cells.width, 1, scores);
        if (p + 1 < charCount) {
            sums.addBetween(left + cells.width, cells.left[static_cast<std::size_t>(p) + 1],
                            -gapPenalty, scores);
        }
    }
    return scores;
}

// Stroke pixels of row y of `binary` in columns left .. right - 1.
int rowStrokes(const BytePlane& binary, int y, int left, int right) {
    left = std::max(left, 0);
    right = std::min(right, binary.width);
    const std::uint8_t* row = binary.pixels.data() + static_cast<std::ptrdiff_t>(y) * binary.width;
    int count = 0;
    for (int x = left; x < right; ++x) {
        count += row[x] >= strokeLevel;
    }
    return count;
}

struct RowRun {
    int first = 0;
    int last = -1; // inclusive
    int length() const { return last - first + 1; }
};

// The runs of rows marked as text.
std::vector<RowRun> textRuns(const std::vector<bool>& text) {
    std::vector<RowRun> runs;
    for (int y = 0; y < static_cast<int>(text.size()); ++y) {
        if (!text[static_cast<std::size_t>(y)]) {
            continue;
        }
        if (runs.empty() || runs.back().last != y - 1) {
            runs.push_back({y, y});
        } else {
            runs.back().last = y;
        }
    }
    return runs;
}

// The longest run of text rows, two runs of at least `dip` rows each joined
// over a dip of at most `dip` rows between them (where every character narrows
// at once, as the waists of 8s or 9s in a row do); shorter runs beside a dip
// are specks of a frame or a bolt. Empty when no row is text.
RowRun longestBand(const std::vector<bool>& text, int dip) {
    RowRun longest;
    RowRun band;
    for (const RowRun& run : textRuns(text)) {
        const bool joins =
            band.length() >= dip && run.length() >= dip && run.first - band.last - 1 <= dip;
        band = joins ? RowRun{band.first, run.last} : run;
        longest = band.length() > longest.length() ? band : longest;
    }
    return longest;
}

// The longest band of text rows: rows whose stroke density inside the cells
// exceeds that in the gaps between them by bandPercent of the best row's lead.
// A frame line or a border crosses the gaps as densely as the cells; a
// character row leaves the gaps empty.
void fitBand(const BytePlane& binary, const PlateFormat& format, PlateLayout& layout) {
    const int width = layout.charWidth(format);
    std::vector<int> leads(static_cast<std::size_t>(binary.height));
    for (int y = firstRow; y < binary.height - firstRow; ++y) {
        const int offset = slantOffset(layout.slantPerMille, y);
        int inside = 0;
        int insideColumns = 0;
        int gaps = 0;
        int gapColumns = 0;
        for (int p = 0; p < format.charCount; ++p) {
            const int left = layout.centre(format, p) - width / 2 + offset;
            inside += rowStrokes(binary, y, left, left + width);
            insideColumns += width;
            if (p + 1 < format.charCount) {
                const int next = layout.centre(format, p + 1) - width / 2 + offset;
                gaps += rowStrokes(binary, y, left + width, next);
                gapColumns += std::max(next - left - width, 0);
            }
        }
        // inside / insideColumns - gaps / gapColumns, scaled by insideColumns.
        leads[static_cast<std::size_t>(y)] =
            inside - (gapColumns > 0 ? gaps * insideColumns / gapColumns : 0);
    }
    const int best = *std::max_element(leads.begin(), leads.end());
    std::vector<bool> text;
    for (const int lead : leads) {
        text.push_back(best > 0 && lead * 100 >= best * bandPercent);
    }
    const RowRun band = longestBand(text, format.charHeight / bandDipDivisor);
    if (band.length() > 0) {
        layout.top = band.first;
        layout.bottom = band.last;
    }
}

// Bilinear reading between pixel centres at whole coordinates; positions
// outside the plane read its edge.
struct Axis {
    int first;
    int second;
    float fraction;
};

Axis axisAt(float position, int size) {
    position = std::clamp(position, 0.0f, static_cast<float>(size - 1));
    const int first = static_cast<int>(position);
    return {first, std::min(first + 1, size - 1), position - static_cast<float>(first)};
}

void standardise(CharNetInput& input) {
    float sum = 0;
    for (const float v : input) {
        sum += v;
    }
    const float mean = sum / static_cast<float>(input.size());
    float squares = 0;
    for (const float v : input) {
        squares += (v - mean) * (v - mean);
    }
    const float deviation =
        std::max(std::sqrt(squares / static_cast<float>(input.size())), char_net::stdFloor);
    for (float& v : input) {
        v = (v - mean) / deviation;
    }
}

// Sums of the grey values in a row's windows of 2 * strokeRadius + 1 columns
// (clipped to the plane), and the number of columns in each window.
void windowSums(const std::uint8_t* row, int width, int* sums) {
    int sum = 0;
    for (int x = 0; x < std::min(strokeRadius, width); ++x) {
        sum += row[x];
    }
    for (int x = 0; x < width; ++x) {
        if (x + strokeRadius < width) {
            sum += row[x + strokeRadius];
        }
        if (x - strokeRadius - 1 >= 0) {
            sum -= row[x - strokeRadius - 1];
        }
        sums[x] = sum;
    }
}

int windowLength(int i, int size) {
    return std::min(i + strokeRadius + 1, size) - std::max(i - strokeRadius, 0);
}

} // namespace

void markStrokes(const BytePlane& grey, std::span<std::uint8_t> strokes) {
    const int width = grey.width;
    const auto rowOf = [&](int y) {
        return grey.pixels.data() + static_cast<std::ptrdiff_t>(y) * width;
    };
    // Row window sums of every row, then the square's sums row by row: the rows
    // entering and leaving the square are added and taken away.
    std::vector<int> rowSums(static_cast<std::size_t>(width) *
                             static_cast<std::size_t>(grey.height));
    for (int y = 0; y < grey.height; ++y) {
        windowSums(rowOf(y), width, rowSums.data() + static_cast<std::ptrdiff_t>(y) * width);
    }
    std::vector<int> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        columns[static_cast<std::size_t>(x)] = windowLength(x, width);
    }
    std::vector<int> square(static_cast<std::size_t>(width));
    for (int y = 0; y < std::min(strokeRadius, grey.height); ++y) {
        for (int x = 0; x < width; ++x) {
            square[static_cast<std::size_t>(x)] += rowSums[static_cast<std::size_t>(y * width + x)];
        }
    }
    for (int y = 0; y < grey.height; ++y) {
        const int entering = y + strokeRadius;
        const int leaving = y - strokeRadius - 1;
        int* __restrict sum = square.data();
        if (entering < grey.height) {
            const int* __restrict added =
                rowSums.data() + static_cast<std::ptrdiff_t>(entering) * width;
            for (int x = 0; x < width; ++x) {
                sum[x] += added[x];
            }
        }
        if (leaving >= 0) {
            const int* __restrict removed =
                rowSums.data() + static_cast<std::ptrdiff_t>(leaving) * width;
            for (int x = 0; x < width; ++x) {
                sum[x] -= removed[x];
            }
        }
        // value - mean > margin, in whole numbers: value * area - sum > margin * area.
        const int rows = windowLength(y, grey.height);
        const std::uint8_t* __restrict row = rowOf(y);
        std::uint8_t* __restrict out = strokes.data() + static_cast<std::ptrdiff_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const int area = rows * columns[static_cast<std::size_t>(x)];
            out[x] = (row[x] - strokeMargin) * area > sum[x] ? 255 : 0;
        }
    }
}

int PlateLayout::centre(const PlateFormat& format, int position) const {
    constexpr int middle = plateWidth / 2;
    return middle +
           scaled(format.charCentreX[static_cast<std::size_t>(position)] - middle, scalePerMille) +
           shift;
}

int PlateLayout::charWidth(const PlateFormat& format) const {
    return scaled(format.charWidth, scalePerMille);
}

PlateLayout fitLayout(const BytePlane& binary, const PlateFormat& format) {
    // The format's own layout, upright, wins ties: it is scored first and only a
    // better score replaces it.
    const BlockColumns columns(binary);
    PlateLayout best{};
    best.score = layoutScores(ColumnSums(columns, 0), cellsOf(format, best),
                              format.charCount)[static_cast<std::size_t>(maxShift)];
    bool anyStroke = false;
    for (int slant = -maxSlant; slant <= maxSlant; slant += slantStep) {
        const ColumnSums sums(columns, slant);
        anyStroke = anyStroke || !sums.empty();
        for (int scale = minScale; scale <= maxScale; scale += scaleStep) {
            const ShiftScores scores =
                layoutScores(sums, cellsOf(format, PlateLayout{0, scale}), format.charCount);
            for (int s = 0; s < shiftCount; ++s) {
                if (scores[static_cast<std::size_t>(s)] > best.score) {
                    best = PlateLayout{
                        s - maxShift, scale, slant, 0, 0, scores[static_cast<std::size_t>(s)]};
                }
            }
        }
    }
    best.top = (binary.height - format.charHeight) / 2;
    best.bottom = best.top + format.charHeight - 1;
    if (anyStroke) {
        fitBand(binary, format, best);
    }
    return best;
}

CharacterCut layoutCut(const PlateLayout& layout, const PlateFormat& format, int position,
                       float offset) {
    CharacterCut cut;
    cut.centreY = static_cast<float>(layout.top + layout.bottom + 1) / 2;
    cut.slant = static_cast<float>(layout.slantPerMille) / perMille;
    // The layout's centres lie on the middle row; the cut's centre row is the band's.
    const float middle = plateHeight / 2.0f + 0.5f;
    cut.centreX = static_cast<float>(layout.centre(format, position)) + 0.5f + offset +
                  cut.slant * (cut.centreY - middle);
    cut.width = static_cast<float>(layout.charWidth(format));
    cut.height = static_cast<float>(layout.bottom - layout.top + 1);
    return cut;
}

CharNetInput sampleCut(const BytePlane& grey, const CharacterCut& cut) {
    using namespace char_net;
    constexpr int columnCount = inputWidth * subSamples;
    constexpr float subStep = 1.0f / subSamples;
    const float stepX = cut.width / boxWidth; // plate pixels per input pixel
    const float stepY = cut.height / boxHeight;
    // The sample columns of a row whose slant moves it by `shift` pixels.
    std::array<Axis, columnCount> columns{};
    const auto placeColumns = [&](float shift) {
        for (int i = 0; i < columnCount; ++i) {
            const float u = ((static_cast<float>(i) + 0.5f) * subStep - inputWidth / 2.0f) * stepX;
            columns[static_cast<std::size_t>(i)] =
                axisAt(cut.centreX + shift + u - 0.5f, grey.width);
        }
    };
    placeColumns(0);
    CharNetInput input{};
    for (int j = 0; j < inputHeight * subSamples; ++j) {
        const float v = ((static_cast<float>(j) + 0.5f) * subStep - inputHeight / 2.0f) * stepY;
        if (cut.slant != 0) {
            placeColumns(cut.slant * v);
        }
        const Axis y = axisAt(cut.centreY + v - 0.5f, grey.height);
        const std::uint8_t* upper =
            grey.pixels.data() + static_cast<std::ptrdiff_t>(y.first) * grey.width;
        const std::uint8_t* lower =
            grey.pixels.data() + static_cast<std::ptrdiff_t>(y.second) * grey.width;
        float* out = input.data() + (j / subSamples) * inputWidth;
        for (int i = 0; i < columnCount; ++i) {
            const Axis& x = columns[static_cast<std::size_t>(i)];
            const float top =
                upper[x.first] + x.fraction * static_cast<float>(upper[x.second] - upper[x.first]);
            const float bottom =
                lower[x.first] + x.fraction * static_cast<float>(lower[x.second] - lower[x.first]);
            out[i / subSamples] += top + y.fraction * (bottom - top);
        }
    }
    for (float& value : input) {
        value /= subSamples * subSamples;
    }
    standardise(input);
    return input;
}

} // namespace kavro
