#pragma once
// Files made in memory for the reader tests: bitmaps of every kind the reader
// meets, and JPEG files encoded with libjpeg.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A bitmap of the given depth whose pixel (x, y), y counted from the top, has
// the colour pixelColour(x, y). Fields can be bent afterwards for bad files.
struct BitmapLayout {
    int width = 4;
    int height = 3;
    int bitCount = 24;
    bool topDown = false;
    std::uint32_t compression = 0;
};
Bytes makeBitmap(const BitmapLayout& layout);

// Blue, green, red of the test pattern at (x, y), y from the top.
struct Bgr {
    std::uint8_t b, g, r;
    bool operator==(const Bgr&) const = default;
};
Bgr pixelColour(int x, int y);

void putU32(Bytes& bytes, std::size_t offset, std::uint32_t value);

enum class JpegKind { colour, grey, cmyk, progressive };
// A JPEG file of the test pattern (no subsampling); progressive files are
// colour files in progressive scans.
Bytes makeJpeg(int width, int height, JpegKind kind = JpegKind::colour, int quality = 100);

// A baseline file whose frame header (SOF0) declares another height and width;
// the coded data stays as it was.
Bytes withFrameSize(Bytes file, int height, int width);

// `file` followed by a plate-corner trailer: 0xFF, `secondMarker` (0xD0 for a
// real trailer) and the eight corner values.
Bytes withTrailer(Bytes file, std::uint8_t secondMarker,
                  const std::array<std::int16_t, 8>& corners);

// A unique scratch path for a test; the file is removed by the caller.
std::string writeTempFile(const std::string& name, const Bytes& bytes);
