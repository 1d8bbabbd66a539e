#include "tools/glyphgen/table_layout.h"

#include "data/character_codes.h"

#include <numeric>
#include <string_view>

using namespace kavro;

namespace {

constexpr std::string_view plateLetters = "ABCDEFGHJKLMNPQRSTUVWXYZ";
constexpr std::string_view plateDigits = "0123456789";

// One entry per character of `characters`, each with the given variant counts.
std::vector<TableEntry> entriesOf(std::string_view characters, const std::vector<int>& variants) {
    std::vector<TableEntry> entries;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        entries.push_back({static_cast<std::uint8_t>(characters[i]), variants[i]});
    }
    return entries;
}

} // namespace

int TableLayout::recordCount() const {
    return std::accumulate(entries.begin(), entries.end(), 0,
                           [](int sum, const TableEntry& e) { return sum + e.variants; });
}

TableLayout standardLayout() {
    // A B C D E F G H J K L M N P Q R S T U V W X Y Z
    std::vector<TableEntry> entries = entriesOf(
        plateLetters, {3, 3, 3, 3, 3, 2, 3, 2, 3, 2, 2, 2, 2, 2, 3, 2, 2, 2, 2, 2, 2, 2, 5, 2});
    // 0 1 2 3 4 5 6 7 8 9
    const std::vector<TableEntry> digits = entriesOf(plateDigits, {3, 2, 2, 3, 3, 3, 2, 2, 3, 2});
    entries.insert(entries.end(), digits.begin(), digits.end());
    return {"standardGlyphs", entries};
}

TableLayout newEnergyLayout() {
    std::vector<TableEntry> entries = entriesOf(
        plateLetters, {2, 1, 1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    const std::vector<TableEntry> digits = entriesOf(plateDigits, std::vector<int>(10, 2));
    entries.insert(entries.end(), digits.begin(), digits.end());
    return {"newEnergyGlyphs", entries};
}

TableLayout provinceLayout() {
    constexpr std::uint8_t su = 0x89;    // 苏
    constexpr std::uint8_t yu = 0x8F;    // 豫
    constexpr std::uint8_t chuan = 0x96; // 川
    std::vector<TableEntry> entries;
    for (int code = firstChineseCode; code <= lastChineseCode; ++code) {
        int variants = 1;
        if (code == su) {
            variants = 3;
        } else if (code == yu || code == chuan || code == dumpTruckCode) {
            variants = 2;
        }
        entries.push_back({static_cast<std::uint8_t>(code), variants});
    }
    return {"provinceGlyphs", entries};
}
