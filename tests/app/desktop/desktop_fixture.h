#pragma once
// A started desktop program with its messages collected, and pictures written
// into a scratch folder.

#include "app/desktop/kavro_app.h"
#include "app/desktop/kavro_view.h"
#include "app/desktop/main_frame.h"
#include "image/message_sink.h"
#include "tools/scenegen/scene.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A picture whose every pixel differs from its neighbours; `seed` tells
// pictures apart.
QImage testPicture(int width, int height, int seed);

// The region of `image` inside `rect`, white outside the image.
QImage regionOf(const QImage& image, const QRect& rect);

// Runs `check` on the modal dialog that the next call opens, then closes it.
void whenModal(std::function<void(QWidget&)> check);

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    CMainFrame& frame() { return app.Frame(); }
    CKavroView& view() { return app.Frame().View(); }
    // The view as it is on screen (at its scroll position).
    QImage render();
    // Writes `picture` as `name` in the scratch folder in `format` ("BMP", "JPG").
    QString write(const QString& name, const QImage& picture, const char* format);
    QString writeBytes(const QString& name, const QByteArray& bytes);
    // A drawn street scene with a blue plate, saved as `name`: a JPEG file with
    // the plate-corner trailer.
    QString writeScene(const QString& name, std::uint32_t seed, PlateTruth* truth = nullptr);
    // `scene` saved as `name`: a JPEG file, with the plate-corner trailer of its
    // first plate when `withTrailer`.
    QString writeScene(const QString& name, const Scene& scene, bool withTrailer);
    static QByteArray contentOf(const QString& file);
    QString path(const QString& name) const { return dir.filePath(name); }
    // Drops `paths` on the view, as a file manager would.
    void drop(const QStringList& paths);

    CKavroApp app;
    std::vector<std::string> messages;
    QTemporaryDir dir;

private:
    kavro::MessageSink m_previousSink;
};
