#include "engine/localise/trace_memo.h"

#include "engine/localise/box_layout.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kavro {

namespace {

// Remembered starts: thresholds 0..255 and columns 0..511 of one row.
constexpr int thresholdLevels = 256;
constexpr int rememberedColumns = 512;
constexpr std::size_t slotCount = std::size_t{thresholdLevels} * rememberedColumns;

struct Remembered {
    bool character;
    CharBox box; // profiles left empty
};

// A slot belongs to the current row when its generation is the memo's.
struct Slot {
    std::uint32_t generation = 0;
    std::int32_t entry = 0;
};

class TraceMemo {
public:
    bool active = false;

    // Forgets everything remembered so far.
    void forget() {
        rowPixels_ = nullptr;
        entries_.clear();
        if (++generation_ == 0) { // after 2^32 rows every slot would look current
            std::fill(slots_.begin(), slots_.end(), Slot{});
            generation_ = 1;
        }
    }

    // The slot of a start in `plane`, row `y`; empty for starts it cannot hold.
    Slot* slotFor(const BytePlane& plane, int threshold, int x, int y) {
        if (threshold < 0 || threshold >= thresholdLevels || x < 0 || x >= rememberedColumns) {
            return nullptr;
        }
        if (plane.pixels.data() != rowPixels_ || plane.width != rowWidth_ || y != rowY_) {
            forget();
            rowPixels_ = plane.pixels.data();
            rowWidth_ = plane.width;
            rowY_ = y;
        }
        if (slots_.empty()) {
            slots_.resize(slotCount);
        }
        return &slots_[static_cast<std::size_t>(threshold) * rememberedColumns +
                       static_cast<std::size_t>(x)];
    }

    const Remembered* find(const Slot& slot) const {
        return slot.generation == generation_ ? &entries_[static_cast<std::size_t>(slot.entry)]
                                              : nullptr;
    }

    void remember(Slot& slot, bool character, const CharBox& box) {
        slot = {generation_, static_cast<std::int32_t>(entries_.size())};
        entries_.push_back({character, box});
        entries_.back().box.leftProfile.clear();
        entries_.back().box.rightProfile.clear();
    }

private:
    std::vector<Slot> slots_;
    std::vector<Remembered> entries_;
    std::uint32_t generation_ = 1;
    const std::uint8_t* rowPixels_ = nullptr;
    int rowWidth_ = 0;
    int rowY_ = 0;
};

thread_local TraceMemo memo;

// Traces the outline and measures it when its frame has a character's shape.
bool traceCharacter(const BytePlane& plane, int threshold, int x, int y, OutlinePoints& points,
                    CharBox& box) {
    TraceRect rect{};
    const int count = traceOutline(plane, threshold, nullptr, x, y, points, rect, false);
    if (count == 0) {
        return false;
    }
    measureRect(rect, box);
    if (!hasCharacterShape(box)) {
        return false;
    }
    measureOutline(rect, box, std::span(points).first(static_cast<std::size_t>(count)));
    return true;
}

// Copies a remembered box over `box`, keeping `box`'s own profiles.
void recall(const CharBox& remembered, CharBox& box) {
    auto left = std::move(box.leftProfile);
    auto right = std::move(box.rightProfile);
    box = remembered;
    box.leftProfile = std::move(left);
    box.rightProfile = std::move(right);
}

} // namespace

TraceMemoScope::TraceMemoScope() : wasActive_(memo.active) {
    memo.active = true;
    memo.forget();
}

TraceMemoScope::~TraceMemoScope() {
    memo.active = wasActive_;
    memo.forget();
}

bool traceCharacterOnce(const BytePlane& plane, int threshold, int x, int y, OutlinePoints& points,
                        CharBox& box) {
    Slot* slot = memo.active ? memo.slotFor(plane, threshold, x, y) : nullptr;
    if (slot == nullptr) {
        return traceCharacter(plane, threshold, x, y, points, box);
    }
    if (const Remembered* known = memo.find(*slot)) {
        if (known->character) {
            recall(known->box, box);
        }
        return known->character;
    }
    CharBox measured;
    const bool character = traceCharacter(plane, threshold, x, y, points, measured);
    memo.remember(*slot, character, measured);
    if (character) {
        recall(measured, box);
    }
    return character;
}

} // namespace kavro
