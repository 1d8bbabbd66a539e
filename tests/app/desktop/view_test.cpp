#include "app/desktop/view_drawing.h"
#include "desktop_fixture.h"
#include "res/string_table.h"

#include <QFile>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

using namespace kavro;

namespace {

constexpr int pictureWidth = 512, pictureHeight = 384; // the working size of the pictures

class ViewTest : public DesktopTest {
protected:
    // The picture area of the view as drawn now.
    QImage shownPicture() { return regionOf(render(), QRect(0, 0, pictureWidth, pictureHeight)); }
    QImage expectedPicture(int seed) { return testPicture(pictureWidth, pictureHeight, seed); }
    QString goodBitmap(const QString& name, int seed) {
        return write(name, expectedPicture(seed), "BMP");
    }
    void rightClick(QPoint at) { QTest::mouseClick(view().viewport(), Qt::RightButton, {}, at); }
};

TEST_F(ViewTest, PictureIsDrawnAtTheOriginWithTheResultBesideIt) {
    QSignalSpy recognised(&view(), &CKavroView::resultUpdated);
    view().ProcessImageFile(goodBitmap("car.bmp", 1));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(recognised.count(), 1);
    EXPECT_TRUE(view().IsResultReady());
    EXPECT_EQ(view().GetTotalSize(), QSize(512 * 5, pictureHeight * 2));
    const QImage shown = render();
    EXPECT_EQ(regionOf(shown, QRect(0, 0, pictureWidth, pictureHeight)), expectedPicture(1));

    QImage text(shown.size(), QImage::Format_RGB32);
    text.fill(Qt::white);
    {
        QPainter painter(&text);
        drawResult(painter, view().GetSession().result, pictureWidth);
    }
    const QRect beside(pictureWidth, 0, shown.width() - pictureWidth, shown.height());
    EXPECT_EQ(regionOf(shown, beside), regionOf(text, beside));
    EXPECT_NE(regionOf(shown, QRect(522, 136, 300, 40)), regionOf(text, QRect(0, 0, 300, 40)));
}

TEST_F(ViewTest, ScrolledViewShiftsThePicture) {
    const QImage tall = testPicture(pictureWidth, 1024, 2); // scrolls 2,560 x 2,048
    view().ProcessImageFile(write("tall.bmp", tall, "BMP"));
    view().horizontalScrollBar()->setValue(100);
    view().verticalScrollBar()->setValue(50);
    EXPECT_EQ(view().horizontalScrollBar()->value(), 100);
    EXPECT_EQ(view().verticalScrollBar()->value(), 50);
    EXPECT_EQ(regionOf(render(), QRect(0, 0, pictureWidth - 100, 500)),
              tall.copy(100, 50, pictureWidth - 100, 500));
}

TEST_F(ViewTest, DroppedFilesAreReadInOrderAndTheLastStays) {
    QSignalSpy recognised(&view(), &CKavroView::resultUpdated);
    drop({goodBitmap("a.bmp", 3), goodBitmap("b.bmp", 4), goodBitmap("c.bmp", 5)});
    EXPECT_EQ(recognised.count(), 3);
    EXPECT_EQ(shownPicture(), expectedPicture(5));
    EXPECT_TRUE(messages.empty());
}

TEST_F(ViewTest, UnreadableFileKeepsThePictureAndReadsItAgain) {
    view().ProcessImageFile(goodBitmap("good.bmp", 6));
    QSignalSpy recognised(&view(), &CKavroView::resultUpdated);
    drop({write("bad.bmp", expectedPicture(7), "JPG")});
    EXPECT_EQ(messages, std::vector<std::string>{"Not a BMP file!"});
    EXPECT_EQ(recognised.count(), 1);
    EXPECT_TRUE(view().IsResultReady());
    EXPECT_EQ(shownPicture(), expectedPicture(6));
}

TEST_F(ViewTest, OtherExtensionsAreNotReadButThePictureIsReadAgain) {
    QSignalSpy recognised(&view(), &CKavroView::resultUpdated);
    const QString upperCase = write("CAR.JPG", expectedPicture(8), "JPG");
    const QString dottedFolder = write("photos.2016/car", expectedPicture(9), "BMP");
    const QString jpeg = write("car.jpeg", expectedPicture(9), "JPG");
    const QImage instruction = render();
    for (const QString& file : {upperCase, dottedFolder, jpeg}) {
        view().ProcessImageFile(file); // before any picture: nothing at all
    }
    EXPECT_EQ(recognised.count(), 0);
    EXPECT_EQ(view().GetTotalSize(), QSize(100, 100));
    EXPECT_EQ(render(), instruction);

    view().ProcessImageFile(goodBitmap("car.bmp", 10));
    for (const QString& file : {upperCase, dottedFolder, jpeg}) {
        view().ProcessImageFile(file);
    }
    EXPECT_EQ(recognised.count(), 4);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(shownPicture(), expectedPicture(10));
}

TEST_F(ViewTest, FirstFileFailingLeavesTheInstruction) {
    const QImage instruction = render();
    drop({path("missing.bmp")});
    EXPECT_EQ(messages, std::vector<std::string>{"Can not open the file!"});
    EXPECT_FALSE(view().IsResultReady());
    EXPECT_EQ(render(), instruction);
}

TEST_F(ViewTest, RightClickReadsAgainOnlyOnThePicturesRows) {
    QSignalSpy recognised(&view(), &CKavroView::resultUpdated);
    rightClick(QPoint(10, 10)); // no picture yet
    EXPECT_EQ(recognised.count(), 0);

    view().ProcessImageFile(goodBitmap("car.bmp", 11));
    recognised.clear();
    rightClick(QPoint(600, pictureHeight - 1)); // beside the picture, but on its rows
    EXPECT_EQ(recognised.count(), 1);
    rightClick(QPoint(10, pictureHeight)); // below the picture
    EXPECT_EQ(recognised.count(), 1);
    QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(recognised.count(), 1);
    EXPECT_EQ(shownPicture(), expectedPicture(11));
}

TEST_F(ViewTest, OpenCommandReadsTheChosenFile) {
    const QString file = goodBitmap("chosen.bmp", 12);
    view().SetFileChooser([&] { return file; });
    frame().SingleTestButton().trigger();
    EXPECT_EQ(shownPicture(), expectedPicture(12));

    QSignalSpy recognised(&view(), &CKavroView::resultUpdated);
    view().SetFileChooser([] { return QString(); }); // cancelled
    frame().SingleTestButton().trigger();
    EXPECT_EQ(recognised.count(), 0);
}

TEST_F(ViewTest, BatchCommandsAskForAFolderAndCancellingChangesNothing) {
    view().ProcessImageFile(goodBitmap("car.bmp", 13));
    QSignalSpy requested(&view(), &CKavroView::batchRequested);
    const QImage before = render();
    int asked = 0;
    view().SetFolderChooser([&] {
        ++asked;
        return QString();
    });
    EXPECT_TRUE(frame().BatchButton().isEnabled());
    frame().BatchButton().trigger();
    frame().Commands().fileBatch->trigger();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(requested.count(), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(render(), before);
}

TEST_F(ViewTest, NewDocumentResetsTheScrollSizeAndKeepsThePicture) {
    view().ProcessImageFile(goodBitmap("car.bmp", 14));
    frame().Commands().fileNew->trigger();
    EXPECT_EQ(view().GetTotalSize(), QSize(100, 100));
    EXPECT_EQ(shownPicture(), expectedPicture(14));
}

// A JPEG file whose header claims 10,000 x 10,000 pixels: the largest area read, 300 MB.
QString hugeJpeg(const QString& file) {
    QImage(16, 16, QImage::Format_RGB32).save(file, "JPG");
    QFile jpeg(file);
    EXPECT_TRUE(jpeg.open(QIODevice::ReadWrite));
    QByteArray bytes = jpeg.readAll();
    const qsizetype frame = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    EXPECT_GT(frame, 0);
    for (qsizetype side : {frame + 5, frame + 7}) { // height, then width, big-endian
        bytes[side] = static_cast<char>(10000 >> 8);
        bytes[side + 1] = static_cast<char>(10000 & 0xFF);
    }
    jpeg.seek(0);
    jpeg.write(bytes);
    return file;
}

std::size_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(ViewTest, RunningOutOfMemoryEndsTheCommandAndKeepsThePicture) {
    view().ProcessImageFile(goodBitmap("car.bmp", 15));
    const QString huge = hugeJpeg(path("huge.jpg"));
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = addressSpaceInUse() + (256u << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &limited), 0);
    view().OnDropFiles({huge});
    setrlimit(RLIMIT_AS, &previous);
    EXPECT_EQ(messages, std::vector<std::string>{strings::outOfMemory});
    EXPECT_EQ(shownPicture(), expectedPicture(15));
}

// The bundled sample with a corner trailer goes the whole way to a plate block.
TEST_F(ViewTest, SampleWithCornerTrailerShowsAPlate) {
    const QString sample = QStringLiteral(KAVRO_SAMPLES_DIR "/blue-21.jpg");
    if (!QFile::exists(sample)) {
        GTEST_SKIP() << "no bundled samples";
    }
    drop({sample});
    const RecognitionResult& result = view().GetSession().result;
    ASSERT_EQ(result.count, 1);
    const QString block = plateBlockText(result, 0);
    EXPECT_TRUE(block.startsWith(QStringLiteral("车牌1\n类型：小型汽车 - 蓝底白字\n牌号：新R")))
        << block.toStdString();
    const QImage shown = render();
    QImage expected(shown.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
        QPainter painter(&expected);
        drawResult(painter, result, 512);
    }
    // The text, left of the rectified plate beside it.
    const QRect rect = firstResultRect(512);
    const QRect text(rect.topLeft(),
                     QPoint(plateImageRect(result, 512, 0).left() - 1, rect.bottom()));
    EXPECT_EQ(regionOf(shown, text), regionOf(expected, text));
}

} // namespace
