// The bitmap reader on arbitrary bytes: a file is either read into a well-formed
// picture or refused with the previous picture left as it was.

#include "fuzz_support.h"

using namespace kavro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    silenceMessages();
    CDib dib;
    loadReferencePicture(dib);
    if (dib.LoadBmpData({data, size})) {
        require(isWellFormed(dib), "a read bitmap is well formed");
        require(dib.IsBottomUp(), "bitmap rows are bottom-up");
    } else {
        require(holdsReferencePicture(dib), "a refused bitmap keeps the previous picture");
    }
    return 0;
}
