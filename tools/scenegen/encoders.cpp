#include "tools/scenegen/encoders.h"

// jpeglib.h needs the standard definitions before it.
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

constexpr int channels = 3;
constexpr std::uint32_t bmpFileHeaderSize = 14;
constexpr std::uint32_t bmpInfoHeaderSize = 40;
constexpr std::uint16_t bmpBitsPerPixel = 24;
constexpr std::int32_t pixelsPerMetre = 2835; // 72 dots per inch

[[noreturn]] void throwJpegError(j_common_ptr info) {
    std::array<char, JMSG_LENGTH_MAX> message{};
    (*info->err->format_message)(info, message.data());
    throw std::runtime_error(std::string("JPEG encoding failed: ") + message.data());
}

// Owns the compressor and the memory it writes into.
struct JpegCompressor {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;

    JpegCompressor() {
        info.err = jpeg_std_error(&errors);
        errors.error_exit = throwJpegError;
        jpeg_create_compress(&info);
        jpeg_mem_dest(&info, &buffer, &size);
    }
    ~JpegCompressor() {
        jpeg_destroy_compress(&info);
        std::free(buffer); // allocated by the library with malloc
    }
    JpegCompressor(const JpegCompressor&) = delete;
    JpegCompressor& operator=(const JpegCompressor&) = delete;
};

// Writes the value's bytes, least significant first; returns the advanced output.
template <typename T, typename Output>
Output putLittleEndian(Output out, T value) {
    const auto bits = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        *out++ = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    return out;
}

} // namespace

std::vector<std::uint8_t> encodeJpeg(const QImage& image, int quality) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    JpegCompressor compressor;
    jpeg_compress_struct& info = compressor.info;
    info.image_width = static_cast<JDIMENSION>(rgb.width());
    info.image_height = static_cast<JDIMENSION>(rgb.height());
    info.input_components = channels;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // The library takes non-const rows but only reads them.
        JSAMPROW row =
            const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return {compressor.buffer, compressor.buffer + compressor.size};
}

std::array<std::uint8_t, cornerTrailerSize>
encodeCornerTrailer(const std::array<FramePoint, 4>& corners) {
    std::array<std::uint8_t, cornerTrailerSize> trailer{};
    auto out = std::ranges::copy(cornerTrailerMarker, trailer.begin()).out;
    for (const FramePoint& corner : corners) {
        out = putLittleEndian(out, corner.x);
        out = putLittleEndian(out, corner.y);
    }
    return trailer;
}

std::vector<std::uint8_t> encodeJpegWithTrailer(const Scene& scene) {
    if (scene.plates.empty()) {
        throw std::invalid_argument("a corner trailer needs a plate");
    }
    std::vector<std::uint8_t> bytes = encodeJpeg(scene.image, scene.jpegQuality);
    const auto trailer = encodeCornerTrailer(scene.plates.front().frameCorners);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return bytes;
}

std::vector<std::uint8_t> encodeBmp(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const auto width = static_cast<std::uint32_t>(rgb.width());
    const auto height = static_cast<std::uint32_t>(rgb.height());
    const std::uint32_t rowSize = (width * channels + 3) / 4 * 4;
    const std::uint32_t pixelOffset = bmpFileHeaderSize + bmpInfoHeaderSize;
    const std::uint32_t pixelBytes = rowSize * height;

    std::vector<std::uint8_t> bytes{'B', 'M'};
    bytes.reserve(pixelOffset + pixelBytes);
    auto out = std::back_inserter(bytes);
    out = putLittleEndian(out, pixelOffset + pixelBytes);
    out = putLittleEndian(out, std::uint32_t{0}); // two reserved words
    out = putLittleEndian(out, pixelOffset);
    out = putLittleEndian(out, bmpInfoHeaderSize);
    out = putLittleEndian(out, static_cast<std::int32_t>(width));
    out = putLittleEndian(out, static_cast<std::int32_t>(height)); // positive: bottom-up
    out = putLittleEndian(out, std::uint16_t{1});                  // planes
    out = putLittleEndian(out, bmpBitsPerPixel);
    out = putLittleEndian(out, std::uint32_t{0}); // uncompressed
    out = putLittleEndian(out, pixelBytes);
    out = putLittleEndian(out, pixelsPerMetre);
    out = putLittleEndian(out, pixelsPerMetre);
    out = putLittleEndian(out, std::uint32_t{0}); // colours used
    out = putLittleEndian(out, std::uint32_t{0}); // important colours

    for (int y = rgb.height() - 1; y >= 0; --y) {
        const std::uint8_t* row = rgb.constScanLine(y);
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* pixel = row + x * channels;
            bytes.insert(bytes.end(), {pixel[2], pixel[1], pixel[0]});
        }
        bytes.resize(bytes.size() + (rowSize - width * channels), 0);
    }
    return bytes;
}
