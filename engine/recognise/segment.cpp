#include "engine/recognise/segment.h"

#include "engine/recognise/classify.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace kavro {

namespace {

constexpr std::array<int, 11> probeOffsets{0, -4, 4, -8, 8, -12, 12, -16, 16, -20, 20};
constexpr int strokeThreshold = 128;
constexpr int probeRowMargin = 2;  // probe columns reach this far beyond the band
constexpr int windowRowMargin = 1; // the search window reaches this far beyond it
constexpr int shortEndRun = 4;     // end runs spanning fewer rows are dropped
constexpr int centreTolerance = 1; // boxes this close count as the same
constexpr int sizeTolerance = 2;
constexpr int confidentScore = 80;
constexpr int tallNumerator = 4; // boxes below 4/5 of the character height are not read
constexpr int tallDenominator = 5;
// A box narrower than a third of its height is a "1" or one stroke of a
// wider character; lists without "1" do not read it.
constexpr int strokeFraction = 3;
constexpr int wideFraction = 4; // wider than a character by a quarter: slide windows
constexpr int slideStep = 4;
constexpr int slideLimit = -4;
constexpr int slideGain = 3; // a window must beat the best score by more than this
constexpr int misplacedOneFraction = 4;
constexpr int misplacedOnePenalty = 10;
constexpr std::uint8_t digitOne = '1';

// The part of a box that decides whether it changed.
struct BoxShape {
    BoxPoint centre;
    int width;
    int height;
};

BoxShape shapeOf(const CharBox& box) {
    return {box.centre, box.width, box.height};
}

bool alike(const BoxShape& a, const BoxShape& b) {
    return std::abs(a.centre.x - b.centre.x) <= centreTolerance &&
           std::abs(a.centre.y - b.centre.y) <= centreTolerance &&
           std::abs(a.width - b.width) <= sizeTolerance &&
           std::abs(a.height - b.height) <= sizeTolerance;
}

std::int16_t clampedCoordinate(int value, int size) {
    return static_cast<std::int16_t>(std::max(0, std::min(value, size - 1)));
}

// The transitions of one probe column with short end runs dropped, and a
// mark for those already covered by a traced blob.
struct ProbeTransitions {
    ColumnTransitions rows{};
    int count = 0;
    std::array<bool, maxColumnTransitions> used{};

