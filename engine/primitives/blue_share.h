#pragma once
// The blue dominance of a pixel: 255 minus twice the excess of blue's share of the
// channel sum over a third, the share taken in 16.16 fixed point. Both the working
// planes and the plate planes of blue plates are made of it.

#include <algorithm>
#include <cstdint>

namespace kavro {

// Channel sums below this are taken as a pixel of ones, so that the share is defined.
inline constexpr std::int32_t minimumChannelSum = 3;

// 16,711,680 / sum, truncated, for sums of 3 to 765: the correctly rounded single
// precision quotient never reaches the next integer for these sums (every one of them
// is checked by the tests), so its truncation is the exact factor. A division of
// floats, unlike one of integers, runs in vector instructions.
inline std::int32_t shareFactorOf(std::int32_t sum) {
    constexpr float shareScale = 255 * 65'536; // 16,711,680
    return static_cast<std::int32_t>(shareScale / static_cast<float>(sum));
}

// The inverted blue dominance of a pixel whose channel sum is `sum` (at least
// minimumChannelSum) and whose blue channel is `blue`.
inline std::int32_t invertedBlueDominance(std::int32_t sum, std::int32_t blue) {
    constexpr std::int32_t neutralBlueShare = 85 * 65'536; // 5,570,560
    constexpr int blueShareShift = 15;
    constexpr std::int32_t maxByte = 255;
    const std::int32_t share = (shareFactorOf(sum) * blue - neutralBlueShare) >> blueShareShift;
    return maxByte - std::clamp(share, 0, maxByte);
}

} // namespace kavro
