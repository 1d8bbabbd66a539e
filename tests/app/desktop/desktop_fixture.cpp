#include "desktop_fixture.h"

#include "res/string_table.h"
#include "tools/scenegen/encoders.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QSettings>
#include <QTimer>
#include <QUrl>

using namespace kavro;

QImage testPicture(int width, int height, int seed) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixel(
                x, y,
                qRgb((x * 3 + seed) & 255, (y * 5 + seed * 7) & 255, (x + y + seed * 13) & 255));
        }
    }
    return picture;
}

QImage regionOf(const QImage& image, const QRect& rect) {
    QImage region(rect.size(), QImage::Format_RGB32);
    region.fill(Qt::white);
    QPainter painter(&region);
    painter.drawImage(QPoint(0, 0), image, rect);
    return region;
}

void whenModal(std::function<void(QWidget&)> check) {
    QTimer::singleShot(0, [check = std::move(check)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        check(*modal);
        modal->close();
    });
}

void DesktopTest::SetUp() {
    QCoreApplication::setOrganizationName(QString::fromUtf8(strings::settingsOrganisation));
    QCoreApplication::setApplicationName(QString::fromUtf8(strings::appTitle));
    QSettings().clear();
    ASSERT_TRUE(app.InitInstance({}));
    m_previousSink = setMessageSink([this](std::string_view text) { messages.emplace_back(text); });
}

void DesktopTest::TearDown() {
    setMessageSink(std::move(m_previousSink));
}

QImage DesktopTest::render() {
    return view().viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QString DesktopTest::write(const QString& name, const QImage& picture, const char* format) {
    const QString file = path(name);
    QDir().mkpath(QFileInfo(file).path());
    EXPECT_TRUE(picture.save(file, format, 100)) << name.toStdString();
    return file;
}

void DesktopTest::drop(const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) {
        urls << QUrl::fromLocalFile(p);
    }
    data.setUrls(urls);
    const QPoint at(50, 50);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view().viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view().viewport(), &dropped);
}

QString DesktopTest::writeBytes(const QString& name, const QByteArray& bytes) {
    const QString file = path(name);
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size())
        << name.toStdString();
    return file;
}

QString DesktopTest::writeScene(const QString& name, std::uint32_t seed, PlateTruth* truth) {
    SceneOptions options;
    options.formats = {1};
    options.difficulty = Difficulty::easy;
    options.pictureSize = QSize(800, 600);
    const Scene scene = drawScene(seed, options);
    if (truth != nullptr) {
        *truth = scene.plates.front();
    }
    return writeScene(name, scene, true);
}

QString DesktopTest::writeScene(const QString& name, const Scene& scene, bool withTrailer) {
    const std::vector<std::uint8_t> bytes =
        withTrailer ? encodeJpegWithTrailer(scene) : encodeJpeg(scene.image, scene.jpegQuality);
    return writeBytes(name, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                       static_cast<qsizetype>(bytes.size())));
}

QByteArray DesktopTest::contentOf(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}
