#include "tools/glyphgen/evaluation.h"

#include "data/character_codes.h"
#include "data/plate_formats.h"

#include <QFont>

#include <algorithm>
#include <iomanip>
#include <map>
#include <string>

using namespace kavro;

namespace {

constexpr int blueFormat = 1;
constexpr int closestPairsShown = 6;
constexpr std::uint8_t digitOne = '1';

bool allowedAt(std::uint8_t code, int position) {
    const PlateFormat& format = plateFormats[blueFormat];
    const auto& list = format.allowedChars[static_cast<std::size_t>(
        format.charList[static_cast<std::size_t>(position)])];
    return std::find(list.begin(), list.end(), code) != list.end();
}

// The code that classification reads for a sample among the templates of
// `tables` allowed at its position: ranked by distance (stable), with the rule
// that a narrow box is a "1" and a wide one never is.
std::uint8_t readSample(const CharacterSample& sample,
                        const std::vector<const GeneratedTable*>& tables, bool oneRule) {
    std::vector<std::pair<int, std::uint8_t>> ranking;
    for (const GeneratedTable* table : tables) {
        for (const GeneratedGlyph& glyph : table->glyphs) {
            if (allowedAt(glyph.code, sample.position)) {
                ranking.emplace_back(hammingDistance(glyph.rows, sample.rows), glyph.code);
            }
        }
    }
    if (ranking.empty()) {
        return 0;
    }
    std::stable_sort(ranking.begin(), ranking.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (!oneRule) {
        return ranking.front().second;
    }
    if (sample.box.width <= sample.box.height / 4) {
        return digitOne;
    }
    for (const auto& [distance, code] : ranking) {
        if (code != digitOne) {
            return code;
        }
    }
    return digitOne;
}

struct Tally {
    int right = 0;
    int total = 0;
    std::map<std::uint8_t, int> misreadAs;
};

std::string percent(int right, int total) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << (total ? 100.0 * right / total : 0.0) << " %";
    return text.str();
}

using SampleFilter = bool (*)(const CharacterSample&);

// Reads the samples that pass `filter`; prints the overall rate and,
// when `detailed`, one line per character.
void printReading(const std::string& title, const std::vector<CharacterSample>& samples,
                  const std::vector<const GeneratedTable*>& tables, bool oneRule,
                  SampleFilter filter, bool detailed, std::ostream& out) {
    std::map<std::uint8_t, Tally> tallies;
    Tally overall;
    for (const CharacterSample& sample : samples) {
        if (!filter(sample)) {
            continue;
        }
        const std::uint8_t read = readSample(sample, tables, oneRule);
        Tally& tally = tallies[sample.code];
        ++tally.total;
        ++overall.total;
        if (read == sample.code) {
            ++tally.right;
            ++overall.right;
        } else {
            ++tally.misreadAs[read];
        }
    }
    out << title << ": " << overall.right << " of " << overall.total << " right ("
        << percent(overall.right, overall.total) << ")\n";
    if (!detailed) {
        return;
    }
    for (const auto& [code, tally] : tallies) {
        out << "  " << displayCharacter(code) << " " << tally.right << "/" << tally.total;
        for (const auto& [read, count] : tally.misreadAs) {
            out << "  as " << displayCharacter(read) << " x" << count;
        }
        out << '\n';
    }
}

bool isLetterOrDigit(const CharacterSample& sample) {
    return sample.position > 0;
}
bool isProvince(const CharacterSample& sample) {
    return sample.position == 0;
}
bool isRareProvince(const CharacterSample& sample) {
    return sample.position == 0 && sample.code != 0x8B;
}

// Chinese faces measured against each other, every variant from the one face.
std::vector<std::vector<FontFace>> chineseAlternatives() {
    std::vector<std::vector<FontFace>> alternatives;
    for (const char* family : {"Noto Sans CJK SC", "Noto Serif CJK SC"}) {
        for (const int weight : {int(QFont::Normal), int(QFont::Bold)}) {
            alternatives.push_back({{family, weight, QFont::Unstretched, 0}});
        }
    }
    for (const int thicken : {2, 4, 6, 8, 12}) {
        alternatives.push_back({{"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, thicken}});
    }
    for (const int stretch : {75, 62, 50}) {
        for (const int thicken : {4, 8}) {
            alternatives.push_back({{"Noto Sans CJK SC", QFont::Bold, stretch, thicken}});
        }
    }
    // Plate characters are drawn in a tall box with even strokes; stretched to
    // the grid, a square glyph's vertical strokes come out too thin for that.
    for (const int thicken : {0, 2, 4}) {
        for (const int widen : {4, 8, 12}) {
            alternatives.push_back(
                {{"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, thicken, widen}});
        }
    }
    alternatives.push_back(chineseFaces());
    return alternatives;
}

std::string facesLabel(const std::vector<FontFace>& faces) {
    std::string label;
    for (const FontFace& face : faces) {
        label += (label.empty() ? "" : " / ") + faceLabel(face).toStdString();
    }
    return label;
}

} // namespace

bool isHeldOutPlate(int plateIndex) {
    return plateIndex % heldOutEvery == 0;
}

HeldOutSplit splitHeldOut(const std::vector<CharacterSample>& samples) {
    HeldOutSplit split;
    for (const CharacterSample& sample : samples) {
        if (isHeldOutPlate(sample.plate)) {
            split.test.push_back(sample);
        } else {
            split.training[sample.code].push_back(sample.rows);
        }
    }
    return split;
}

void printEvaluation(const std::vector<CharacterSample>& test, const SamplesByCode& training,
                     std::ostream& out) {
    const std::vector<GeneratedTable> learned = buildTables(training, chineseFaces());
    const std::vector<GeneratedTable> fonts = buildTables({}, chineseFaces());
    printReading("letters and digits, standardGlyphs, learned", test, {&learned[0]}, true,
                 isLetterOrDigit, true, out);
    printReading("letters and digits, standardGlyphs, fonts only", test, {&fonts[0]}, true,
                 isLetterOrDigit, false, out);
    printReading("letters and digits, newEnergyGlyphs, learned", test, {&learned[1]}, false,
                 isLetterOrDigit, false, out);
    printReading("letters and digits, newEnergyGlyphs, fonts only", test, {&fonts[1]}, false,
                 isLetterOrDigit, false, out);
    printReading("province characters, provinceGlyphs", test, {&learned[2]}, false, isProvince,
                 true, out);
    out << "Chinese faces (皖 learned where the training samples allow; the rest rendered):\n";
    for (const std::vector<FontFace>& faces : chineseAlternatives()) {
        const GeneratedTable table = provinceTable(training, faces);
        printReading("  " + facesLabel(faces) + ", all", test, {&table}, false, isProvince, false,
                     out);
        printReading("  " + facesLabel(faces) + ", not 皖", test, {&table}, false, isRareProvince,
                     false, out);
    }
}

void printClosestPairs(const std::vector<GeneratedTable>& tables, std::ostream& out) {
    for (const GeneratedTable& table : tables) {
        std::vector<std::tuple<int, std::size_t, std::size_t>> pairs;
        for (std::size_t i = 0; i < table.glyphs.size(); ++i) {
            for (std::size_t j = i + 1; j < table.glyphs.size(); ++j) {
                if (table.glyphs[i].code != table.glyphs[j].code) {
                    pairs.emplace_back(hammingDistance(table.glyphs[i].rows, table.glyphs[j].rows),
                                       i, j);
                }
            }
        }
        std::sort(pairs.begin(), pairs.end());
        out << table.name << " closest pairs:";
        for (std::size_t k = 0; k < pairs.size() && k < closestPairsShown; ++k) {
            const auto& [distance, i, j] = pairs[k];
            out << "  " << displayCharacter(table.glyphs[i].code) << "[" << i << "]-"
                << displayCharacter(table.glyphs[j].code) << "[" << j << "] " << distance;
        }
        out << '\n';
    }
}

void printSources(const std::vector<GeneratedTable>& tables, std::ostream& out) {
    for (const GeneratedTable& table : tables) {
        std::map<std::string, std::string> characters;
        for (const GeneratedGlyph& glyph : table.glyphs) {
            const std::string kind = glyph.source.substr(0, glyph.source.find(' '));
            characters[kind] += displayCharacter(glyph.code);
        }
        out << table.name << ":";
        for (const auto& [kind, text] : characters) {
            out << "  " << kind << " " << text;
        }
        out << '\n';
    }
}
