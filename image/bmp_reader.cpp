// The bitmap reader. Every check is made on the bytes in memory before the
// picture is replaced, so a refused file leaves the previous picture as it was.
// 24-bit files are taken as they are; 32-bit uncompressed and 8-bit palettised
// files and top-down rows are converted into 24-bit bottom-up rows.

#include "image/dib.h"
#include "image/large_buffer.h"
#include "image/message_sink.h"
#include "image/plate_corner_trailer.h"

#include <algorithm>
#include <cstring>

namespace kavro {

namespace {

constexpr std::uint16_t bitmapSignature = 0x4D42; // "BM"
constexpr std::size_t fileHeaderSize = 14;
constexpr std::size_t infoHeaderSize = 40;
constexpr std::size_t headersSize = fileHeaderSize + infoHeaderSize;
constexpr std::uint32_t uncompressed = 0;
constexpr std::size_t paletteEntrySize = 4; // blue, green, red, reserved
constexpr std::uint32_t maxPaletteEntries = 256;

std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

// The fields of the two headers that the reader uses.
struct BitmapHeader {
    std::uint32_t fileSize;   // bfSize
    std::uint32_t pixelStart; // bfOffBits
    std::uint32_t infoSize;   // biSize
    std::int32_t width;
    std::int32_t height; // negative for top-down rows
    std::uint16_t bitCount;
    std::uint32_t compression;
    std::uint32_t coloursUsed;
};

BitmapHeader readHeader(std::span<const std::uint8_t> file) {
    return {readU32(file, 2),
            readU32(file, 10),
            readU32(file, 14),
            static_cast<std::int32_t>(readU32(file, 18)),
            static_cast<std::int32_t>(readU32(file, 22)),
            readU16(file, 28),
            readU32(file, 30),
            readU32(file, 46)};
}

bool isSupportedKind(const BitmapHeader& header) {
    const bool knownDepth = header.bitCount == 24 || header.bitCount == 32 || header.bitCount == 8;
    return header.infoSize >= infoHeaderSize && header.compression == uncompressed && knownDepth;
}

std::size_t rowStride(const BitmapHeader& header) {
    return (static_cast<std::size_t>(header.width) * header.bitCount + 31) / 32 * 4;
}

std::int64_t rowCount(const BitmapHeader& header) {
    return header.height < 0 ? -static_cast<std::int64_t>(header.height) : header.height;
}

bool isValidSide(std::int64_t side) {
    return side > 0 && side <= maxPictureSide;
}

// The colour table of an 8-bit file: between the info header and the pixels.
struct Palette {
    std::span<const std::uint8_t> entries;
    std::size_t count() const { return entries.size() / paletteEntrySize; }
};

std::optional<Palette> findPalette(std::span<const std::uint8_t> file, const BitmapHeader& header) {
    const std::uint32_t count = header.coloursUsed == 0 ? maxPaletteEntries : header.coloursUsed;
    const std::uint64_t start = fileHeaderSize + static_cast<std::uint64_t>(header.infoSize);
    const std::uint64_t end = start + static_cast<std::uint64_t>(count) * paletteEntrySize;
    if (count > maxPaletteEntries || end > header.pixelStart) {
        return std::nullopt;
    }
    return Palette{file.subspan(start, end - start)};
}

// Writes one file row as width x 3 bytes of blue, green, red.
void convertRow(std::span<const std::uint8_t> in, std::uint8_t* out, const BitmapHeader& header,
                const Palette& palette) {
    const auto width = static_cast<std::size_t>(header.width);
    switch (header.bitCount) {
    case 24:
        std::memcpy(out, in.data(), width * 3);
        break;
    case 32:
        for (std::size_t x = 0; x < width; ++x) {
            std::memcpy(out + 3 * x, in.data() + 4 * x, 3);
        }
        break;
    default: // 8-bit: indices beyond the table give black
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t index = in[x];
            if (index < palette.count()) {
                std::memcpy(out + 3 * x, palette.entries.data() + paletteEntrySize * index, 3);
            } else {
                std::memset(out + 3 * x, 0, 3);
            }
        }
        break;
    }
}

} // namespace

bool CDib::LoadBmpData(std::span<const std::uint8_t> file) {
    if (file.size() < 2 || readU16(file, 0) != bitmapSignature) {
        showMessage("Not a BMP file!");
        return false;
    }
    if (file.size() < fileHeaderSize || file.size() != readU32(file, 2)) {
        showMessage("Read bitmapfileheader error!");
        return false;
    }
    if (file.size() < headersSize) {
        showMessage("Read bitmapinfoheader error!");
        return false;
    }
    const BitmapHeader header = readHeader(file);
    if (!isSupportedKind(header)) {
        showMessage("Unsupported BMP format! Only uncompressed 8, 24 and 32-bit bitmaps are read.");
        return false;
    }
    if (header.pixelStart < fileHeaderSize + header.infoSize || header.pixelStart > file.size()) {
        showMessage("Bad BMP pixel offset!");
        return false;
    }
    if (!isValidSide(header.width) || !isValidSide(rowCount(header))) {
        showMessage("Bad BMP size!");
        return false;
    }
    if (!fitsPictureArea(header.width, rowCount(header))) {
        showMessage("Bad BMP size! Pictures must have at most 100 megapixels.");
        return false;
    }
    const std::optional<Palette> palette =
        header.bitCount == 8 ? findPalette(file, header) : Palette{};
    if (!palette) {
        showMessage("Bad BMP palette!");
        return false;
    }
    const std::size_t stride = rowStride(header);
    const auto rows = static_cast<std::size_t>(rowCount(header));
    if ((file.size() - header.pixelStart) / stride < rows) {
        showMessage("Bad BMP pixel data!");
        return false;
    }

    Picture picture;
    picture.infoSize = header.pixelStart - fileHeaderSize;
    picture.info = std::make_unique_for_overwrite<std::uint8_t[]>(picture.infoSize);
    std::copy_n(file.begin() + fileHeaderSize, picture.infoSize, picture.info.get());
    const std::size_t outStride = static_cast<std::size_t>(header.width) * 3;
    picture.bits = allocateLarge<std::uint8_t>(outStride * rows);
    const bool topDown = header.height < 0;
    for (std::size_t row = 0; row < rows; ++row) {
        const std::size_t outRow = topDown ? rows - 1 - row : row; // rows bottom-up
        convertRow(file.subspan(header.pixelStart + row * stride, stride),
                   picture.bits.get() + outRow * outStride, header, *palette);
    }
    picture.width = header.width;
    picture.height = static_cast<std::int32_t>(rows);
    picture.bitCount = header.bitCount;
    picture.compression = header.compression;
    picture.bottomUp = true;
    Adopt(std::move(picture));
    cornersFromTrailer = false; // a trailer's corners never apply to a bitmap
    return true;
}

} // namespace kavro
