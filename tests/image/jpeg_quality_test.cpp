#include "image/jpeg_quality.h"

#include "image/test_pictures.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

// Files libjpeg wrote give back the quality they were written with, whatever
// their kind; the markers before the tables are walked over.
TEST(JpegQuality, IsTheQualityLibjpegWroteWith) {
    for (const JpegKind kind : {JpegKind::colour, JpegKind::grey, JpegKind::progressive}) {
        for (const int quality : {1, 10, 24, 25, 50, 51, 75, 90, 95, 99, 100}) {
            EXPECT_EQ(jpegQuality(makeJpeg(16, 16, kind, quality)), quality)
                << "kind " << static_cast<int>(kind) << ", quality " << quality;
        }
    }
}

TEST(JpegQuality, NoneWithoutALuminanceTable) {
    const Bytes good = makeJpeg(16, 16, JpegKind::colour, 80);
    const Bytes noTables{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9};
    const Bytes cutInTable(good.begin(), good.begin() + 30);
    Bytes lengthPastEnd = good;
    lengthPastEnd.resize(22);
    for (const Bytes& file :
         {Bytes{}, Bytes{'B', 'M', 0, 0}, noTables, cutInTable, lengthPastEnd}) {
        EXPECT_EQ(jpegQuality(file), std::nullopt) << file.size();
    }
}

} // namespace
