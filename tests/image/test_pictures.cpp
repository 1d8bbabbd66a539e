#include "test_pictures.h"
#include "support/temp_path.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <jpeglib.h>

void putU32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

namespace {
void putU16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr int paletteSize = 256;
// 8-bit files use a grey palette: index i is (i, i, i), and pixel (x, y) is
// the index of its pattern's blue value.
Bgr paletteColour(int index) {
    const auto v = static_cast<std::uint8_t>(index);
    return {v, v, v};
}
} // namespace

Bgr pixelColour(int x, int y) {
    return {static_cast<std::uint8_t>(10 + 20 * x), static_cast<std::uint8_t>(100 + y),
            static_cast<std::uint8_t>(200 + x + y)};
}

Bytes makeBitmap(const BitmapLayout& layout) {
    const int bytesPerPixel = layout.bitCount / 8;
    const std::size_t stride =
        (static_cast<std::size_t>(layout.width) * layout.bitCount + 31) / 32 * 4;
    const std::size_t paletteBytes = layout.bitCount == 8 ? 4 * paletteSize : 0;
    const std::size_t offset = 54 + paletteBytes;
    Bytes file(offset + stride * layout.height, 0);
    file[0] = 'B';
    file[1] = 'M';
    putU32(file, 2, static_cast<std::uint32_t>(file.size()));
    putU32(file, 10, static_cast<std::uint32_t>(offset));
    putU32(file, 14, 40);
    putU32(file, 18, static_cast<std::uint32_t>(layout.width));
    putU32(file, 22, static_cast<std::uint32_t>(layout.topDown ? -layout.height : layout.height));
    putU16(file, 26, 1);
    putU16(file, 28, static_cast<std::uint16_t>(layout.bitCount));
    putU32(file, 30, layout.compression);
    for (int i = 0; i * 4 < static_cast<int>(paletteBytes); ++i) {
        const Bgr c = paletteColour(i);
        file[54 + 4 * i] = c.b;
        file[55 + 4 * i] = c.g;
        file[56 + 4 * i] = c.r;
    }
    for (int row = 0; row < layout.height; ++row) {
        const int y = layout.topDown ? row : layout.height - 1 - row;
        std::uint8_t* out = file.data() + offset + row * stride;
        for (int x = 0; x < layout.width; ++x) {
            const Bgr c = pixelColour(x, y);
            if (layout.bitCount == 8) {
                out[x] = c.b;
            } else {
                out[bytesPerPixel * x] = c.b;
                out[bytesPerPixel * x + 1] = c.g;
                out[bytesPerPixel * x + 2] = c.r;
            }
        }
    }
    return file;
}

Bytes makeJpeg(int width, int height, JpegKind kind, int quality) {
    jpeg_compress_struct encoder{};
    jpeg_error_mgr errors{};
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&encoder, &buffer, &size);
    encoder.image_width = static_cast<JDIMENSION>(width);
    encoder.image_height = static_cast<JDIMENSION>(height);
    const int components = kind == JpegKind::grey ? 1 : kind == JpegKind::cmyk ? 4 : 3;
    encoder.input_components = components;
    encoder.in_color_space = kind == JpegKind::grey   ? JCS_GRAYSCALE
                             : kind == JpegKind::cmyk ? JCS_CMYK
                                                      : JCS_EXT_BGR;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, quality, TRUE);
    for (int c = 0; c < encoder.num_components; ++c) {
        encoder.comp_info[c].h_samp_factor = 1;
        encoder.comp_info[c].v_samp_factor = 1;
    }
    if (kind == JpegKind::progressive) {
        jpeg_simple_progression(&encoder);
    }
    jpeg_start_compress(&encoder, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * components);
    while (encoder.next_scanline < encoder.image_height) {
        const int y = static_cast<int>(encoder.next_scanline);
        for (int x = 0; x < width; ++x) {
            const Bgr c = pixelColour(x, y);
            const std::uint8_t values[4] = {c.b, c.g, c.r, 0};
            for (int k = 0; k < components; ++k) {
                row[x * components + k] = values[k];
            }
        }
        JSAMPROW rowPointer = row.data();
        jpeg_write_scanlines(&encoder, &rowPointer, 1);
    }
    jpeg_finish_compress(&encoder);
    Bytes file(buffer, buffer + size);
    jpeg_destroy_compress(&encoder);
    std::free(buffer);
    return file;
}

Bytes withFrameSize(Bytes file, int height, int width) {
    for (std::size_t i = 0; i + 8 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == 0xC0) {
            file[i + 5] = static_cast<std::uint8_t>(height >> 8);
            file[i + 6] = static_cast<std::uint8_t>(height);
            file[i + 7] = static_cast<std::uint8_t>(width >> 8);
            file[i + 8] = static_cast<std::uint8_t>(width);
            break;
        }
    }
    return file;
}

Bytes withTrailer(Bytes file, std::uint8_t secondMarker,
                  const std::array<std::int16_t, 8>& corners) {
    file.push_back(0xFF);
    file.push_back(secondMarker);
    for (const std::int16_t value : corners) {
        const auto bits = static_cast<std::uint16_t>(value);
        file.push_back(static_cast<std::uint8_t>(bits));
        file.push_back(static_cast<std::uint8_t>(bits >> 8));
    }
    return file;
}

std::string writeTempFile(const std::string& name, const Bytes& bytes) {
    const auto path = tempPath("kavro-test-" + name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
}
