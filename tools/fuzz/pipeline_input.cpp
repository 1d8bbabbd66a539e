#include "pipeline_input.h"

#include <cstddef>

using namespace kavro;

namespace {

constexpr std::size_t headerSize = 2 + 2 + 1 + 2 * std::tuple_size_v<TrailerCorners>;
constexpr std::uint8_t bottomUpFlag = 1;
constexpr std::uint8_t trailerFlag = 2;

std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    const auto at = [&](std::size_t i) { return i < bytes.size() ? bytes[i] : std::uint8_t{0}; };
    return static_cast<std::uint16_t>(at(offset) | at(offset + 1) << 8);
}

void putU16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

} // namespace

PipelineInput decodePipelineInput(std::span<const std::uint8_t> bytes) {
    PipelineInput input;
    input.width = 1 + readU16(bytes, 0) % maxFuzzedWidth;
    input.height = 1 + readU16(bytes, 2) % maxFuzzedHeight;
    const std::uint8_t flags = bytes.size() > 4 ? bytes[4] : 0;
    input.bottomUp = (flags & bottomUpFlag) != 0;
    input.cornersFromTrailer = (flags & trailerFlag) != 0;
    for (std::size_t i = 0; i < input.corners.size(); ++i) {
        input.corners[i] = static_cast<std::int16_t>(readU16(bytes, 5 + 2 * i));
    }
    const auto given =
        bytes.size() > headerSize ? bytes.subspan(headerSize) : std::span<const std::uint8_t>{};
    input.pixels.resize(static_cast<std::size_t>(input.width) * input.height * 3);
    for (std::size_t i = 0; i < input.pixels.size() && !given.empty(); ++i) {
        input.pixels[i] = given[i % given.size()];
    }
    return input;
}

std::vector<std::uint8_t> encodePipelineInput(const PipelineInput& input) {
    std::vector<std::uint8_t> bytes;
    putU16(bytes, static_cast<std::uint16_t>(input.width - 1));
    putU16(bytes, static_cast<std::uint16_t>(input.height - 1));
    bytes.push_back(static_cast<std::uint8_t>((input.bottomUp ? bottomUpFlag : 0) |
                                              (input.cornersFromTrailer ? trailerFlag : 0)));
    for (const std::int16_t corner : input.corners) {
        putU16(bytes, static_cast<std::uint16_t>(corner));
    }
    bytes.insert(bytes.end(), input.pixels.begin(), input.pixels.end());
    return bytes;
}
