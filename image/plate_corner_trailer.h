#pragma once
// The plate-corner trailer: 18 bytes at the end of a JPEG file, 0xFF 0xD0 and
// then the four plate corners (top left, top right, bottom left, bottom right)
// as signed 16-bit little-endian x, y pairs in the picture scaled to 512 wide.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kavro {

inline constexpr std::size_t trailerSize = 18;
inline constexpr std::uint8_t trailerMarker[2] = {0xFF, 0xD0};

// x1, y1, x2, y2, x3, y3, x4, y4 in trailer order.
using TrailerCorners = std::array<std::int16_t, 8>;

// The corners of the trailer at the end of `file`, if the file ends in one.
std::optional<TrailerCorners> parsePlateCornerTrailer(std::span<const std::uint8_t> file);

// Corner state of the last JPEG file read on this thread: whether it carried a
// trailer, and the corners of the last trailer seen. A bitmap clears the flag.
// constinit: set at thread start without code, so other files reach them directly
// rather than through a thread-local initialisation wrapper.
extern constinit thread_local bool cornersFromTrailer;
extern constinit thread_local TrailerCorners trailerCorners;

} // namespace kavro
