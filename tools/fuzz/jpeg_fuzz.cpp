// The JPEG reader and the plate-corner trailer on arbitrary bytes: a file is either
// read into a well-formed picture with the corner state of its trailer, or refused
// with the previous picture and corner state left as they were.

#include "fuzz_support.h"
#include "image/plate_corner_trailer.h"

#include <algorithm>

using namespace kavro;

namespace {

// Frames of more pixels than this are skipped: decoding them is slow under the
// sanitizers and their memory would exceed the fuzzer's limit. The reader itself
// takes any frame of sides up to 32,767.
constexpr std::uint64_t maxFuzzedPixels = 1 << 20;

constexpr TrailerCorners staleCorners{1, 2, 3, 4, 5, 6, 7, 8};

bool isFrameMarker(std::uint8_t code) {
    // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// The largest frame that any byte pair FF SOFn could declare: an upper bound of
// what the decoder will see, whatever the file's structure.
std::uint64_t largestDeclaredFrame(std::span<const std::uint8_t> file) {
    std::uint64_t largest = 0;
    for (std::size_t i = 0; i + 8 < file.size(); ++i) {
        if (file[i] == 0xFF && isFrameMarker(file[i + 1])) {
            const std::uint64_t height = file[i + 5] << 8 | file[i + 6];
            const std::uint64_t width = file[i + 7] << 8 | file[i + 8];
            largest = std::max(largest, width * height);
        }
    }
    return largest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file{data, size};
    if (largestDeclaredFrame(file) > maxFuzzedPixels) {
        return -1; // not added to the corpus
    }
    silenceMessages();
    CDib dib;
    loadReferencePicture(dib);
    cornersFromTrailer = true;
    trailerCorners = staleCorners;
    if (dib.LoadJpegData(file)) {
        require(isWellFormed(dib), "a read JPEG is well formed");
        require(!dib.IsBottomUp(), "JPEG rows are top-down");
        const auto trailer = parsePlateCornerTrailer(file);
        require(cornersFromTrailer == trailer.has_value(), "the flag tells whether a trailer came");
        require(trailerCorners == trailer.value_or(staleCorners), "the trailer's corners are kept");
    } else {
        require(holdsReferencePicture(dib), "a refused JPEG keeps the previous picture");
        require(cornersFromTrailer && trailerCorners == staleCorners,
                "a refused JPEG keeps the corner state");
    }
    return 0;
}
