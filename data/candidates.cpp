#include "data/plate_formats.h"

#include <algorithm>

namespace kavro {

namespace {

using AllowedList = std::array<std::uint8_t, allowedListLength>;

// Length of a NUL-terminated list.
std::size_t listLength(const AllowedList& list) {
    return static_cast<std::size_t>(std::find(list.begin(), list.end(), 0) - list.begin());
}

// Appends every template of `table` whose code byte is in the sorted `allowed`
// bytes, in table order; returns the new count.
template <std::size_t N>
int appendAllowed(const std::array<GlyphTemplate, N>& table, std::span<const std::uint8_t> allowed,
                  std::span<const GlyphTemplate*> out, int count) {
    for (const GlyphTemplate& glyph : table) {
        const auto code = static_cast<std::uint8_t>(glyph.code & 0xFF);
        if (std::binary_search(allowed.begin(), allowed.end(), code) &&
            static_cast<std::size_t>(count) < out.size()) {
            out[static_cast<std::size_t>(count++)] = &glyph;
        }
    }
    return count;
}

} // namespace

int buildCandidates(int formatIndex, int listIndex, std::span<const GlyphTemplate*> out) {
    // Indices outside the table have no lists and hence no candidates.
    if (formatIndex < 0 || formatIndex >= plateFormatCount || listIndex < 0 ||
        listIndex >= allowedListCount) {
        return 0;
    }
    const PlateFormat& format = plateFormats[static_cast<std::size_t>(formatIndex)];
    const AllowedList& list = format.allowedChars[static_cast<std::size_t>(listIndex)];
    const std::span<const std::uint8_t> allowed(list.data(), listLength(list));
    int count = format.fontSet == FontSet::newEnergy
                    ? appendAllowed(newEnergyGlyphs, allowed, out, 0)
                    : appendAllowed(standardGlyphs, allowed, out, 0);
    return appendAllowed(provinceGlyphs, allowed, out, count);
}

} // namespace kavro
