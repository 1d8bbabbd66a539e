#pragma once
// The quality setting a JPEG file was most likely written with, told from its
// luminance quantisation table: the table of the standard's example, scaled as
// libjpeg scales it for qualities 1 to 100, whose sum comes nearest.

#include <cstdint>
#include <optional>
#include <span>

namespace kavro {

// 1 to 100; none for a file without a luminance table before its first scan.
// Exact for tables libjpeg wrote, an estimate for any other.
std::optional<int> jpegQuality(std::span<const std::uint8_t> file);

} // namespace kavro
