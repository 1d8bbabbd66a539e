// Batch reading of a folder from the desktop program: drawn scenes with known
// plates, a broken file among them, read in the background into the table.

#include "app/desktop/batch_panel.h"
#include "app/desktop/batch_table.h"
#include "app/desktop/kavro_doc.h"
#include "desktop_fixture.h"
#include "res/string_table.h"
#include "tools/scenegen/encoders.h"

#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <nlohmann/json.hpp>

#include <filesystem>

using namespace kavro;

namespace {

constexpr int manyCopies = 240;
constexpr int finishMs = 60000;

class BatchTest : public DesktopTest {
protected:
    CBatchPanel& panel() { return frame().BatchPanel(); }

    QString folder(const QString& name) {
        QDir().mkpath(path(name));
        return path(name);
    }
    // Starts a batch of `folder` with the File menu's command.
    void startBatch(const QString& folder) {
        view().SetFolderChooser([folder] { return folder; });
        frame().Commands().fileBatch->trigger();
    }
    // Lets the GUI thread work until the batch ends; false if it does not
    // within `limitMs`.
    bool waitForEnd(int limitMs) {
        QElapsedTimer timer;
        timer.start();
        while (panel().IsRunning() && timer.elapsed() < limitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return !panel().IsRunning();
    }
    bool waitForRows(int rows) {
        QElapsedTimer timer;
        timer.start();
        while (panel().Table().rowCount() < rows && timer.elapsed() < finishMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return panel().Table().rowCount() >= rows;
    }
    QStringList column(int index) {
        QStringList texts;
        for (int row = 0; row < panel().Table().rowCount(); ++row) {
            texts << panel().Table().item(row, index)->text();
        }
        return texts;
    }
    // A folder of the same large searched picture many times over: a batch that
    // takes several seconds.
    QString manyPictures() {
        const QString many = folder("many");
        SceneOptions options;
        options.formats = {2};
        options.pictureSize = QSize(1600, 1200);
        const Scene scene = drawScene(7301, options);
        const std::vector<std::uint8_t> jpeg = encodeJpeg(scene.image, scene.jpegQuality);
        const QString first =
            writeBytes("many/0000.jpg", QByteArray(reinterpret_cast<const char*>(jpeg.data()),
                                                   static_cast<qsizetype>(jpeg.size())));
        for (int i = 1; i < manyCopies; ++i) {
            std::filesystem::create_hard_link(
                toPath(first), toPath(QDir(many).filePath(
                                   QStringLiteral("%1.jpg").arg(i, 4, 10, QLatin1Char('0')))));
        }
        return many;
    }
};

TEST_F(BatchTest, FolderFillsTheTableInOrderAndExports) {
    const QString photos = folder("photos");
    PlateTruth first{}, second{}, third{};
    writeScene("photos/a-first.jpg", 7101, &first);
    writeScene("photos/b-second.jpg", 7102, &second);
    writeBytes("photos/c-broken.jpg", "named a picture, but no picture\n");
    writeScene("photos/d-third.JPG", 7105, &third); // told by content
    writeBytes("photos/notes.txt", "not a picture\n");
    writeScene("photos/more/e-below.jpg", 7106); // sub-folders are not read

    startBatch(photos);
    EXPECT_TRUE(frame().BatchDock().isVisible());
    EXPECT_TRUE(panel().IsRunning());
    EXPECT_FALSE(frame().Commands().fileBatch->isEnabled());
    EXPECT_FALSE(frame().BatchButton().isEnabled());
    EXPECT_TRUE(frame().CancelBatchCommand().isEnabled());
    ASSERT_TRUE(waitForEnd(finishMs));
    EXPECT_TRUE(frame().Commands().fileBatch->isEnabled());
    EXPECT_FALSE(frame().CancelBatchCommand().isEnabled());

    EXPECT_EQ(column(fileColumn),
              QStringList({"a-first.jpg", "b-second.jpg", "c-broken.jpg", "d-third.JPG"}));
    const QStringList plates = column(plateColumn);
    ASSERT_EQ(plates.size(), 4);
    EXPECT_EQ(plates[0].toStdString(), first.text);
    EXPECT_EQ(plates[1].toStdString(), second.text);
    EXPECT_TRUE(plates[2].startsWith(QStringLiteral("错误："))) << plates[2].toStdString();
    EXPECT_EQ(plates[3].toStdString(), third.text);
    EXPECT_EQ(column(typeColumn)[0].toStdString(), "小型汽车 - 蓝底白字");
    EXPECT_EQ(panel().Progress().value(), 4);
    EXPECT_TRUE(messages.empty());

    // A click on a row shows that picture with its plates.
    QTableWidget& table = panel().Table();
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {},
                      table.visualItemRect(table.item(3, plateColumn)).center());
    EXPECT_EQ(view().GetPicturePath(), path("photos/d-third.JPG"));
    EXPECT_EQ(frame().windowTitle().toStdString(), "d-third.JPG - Kavro");
    EXPECT_EQ(QString::fromStdString(view().Report().plates.at(0).text), plates[3]);
    EXPECT_TRUE(app.RecentFiles().Files().isEmpty());

    OutputTarget target{path("table.csv"), OutputFormat::csv};
    panel().SetOutputChooser(
        [&](QWidget*, const QString&, std::span<const OutputFormat>) { return target; });
    ASSERT_TRUE(panel().ExportButton().isEnabled());
    panel().ExportButton().click();
    const QStringList lines = QString::fromUtf8(contentOf(target.path)).split("\r\n");
    ASSERT_EQ(lines.size(), 6) << lines.join('|').toStdString(); // and the empty rest
    EXPECT_EQ(lines[0].toStdString(), "文件,车牌,类型,置信度,用时 (ms)");
    EXPECT_TRUE(lines[1].startsWith(path("photos/a-first.jpg") + "," +
                                    QString::fromStdString(first.text) + ",小型汽车 - 蓝底白字,"))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[3].startsWith(path("photos/c-broken.jpg") + ",错误："));
    EXPECT_TRUE(lines[5].isEmpty());

