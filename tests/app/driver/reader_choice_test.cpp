#include "app/driver/picture_session.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

struct ExtensionCase {
    const char* path;
    PictureReader reader;
};

TEST(ReaderForExtension, TakesTheExactTextAfterTheLastDot) {
    const ExtensionCase cases[] = {
        {"car.jpg", PictureReader::jpeg},
        {"/photos/car.bmp", PictureReader::bitmap},
        {"plate.tar.bmp", PictureReader::bitmap},
        {"CAR.JPG", PictureReader::none},
        {"car.BMP", PictureReader::none},
        {"car.jpeg", PictureReader::none},
        {"D:\\photos.2016\\car", PictureReader::none}, // extension "2016\car"
        {"/photos.2016/car", PictureReader::none},
        {"jpg", PictureReader::jpeg}, // no dot: the whole path is the extension
        {"car.", PictureReader::none},
    };
    for (const ExtensionCase& c : cases) {
        EXPECT_EQ(readerForExtension(c.path), c.reader) << c.path;
    }
}

} // namespace
