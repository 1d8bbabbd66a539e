#include "image/jpeg_quality.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace kavro {

namespace {

constexpr std::uint8_t markerStart = 0xFF;
constexpr std::uint8_t startOfImage = 0xD8;
constexpr std::uint8_t endOfImage = 0xD9;
constexpr std::uint8_t startOfScan = 0xDA;
constexpr std::uint8_t quantisationTables = 0xDB;
constexpr std::uint8_t firstRestart = 0xD0, lastRestart = 0xD7;
constexpr std::uint8_t temporary = 0x01;
constexpr std::size_t tableEntries = 64;
constexpr int luminanceTable = 0;
constexpr int maxQuality = 100;
constexpr int maxBaselineEntry = 255, maxEntry = 32767;

// The luminance table of the standard's example (quality 50), in any order:
// only its sum at each quality counts.
constexpr std::array<int, tableEntries> standardLuminance = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

// The sum of the standard table as libjpeg scales it for `quality`.
long scaledSum(int quality, int maxValue) {
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    long sum = 0;
    for (const int entry : standardLuminance) {
        sum += std::clamp((entry * scale + 50) / 100, 1, maxValue);
    }
    return sum;
}

// The quality whose scaled table sum is nearest, the higher one on a tie.
int qualityOfSum(long sum, int maxValue) {
    int best = maxQuality;
    long bestDistance = std::labs(scaledSum(best, maxValue) - sum);
    for (int quality = maxQuality - 1; quality >= 1; --quality) {
        const long distance = std::labs(scaledSum(quality, maxValue) - sum);
        if (distance < bestDistance) {
            best = quality;
            bestDistance = distance;
        }
    }
    return best;
}

// The quality of the luminance table among the tables of one DQT segment.
std::optional<int> luminanceQuality(std::span<const std::uint8_t> segment) {
    std::size_t at = 0;
    while (at < segment.size()) {
        const bool wide = (segment[at] >> 4) != 0; // 16-bit entries
        const int id = segment[at] & 0x0F;
        const std::size_t entryBytes = wide ? 2 : 1;
        const std::size_t end = at + 1 + tableEntries * entryBytes;
        if (end > segment.size()) {
            return std::nullopt;
        }
        if (id == luminanceTable) {
            long sum = 0;
            for (std::size_t i = at + 1; i < end; i += entryBytes) {
                sum += wide ? segment[i] << 8 | segment[i + 1] : segment[i];
            }
            return qualityOfSum(sum, wide ? maxEntry : maxBaselineEntry);
        }
        at = end;
    }
    return std::nullopt;
}

bool standsAlone(std::uint8_t marker) {
    return marker == temporary || (marker >= firstRestart && marker <= lastRestart);
}

} // namespace

std::optional<int> jpegQuality(std::span<const std::uint8_t> file) {
    if (file.size() < 2 || file[0] != markerStart || file[1] != startOfImage) {
        return std::nullopt;
    }
    std::size_t at = 2;
    while (at + 1 < file.size() && file[at] == markerStart) {
        const std::uint8_t marker = file[at + 1];
        if (marker == markerStart) { // fill byte
            ++at;
            continue;
        }
        if (marker == startOfScan || marker == endOfImage) {
            break;
        }
        if (standsAlone(marker)) {
            at += 2;
            continue;
        }
        if (at + 4 > file.size()) {
            break;
        }
        const std::size_t length = static_cast<std::size_t>(file[at + 2] << 8 | file[at + 3]);
        if (length < 2 || at + 2 + length > file.size()) {
            break;
        }
        if (marker == quantisationTables) {
            if (const std::optional<int> quality =
                    luminanceQuality(file.subspan(at + 4, length - 2))) {
                return quality;
            }
        }
        at += 2 + length;
    }
    return std::nullopt;
}

} // namespace kavro
