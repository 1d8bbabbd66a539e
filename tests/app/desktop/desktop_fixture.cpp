#include "desktop_fixture.h"

#include "res/string_table.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSettings>

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
