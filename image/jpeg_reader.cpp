// The JPEG reader, on libjpeg-turbo. The decoder's fatal errors come back here
// through a jump instead of ending the process; the file's message is shown and
// the previous picture and corner state stay as they were.

#include "image/dib.h"
#include "image/large_buffer.h"
#include "image/message_sink.h"
#include "image/plate_corner_trailer.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace kavro {

namespace {

struct ErrorManager {
    jpeg_error_mgr standard;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jumpOnError(j_common_ptr decoder) {
    auto* errors = reinterpret_cast<ErrorManager*>(decoder->err);
    errors->standard.format_message(decoder, errors->message);
    std::longjmp(errors->jump, 1);
}

// The library shows the first warning of a picture (damaged data it decodes
// anyway) through here; it goes to the warning sink instead of standard error.
void sendWarning(j_common_ptr decoder) {
    char text[JMSG_LENGTH_MAX];
    decoder->err->format_message(decoder, text);
    showWarning(text);
}

// Everything a decode owns lives here, outside the frames that a decoder
// error jumps over, so nothing is skipped when it does.
struct JpegSession {
    jpeg_decompress_struct decoder{};
    ErrorManager errors{};
    bool created = false;
    CDib::Picture picture;
    std::optional<std::string> refusal; // our own reason to stop, besides the decoder's

    JpegSession() {
        decoder.err = jpeg_std_error(&errors.standard);
        errors.standard.error_exit = jumpOnError;
        errors.standard.output_message = sendWarning;
    }
    ~JpegSession() {
        if (created) {
            jpeg_destroy_decompress(&decoder);
        }
    }
    JpegSession(const JpegSession&) = delete;
    JpegSession& operator=(const JpegSession&) = delete;
};

bool canGiveBgr(J_COLOR_SPACE space) {
    return space != JCS_CMYK && space != JCS_YCCK;
}

// Decodes into session.picture. Returns false with session.refusal set when the
// picture is refused; decoder errors jump out of it.
bool decode(JpegSession& session, std::span<const std::uint8_t> file) {
    jpeg_decompress_struct& decoder = session.decoder;
    jpeg_create_decompress(&decoder);
    session.created = true;
    jpeg_mem_src(&decoder, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&decoder, TRUE);
    if (decoder.image_width > maxPictureSide || decoder.image_height > maxPictureSide) {
        session.refusal = "Bad JPEG size! Pictures must be smaller than 32768 pixels each way.";
        return false;
    }
    if (!fitsPictureArea(decoder.image_width, decoder.image_height)) {
        session.refusal = "Bad JPEG size! Pictures must have at most 100 megapixels.";
        return false;
    }
    if (!canGiveBgr(decoder.jpeg_color_space)) {
        session.refusal = "Unsupported JPEG colour space! CMYK pictures are not read.";
        return false;
    }
    decoder.scale_num = 1;
    decoder.scale_denom = 1;
    decoder.out_color_space = JCS_EXT_BGR; // grey-scale files come out as three equal channels
    jpeg_start_decompress(&decoder);

    CDib::Picture& picture = session.picture;
    picture.width = static_cast<std::int32_t>(decoder.output_width);
    picture.height = static_cast<std::int32_t>(decoder.output_height);
    const std::size_t stride = static_cast<std::size_t>(picture.width) * 3;
    picture.bits = allocateLarge<std::uint8_t>(stride * picture.height);
    while (decoder.output_scanline < decoder.output_height) {
        JSAMPROW row = picture.bits.get() + stride * decoder.output_scanline;
        jpeg_read_scanlines(&decoder, &row, 1);
    }
    jpeg_finish_decompress(&decoder);
    return true;
}

// The only frame that holds the jump target; it has no locals of its own.
bool decodeGuarded(JpegSession& session, std::span<const std::uint8_t> file) {
    if (setjmp(session.errors.jump) != 0) {
        session.refusal = session.errors.message;
        return false;
    }
    return decode(session, file);
}

// The header block of a JPEG picture: a 40-byte bitmap info header.
void buildInfoHeader(CDib::Picture& picture) {
    constexpr std::size_t infoHeaderSize = 40;
    const auto put32 = [&](std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            picture.info[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    picture.info = std::make_unique<std::uint8_t[]>(infoHeaderSize);
    picture.infoSize = infoHeaderSize;
    put32(0, infoHeaderSize);
    put32(4, static_cast<std::uint32_t>(picture.width));
    put32(8, static_cast<std::uint32_t>(picture.height));
    picture.info[12] = 1;  // planes
    picture.info[14] = 24; // bits per pixel
    const std::uint64_t imageSize = static_cast<std::uint64_t>(picture.width) * picture.height * 3;
    put32(20, static_cast<std::uint32_t>((imageSize + 4) & ~std::uint64_t{3}));
}

} // namespace

bool CDib::LoadJpegData(std::span<const std::uint8_t> file) {
    const std::optional<TrailerCorners> trailer = parsePlateCornerTrailer(file);
    JpegSession session;
    if (!decodeGuarded(session, file)) {
        showMessage(*session.refusal);
        return false;
    }
    Picture& picture = session.picture;
    picture.bitCount = 24;
    picture.compression = 0;
    picture.bottomUp = false;
    buildInfoHeader(picture);
    Adopt(std::move(picture));
    cornersFromTrailer = trailer.has_value();
    if (trailer) {
        trailerCorners = *trailer;
    }
    return true;
}

} // namespace kavro