    void dropShortEndRuns() {
        if (count > 2 && rows[count - 1] - rows[count - 2] < shortEndRun) {
            count -= 2;
        }
        if (count > 2 && rows[1] - rows[0] < shortEndRun) {
            std::copy(rows.begin() + 2, rows.begin() + count, rows.begin());
            count -= 2;
        }
    }
    void markCrossings(std::span<const std::int32_t> crossings) {
        for (int i = 0; i < count; ++i) {
            if (std::find(crossings.begin(), crossings.end(), rows[i]) != crossings.end()) {
                used[i] = true;
            }
        }
    }
};

// Rows of a column taken 64 at a time, one bit each.
constexpr int columnBlockRows = 64;

std::uint64_t lowBits(int count) {
    return count >= columnBlockRows ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

// Bit k set when row first + k of column x is on; the rows lie inside the plane.
std::uint64_t columnBits(const BytePlane& plane, int x, int first, int count) {
    const std::uint8_t* pixel =
        plane.pixels.data() + static_cast<std::ptrdiff_t>(first) * plane.width + x;
    std::uint64_t on = 0;
    for (int k = 0; k < count; ++k, pixel += plane.width) {
        on |= static_cast<std::uint64_t>(*pixel > strokeThreshold) << k;
    }
    return on;
}

// Records the rows where `changes` has bits (row first + bit) as transitions
// after the n already recorded: a run's first row, or the row before it ends.
int recordChanges(std::uint64_t changes, int first, int n, ColumnTransitions& values) {
    for (; changes != 0 && n < maxColumnTransitions; changes &= changes - 1, ++n) {
        values[static_cast<std::size_t>(n)] = first + std::countr_zero(changes) - n % 2;
    }
    return n;
}

class PositionReader {
public:
    PositionReader(const BytePlane& plane, const PlateFormat& format, int position,
                   CharacterBand& band, OutlinePoints& points, CharBox& box,
                   std::span<const GlyphTemplate* const> candidates)
        : plane_(plane), format_(format), position_(position),
          centreX_(format.charCentreX[position]), band_(band), points_(points), box_(box),
          candidates_(candidates), oneRule_(format.fontSet == FontSet::standard && position > 0),
          window_(searchWindow()),
          oneAllowed_(std::any_of(candidates.begin(), candidates.end(),
                                  [](const GlyphTemplate* t) { return t->code == digitOne; })) {}

    CharMatch read() {
        box_ = CharBox{};
        for (const int offset : probeOffsets) {
            if (done_) {
                break;
            }
            probe(centreX_ + offset);
        }
        if (done_) {
            narrowBand();
        } else if (box_.width - format_.charWidth > format_.charWidth / wideFraction) {
            slideWindows();
        }
        penaliseMisplacedOne();
        return best_;
    }

private:
    // Columns charWidth either side of the expected centre, rows just beyond
    // the band, clipped to the plane.
    TraceRect searchWindow() const {
        return {clampedCoordinate(centreX_ - format_.charWidth, plane_.width),
                clampedCoordinate(centreX_ + format_.charWidth, plane_.width),
                clampedCoordinate(band_.top - windowRowMargin, plane_.height),
                clampedCoordinate(band_.bottom + windowRowMargin, plane_.height)};
    }

    void probe(int x) {
        ProbeTransitions transitions;
        transitions.count = columnRuns(plane_, x, band_.top - probeRowMargin,
                                       band_.bottom + probeRowMargin, transitions.rows);
        transitions.dropShortEndRuns();
        for (int i = 0; i < transitions.count && !done_; ++i) {
            if (transitions.used[i]) {
                continue;
            }
            ProbeColumn crossings{x};
            TraceRect rect{};
            const int count = traceBlob(x, transitions.rows[i], crossings, rect);
            if (count == 0) {
                // Nothing more to trace beside a "1" already read.
                if (position_ > 0 && lastMatch_ && lastMatch_->code == digitOne) {
                    done_ = true;
                }
                continue;
            }
            // Only the frame of a box is ever read here: its edges, centre and size.
            CharBox blob;
            measureOutlineFrame(rect, blob, std::span(points_).first(count));
            takeBlob(blob);
            transitions.markCrossings(crossings.rows());
        }
    }

    // Traces the blob through (x, y), keeping only its points inside the
    // search window. An outline that lies wholly inside the window is traced
    // the same with the window as limit as without it, so one limited trace
    // serves for both.
    int traceBlob(int x, int y, ProbeColumn& crossings, TraceRect& rect) {
        rect = window_;
        return traceOutline(plane_, strokeThreshold, &crossings, x, y, points_, rect, true);
    }

    void takeBlob(const CharBox& blob) {
        if (!haveBox_) {
            box_ = blob;
            haveBox_ = true;
            classify();
            return;
        }
        if (!alike(shapeOf(blob), shapeOf(box_))) {
            mergeBoxes(blob, box_);
        }
        if (!alike(shapeOf(box_), lastClassified_)) {
            classify();
        }
    }

    void classify() {
        lastClassified_ = shapeOf(box_);
        if (box_.height < (format_.charHeight * tallNumerator) / tallDenominator ||
            (!oneAllowed_ && isStroke())) {
            return;
        }
        const CharMatch match = classifyBox(plane_, box_.left.x, box_.top.y, box_.width,
                                            box_.height, candidates_, oneRule_);
        lastMatch_ = match;
        if (match.score > best_.score) {
            best_ = match;
        }
        if (match.score >= confidentScore) {
            done_ = true;
        }
    }

    bool isStroke() const { return box_.width * strokeFraction < box_.height; }

    void narrowBand() {
        if (box_.top.y > band_.top) {
            band_.top = box_.top.y - 1;
        }
        if (box_.bottom.y < band_.bottom) {
            band_.bottom = box_.bottom.y + 1;
        }
    }

    // A box much wider than a character (neighbours joined together) is read
    // again through windows of character width, right to left.
    void slideWindows() {
        const int excess = box_.width - format_.charWidth;
        for (int d = excess + slideStep; d >= slideLimit; d -= slideStep) {
            const CharMatch match =
                classifyBox(plane_, box_.left.x + d, box_.top.y, format_.charWidth, box_.height,
                            candidates_, oneRule_);
            if (match.score > best_.score + slideGain) {
                best_ = match;
            }
        }
    }

    void penaliseMisplacedOne() {
        if (best_.code == digitOne &&
            std::abs(box_.centre.x - centreX_) > format_.charWidth / misplacedOneFraction) {
            best_.score = static_cast<std::uint8_t>(std::max(best_.score - misplacedOnePenalty, 0));
        }
    }

    const BytePlane& plane_;
    const PlateFormat& format_;
    int position_;
    int centreX_;
    CharacterBand& band_;
    OutlinePoints& points_;
    CharBox& box_;
    std::span<const GlyphTemplate* const> candidates_;
    bool oneRule_;
    TraceRect window_;
    bool oneAllowed_;
    CharMatch best_{};
    std::optional<CharMatch> lastMatch_;
    BoxShape lastClassified_{};
    bool haveBox_ = false;
    bool done_ = false;
};

} // namespace

int columnRuns(const BytePlane& plane, int x, int firstRow, int lastRow,
               ColumnTransitions& values) {
    // Rows above and below the plane, like a column outside it, are background,
    // so transitions lie only within the plane's rows or just below them.
    const int firstInside = std::max(firstRow, 0);
    const int lastInside = std::min(lastRow, plane.height - 1);
    if (!plane.valid() || x < 0 || x >= plane.width || firstInside > lastInside) {
        return 0;
    }
    int n = 0;
    bool previous = false; // the row before: background
    for (int first = firstInside; first <= lastInside && n < maxColumnTransitions;
         first += columnBlockRows) {
        const int count = std::min(columnBlockRows, lastInside - first + 1);
        const std::uint64_t on = columnBits(plane, x, first, count);
        const std::uint64_t changes = (on ^ ((on << 1) | std::uint64_t{previous})) & lowBits(count);
        n = recordChanges(changes, first, n, values);
        previous = ((on >> (count - 1)) & 1) != 0;
    }
    if (previous && lastInside < lastRow && n < maxColumnTransitions) {
        values[static_cast<std::size_t>(n++)] = lastInside; // a run reaching the plane's last row
    }
    return n;
}

CharMatch segmentPosition(const BytePlane& plane, const PlateFormat& format, int position,
                          CharacterBand& band, OutlinePoints& points, CharBox& box,
                          std::span<const GlyphTemplate* const> candidates) {
    return PositionReader(plane, format, position, band, points, box, candidates).read();
}

} // namespace kavro