    target = OutputTarget{path("table.jsonl"), OutputFormat::jsonLines};
    panel().ExportButton().click();
    const QList<QByteArray> json = contentOf(target.path).split('\n');
    ASSERT_EQ(json.size(), 5);
    for (int i = 0; i < 4; ++i) {
        const auto object = nlohmann::json::parse(json[i].toStdString());
        EXPECT_EQ(QFileInfo(QString::fromStdString(object["file"])).fileName(),
                  panel().Table().item(i, fileColumn)->text());
        EXPECT_EQ(object.contains("error"), i == 2);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(BatchTest, EscapeCancelsWithinASecond) {
    const QString many = manyPictures();
    frame().show();
    frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame()));
    view().SetFolderChooser([many] { return many; });
    QTest::keyClick(&frame(), Qt::Key_B, Qt::ControlModifier);
    ASSERT_TRUE(panel().IsRunning());
    ASSERT_TRUE(waitForRows(1));

    QElapsedTimer cancelled;
    cancelled.start();
    QTest::keyClick(&frame(), Qt::Key_Escape);
    ASSERT_TRUE(waitForEnd(finishMs));
    EXPECT_LT(cancelled.elapsed(), 1000);
    const int rows = panel().Table().rowCount();
    EXPECT_LT(rows, manyCopies);
    EXPECT_EQ(panel().Progress().value(), rows);
    QStringList inOrder;
    for (int i = 0; i < rows; ++i) {
        inOrder << QStringLiteral("%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
    }
    EXPECT_EQ(column(fileColumn), inOrder);
    EXPECT_TRUE(panel().ExportButton().isEnabled());
}

TEST_F(BatchTest, ClosingDuringABatchStopsTheWorkers) {
    const QString many = manyPictures();
    startBatch(many);
    ASSERT_TRUE(waitForRows(1));
    frame().close();
    EXPECT_FALSE(panel().IsRunning());
    const int rows = panel().Table().rowCount();
    QTest::qWait(200);
    EXPECT_EQ(panel().Table().rowCount(), rows); // nothing arrives after the close

    // The program may also end in the middle of a batch.
    auto other = std::make_unique<CKavroApp>();
    ASSERT_TRUE(other->InitInstance({}));
    setMessageSink([this](std::string_view text) { messages.emplace_back(text); });
    ASSERT_TRUE(other->Frame().BatchPanel().StartFolder(many));
    other.reset();
    EXPECT_TRUE(messages.empty());
}

TEST_F(BatchTest, DroppedFolderStartsABatch) {
    const QString dropped = folder("dropped");
    PlateTruth truth{};
    writeScene("dropped/car.jpg", 7201, &truth);
    const QString beside = write("beside.bmp", testPicture(64, 48, 1), "BMP");
    drop({dropped, beside}); // files are read as ever, the folder as a batch
    EXPECT_EQ(view().GetPicturePath(), beside);
    EXPECT_TRUE(frame().BatchDock().isVisible());
    ASSERT_TRUE(waitForEnd(finishMs));
    EXPECT_EQ(column(plateColumn), QStringList({QString::fromStdString(truth.text)}));
    EXPECT_EQ(view().GetPicturePath(), beside); // the batch leaves the view alone
}

TEST_F(BatchTest, FolderWithoutPicturesSaysSo) {
    const QString empty = folder("empty");
    writeBytes("empty/notes.txt", "not a picture\n");
    startBatch(empty);
    startBatch(path("missing"));
    EXPECT_EQ(messages,
              (std::vector<std::string>{strings::folderHasNoPictures, strings::folderUnreadable}));
    EXPECT_FALSE(panel().IsRunning());
    EXPECT_FALSE(frame().BatchDock().isVisible());
}

} // namespace
