#include "fuzz_support.h"

#include "image/message_sink.h"
#include "image/test_pictures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string_view>

using namespace kavro;

namespace {

// The reference picture: a 3 x 2 bitmap of the test pattern.
const Bytes& referenceBitmap() {
    static const Bytes file = makeBitmap({.width = 3, .height = 2});
    return file;
}

const CDib& referencePicture() {
    static const CDib picture = [] {
        CDib dib;
        require(dib.LoadBmpData(referenceBitmap()), "the reference picture loads");
        return dib;
    }();
    return picture;
}

} // namespace

void silenceMessages() {
    setMessageSink([](std::string_view) {});
}

void loadReferencePicture(CDib& dib) {
    referencePicture(); // made here, as reading it clears the corner state
    require(dib.LoadBmpData(referenceBitmap()), "the reference picture loads");
}

bool holdsReferencePicture(const CDib& dib) {
    const CDib& reference = referencePicture();
    return dib.GetWidth() == reference.GetWidth() && dib.GetHeight() == reference.GetHeight() &&
           std::ranges::equal(dib.GetPixels(), reference.GetPixels());
}

bool isWellFormed(const CDib& dib) {
    const bool sides = dib.GetWidth() >= 1 && dib.GetWidth() <= maxPictureSide &&
                       dib.GetHeight() >= 1 && dib.GetHeight() <= maxPictureSide &&
                       fitsPictureArea(dib.GetWidth(), dib.GetHeight());
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
