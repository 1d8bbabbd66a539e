#include "fuzz_support.h"

#include "image/message_sink.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string_view>

namespace {

constexpr int referenceWidth = 3;
constexpr int referenceHeight = 2;

// A 24-bit bottom-up bitmap, 3 x 2, rows padded to 12 bytes.
constexpr std::array<std::uint8_t, 78> referenceBitmap{'B',
                                                       'M',
                                                       78,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       54,
                                                       0,
                                                       0,
                                                       0, // file header
                                                       40,
                                                       0,
                                                       0,
                                                       0,
                                                       referenceWidth,
                                                       0,
                                                       0,
                                                       0,
                                                       referenceHeight,
                                                       0,
                                                       0,
                                                       0, // info header
                                                       1,
                                                       0,
                                                       24,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       24,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       1,
                                                       2,
                                                       3,
                                                       4,
                                                       5,
                                                       6,
                                                       7,
                                                       8,
                                                       9,
                                                       0,
                                                       0,
                                                       0, // bottom row
                                                       11,
                                                       12,
                                                       13,
                                                       14,
                                                       15,
                                                       16,
                                                       17,
                                                       18,
                                                       19,
                                                       0,
                                                       0,
                                                       0}; // top row

constexpr std::array<std::uint8_t, 18> referencePixels{1,  2,  3,  4,  5,  6,  7,  8,  9,
                                                       11, 12, 13, 14, 15, 16, 17, 18, 19};

} // namespace

void silenceMessages() {
    setMessageSink([](std::string_view) {});
}

void loadReferencePicture(CDib& dib) {
    require(dib.LoadBmpData(referenceBitmap), "the reference picture loads");
}

bool holdsReferencePicture(const CDib& dib) {
    const auto pixels = dib.GetPixels();
    return dib.GetWidth() == referenceWidth && dib.GetHeight() == referenceHeight &&
           std::ranges::equal(pixels, referencePixels);
}

bool isWellFormed(const CDib& dib) {
    const bool sides = dib.GetWidth() >= 1 && dib.GetWidth() <= maxPictureSide &&
                       dib.GetHeight() >= 1 && dib.GetHeight() <= maxPictureSide;
    if (!sides || dib.GetBits() == nullptr) {
        return false;
    }
    // Reads every pixel byte, so that AddressSanitizer checks the block's size.
    const auto pixels = dib.GetPixels();
    volatile unsigned sum = std::accumulate(pixels.begin(), pixels.end(), 0u);
    (void)sum;
    return true;
}

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}
