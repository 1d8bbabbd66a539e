#include "app/desktop/desktop_files.h"

#include "desktop_fixture.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

using namespace kavro;

namespace {

using DesktopFilesTest = DesktopTest;

constexpr OutputFormat savedFormats[] = {OutputFormat::annotatedPng, OutputFormat::jsonLines};

// Answers the save dialog: picks file type `type`, types `name` and accepts.
void answerSaveDialog(int type, const QString& name) {
    whenModal([type, name](QWidget& modal) {
        auto* dialog = qobject_cast<QFileDialog*>(&modal);
        ASSERT_NE(dialog, nullptr);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        for (int step = 0; step < type; ++step) {
            QTest::keyClick(types, Qt::Key_Down); // as the user would, so the dialog hears of it
        }
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(field, nullptr);
        field->setText(name);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

TEST_F(DesktopFilesTest, SaveDialogTakesTheTypeFromTheNameOrTheChosenType) {
    struct Case {
        int type;
        const char* typed;
        const char* saved;
        OutputFormat format;
    };
    const Case cases[] = {
        {0, "result", "result.png", OutputFormat::annotatedPng},
        {1, "result", "result.jsonl", OutputFormat::jsonLines},
        {1, "picture.PNG", "picture.PNG", OutputFormat::annotatedPng}, // the name says PNG
        {0, "lines.jsonl", "lines.jsonl", OutputFormat::jsonLines},
    };
    for (const Case& c : cases) {
        answerSaveDialog(c.type, QString::fromUtf8(c.typed));
        const std::optional<OutputTarget> target =
            chooseOutputFile(nullptr, path("suggested"), savedFormats);
        ASSERT_TRUE(target) << c.typed;
        EXPECT_EQ(target->path, path(QString::fromUtf8(c.saved))) << c.typed;
        EXPECT_EQ(target->format, c.format) << c.typed;
    }
}

TEST_F(DesktopFilesTest, SameFileFollowsLinks) {
    const QString file = writeBytes("file.jpg", "picture");
    const QString other = writeBytes("other.jpg", "picture");
    ASSERT_TRUE(QFile::link(file, path("symbolic.jpg")));
    EXPECT_TRUE(isSameFile(file, file));
    EXPECT_TRUE(isSameFile(path("symbolic.jpg"), file));
    EXPECT_TRUE(isSameFile(path("./file.jpg"), file));
    EXPECT_FALSE(isSameFile(other, file)); // the same bytes, another file
    EXPECT_FALSE(isSameFile(path("missing.jpg"), file));
}

} // namespace
