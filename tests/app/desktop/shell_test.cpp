#include "app/desktop/about_dlg.h"
#include "app/desktop/kavro_doc.h"
#include "app/desktop/message_box.h"
#include "app/desktop/view_drawing.h"
#include "desktop_fixture.h"
#include "res/string_table.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <csignal>
#include <sys/resource.h>

using namespace kavro;

namespace {

using ShellTest = DesktopTest;

QStringList texts(const QList<QAction*>& actions) {
    QStringList list;
    for (const QAction* action : actions) {
        list << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return list;
}

// Rows of `image` inside `rect` that hold any non-white pixel, counted as runs.
int inkBands(const QImage& image, const QRect& rect) {
    int bands = 0;
    bool inBand = false;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        bool ink = false;
        for (int x = rect.left(); x <= rect.right() && !ink; ++x) {
            ink = image.pixel(x, y) != qRgb(255, 255, 255);
        }
        bands += ink && !inBand;
        inBand = ink;
    }
    return bands;
}

TEST_F(ShellTest, StartsWithTheInstructionInAFrameAtTheOrigin) {
    EXPECT_EQ(frame().windowTitle().toStdString(), "车牌识别DEMO V1.0 - Kavro");
    EXPECT_EQ(frame().pos(), QPoint(0, 0));
    EXPECT_EQ(frame().size(), QSize(1366, 960));
    EXPECT_EQ(view().GetTotalSize(), QSize(100, 100));
    EXPECT_FALSE(view().IsResultReady());

    const QImage shown = render();
    QImage expected(shown.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
        QPainter painter(&expected);
        drawInstruction(painter);
    }
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(inkBands(shown, instructionRect), 3);
}

TEST_F(ShellTest, ToolBarHasTheOpenAndBatchButtons) {
    const QList<QAction*> buttons = frame().ToolBar().actions();
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(buttons[0], &frame().SingleTestButton());
    EXPECT_TRUE(buttons[1]->isSeparator());
    EXPECT_EQ(buttons[2], &frame().BatchButton());
    EXPECT_EQ(buttons[0]->toolTip().toStdString(), "单个测试");
    EXPECT_EQ(buttons[0]->statusTip().toStdString(), "单个测试");
    EXPECT_EQ(buttons[2]->toolTip().toStdString(), "Batch");
    EXPECT_EQ(buttons[2]->statusTip().toStdString(), "Batch");
    EXPECT_FALSE(buttons[0]->icon().isNull());
    EXPECT_FALSE(buttons[2]->icon().isNull());
}

TEST_F(ShellTest, StatusBarIsIdleWithLockIndicators) {
    QStatusBar& bar = *frame().statusBar();
    EXPECT_EQ(bar.currentMessage().toStdString(), "就绪");
    bar.showMessage(QStringLiteral("单个测试"));
    bar.clearMessage();
    EXPECT_EQ(bar.currentMessage().toStdString(), "就绪");
    QStringList indicators;
    for (const QLabel* label : bar.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        indicators << label->text();
        EXPECT_FALSE(label->isEnabled()); // no lock state without a window system
    }
    EXPECT_EQ(indicators, QStringList({"CAP", "NUM", "SCRL"}));
}

TEST_F(ShellTest, MenusHoldEveryCommand) {
    EXPECT_EQ(texts(frame().menuBar()->actions()),
              QStringList({"文件(&F)", "编辑(&E)", "视图(&V)", "帮助(&H)"}));
    EXPECT_EQ(texts(frame().FileMenu().actions()),
              QStringList({"新建(&N)", "打开(&O)...", "批量识别(&B)...", "保存(&S)",
                           "另存为(&A)...", "-", "打印(&P)...", "打印预览(&V)", "打印设置(&R)...",
                           "-", "最近的文件", "-", "退出(&X)"}));
    const FrameCommands& commands = frame().Commands();
    EXPECT_EQ(commands.fileNew->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(commands.fileOpen->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(commands.fileBatch->shortcut(), QKeySequence("Ctrl+B"));
    EXPECT_EQ(commands.fileSave->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(commands.filePrint->shortcut(), QKeySequence("Ctrl+P"));

    const QList<QAction*> menus = frame().menuBar()->actions();
    const QList<QAction*> edit = menus[1]->menu()->actions();
    EXPECT_EQ(texts(edit), QStringList({"撤消(&U)", "-", "剪切(&T)", "复制(&C)", "粘贴(&P)"}));
    for (const QAction* action : edit) {
        EXPECT_EQ(action->isEnabled(), action->isSeparator()) << action->text().toStdString();
    }
    EXPECT_EQ(edit[0]->shortcuts(),
              QList<QKeySequence>({QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")}));
    EXPECT_EQ(edit[4]->shortcuts(),
              QList<QKeySequence>({QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")}));
    EXPECT_EQ(texts(menus[2]->menu()->actions()),
              QStringList({"工具栏(&T)", "状态栏(&S)", "车牌位置(&L)"}));
    EXPECT_EQ(texts(menus[3]->menu()->actions()), QStringList({"关于 Kavro(&A)..."}));
}

TEST_F(ShellTest, ViewMenuTogglesToolBarAndStatusBar) {
    frame().ToolBarToggle().trigger();
    EXPECT_FALSE(frame().ToolBar().isVisible());
    frame().ToolBarToggle().trigger();
    EXPECT_TRUE(frame().ToolBar().isVisible());
    frame().StatusBarToggle().trigger();
    EXPECT_FALSE(frame().statusBar()->isVisible());
    EXPECT_FALSE(frame().StatusBarToggle().isChecked());
    frame().StatusBarToggle().trigger();
    EXPECT_TRUE(frame().statusBar()->isVisible());
}

TEST_F(ShellTest, OpenedPicturesFillTheRecentFileList) {
    QStringList files;
    for (int i = 0; i < 5; ++i) {
        files << write(QStringLiteral("doc%1.bmp").arg(i), testPicture(8, 8, i), "BMP");
        ASSERT_TRUE(app.OpenDocumentFile(files.back()));
    }
    EXPECT_EQ(app.Document().GetTitle().toStdString(), "doc4.bmp");
    EXPECT_EQ(frame().windowTitle().toStdString(), "doc4.bmp - Kavro");
    const QStringList newestFirst = {files[4], files[3], files[2], files[1]};
    EXPECT_EQ(app.RecentFiles().Files(), newestFirst);
    QSettings settings;
    EXPECT_EQ(settings.value("Recent File List/File1").toString(), files[4]);
    EXPECT_EQ(settings.value("Recent File List/File4").toString(), files[1]);
    EXPECT_FALSE(settings.contains("Recent File List/File5"));
    EXPECT_TRUE(texts(frame().FileMenu().actions()).contains("&1 " + files[4]));
    EXPECT_TRUE(view().IsResultReady());
    EXPECT_EQ(view().GetPicturePath(), files[4]);
}

// The picture named on the command line, File > Open and a recent file all go
// the way of the toolbar's open command.
class OpenTest : public DesktopTest {
protected:
    static constexpr QSize working{512, 384};
    QImage shownPicture() { return regionOf(render(), QRect(QPoint(0, 0), working)); }
    QImage picture(int seed) { return testPicture(working.width(), working.height(), seed); }
    QString bitmap(const QString& name, int seed) { return write(name, picture(seed), "BMP"); }
    QAction* recentEntry(const QString& file) {
        for (QAction* action : frame().FileMenu().actions()) {
            if (action->text().endsWith(" " + file)) {
                return action;
            }
        }
        return nullptr;
    }
};

TEST_F(OpenTest, CommandLinePictureIsShownAndRead) {
    const QString file = bitmap("car.bmp", 1);
    CKavroApp started;
    ASSERT_TRUE(started.InitInstance({file}));
    setMessageSink([this](std::string_view text) { messages.emplace_back(text); });
    CKavroView& shown = started.Frame().View();
    EXPECT_TRUE(shown.IsResultReady());
    EXPECT_EQ(shown.GetPicturePath(), file);
    EXPECT_EQ(started.Frame().windowTitle().toStdString(), "car.bmp - Kavro");
    EXPECT_EQ(shown.GetTotalSize(), QSize(512 * 5, 384 * 2)); // not reset after reading
    const QImage drawn = shown.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(regionOf(drawn, QRect(QPoint(0, 0), working)), picture(1));
    EXPECT_TRUE(messages.empty());
}

TEST_F(OpenTest, UnreadableCommandLinePictureSaysWhyAndEnds) {
    std::string said;
    whenModal([&](QWidget& box) {
        auto* message = qobject_cast<QMessageBox*>(&box);
        ASSERT_NE(message, nullptr);
        said = message->text().toStdString();
    });
    CKavroApp started;
    EXPECT_FALSE(started.InitInstance({path("missing.jpg")}));
    setMessageSink([this](std::string_view text) { messages.emplace_back(text); });
    EXPECT_EQ(said, "Can not open the file!");
}

TEST_F(OpenTest, FileOpenAndRecentFilesReadThePicture) {
    const QString first = bitmap("first.bmp", 2);
    const QString second = bitmap("second.bmp", 3);
    QString chosen = first;
    view().SetFileChooser([&] { return chosen; });
    frame().Commands().fileOpen->trigger();
    EXPECT_EQ(shownPicture(), picture(2));
    EXPECT_EQ(frame().windowTitle().toStdString(), "first.bmp - Kavro");
    chosen = second;
    frame().SingleTestButton().trigger(); // the toolbar: the same command
    EXPECT_EQ(shownPicture(), picture(3));
    EXPECT_EQ(app.RecentFiles().Files(), QStringList({second, first}));

    QAction* recent = recentEntry(first);
    ASSERT_NE(recent, nullptr);
    recent->trigger();
    EXPECT_EQ(shownPicture(), picture(2));
    EXPECT_EQ(frame().windowTitle().toStdString(), "first.bmp - Kavro");
    EXPECT_EQ(app.RecentFiles().Files(), QStringList({first, second}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(OpenTest, UnreadableFilesKeepThePictureAndLeaveTheRecentList) {
    const QString good = bitmap("good.bmp", 4);
    const QString gone = bitmap("gone.bmp", 5);
    ASSERT_TRUE(app.OpenDocumentFile(gone));
    ASSERT_TRUE(app.OpenDocumentFile(good));
    QFile::remove(gone);
    QAction* recent = recentEntry(gone);
    ASSERT_NE(recent, nullptr);
    recent->trigger();
    EXPECT_FALSE(app.OpenDocumentFile(write("photo.png", picture(6), "PNG")));
    EXPECT_EQ(messages,
              (std::vector<std::string>{"Can not open the file!", strings::unsupportedPicture}));
    EXPECT_EQ(app.RecentFiles().Files(), QStringList({good}));
    EXPECT_EQ(shownPicture(), picture(4));
    EXPECT_EQ(frame().windowTitle().toStdString(), "good.bmp - Kavro");
}

// Saving writes the result (JSON Lines) or the annotated picture (PNG), never
// over the picture, and replaces an old file only once the new one is whole.
class SaveTest : public OpenTest {
protected:
    void SetUp() override {
        OpenTest::SetUp();
        app.SetOutputChooser(
            [this](QWidget*, const QString& suggestion, std::span<const OutputFormat> formats) {
                suggestions << suggestion;
                offered.assign(formats.begin(), formats.end());
                return target;
            });
    }
    void saveAs(const QString& file, OutputFormat format) {
        target = OutputTarget{file, format};
        frame().Commands().fileSaveAs->trigger();
    }

    std::optional<OutputTarget> target;
    QStringList suggestions;
    std::vector<OutputFormat> offered;
};

TEST_F(SaveTest, SaveIsOfferedOnlyWithAResult) {
    EXPECT_FALSE(frame().Commands().fileSave->isEnabled());
    EXPECT_FALSE(frame().Commands().fileSaveAs->isEnabled());
    target = OutputTarget{path("nothing.jsonl"), OutputFormat::jsonLines};
    app.OnFileSave(); // as if Ctrl+S reached it anyway
    EXPECT_FALSE(QFileInfo::exists(path("nothing.jsonl")));
    ASSERT_TRUE(app.OpenDocumentFile(bitmap("car.bmp", 7)));
    EXPECT_TRUE(frame().Commands().fileSave->isEnabled());
    EXPECT_TRUE(frame().Commands().fileSaveAs->isEnabled());
}

TEST_F(SaveTest, SaveAfterOpenLeavesTheSourcePictureAsItWas) {
    const QString source = bitmap("car.bmp", 8);
    const QByteArray before = contentOf(source);
    ASSERT_TRUE(app.OpenDocumentFile(source));
    const QString link = path("link.bmp");
    ASSERT_TRUE(QFile::link(source, link));
    for (const QString& over : {source, link}) {
        target = OutputTarget{over, OutputFormat::jsonLines};
        frame().Commands().fileSave->trigger(); // not saved yet: asks where
    }
    EXPECT_EQ(suggestions, QStringList({path("car"), path("car")}));
    EXPECT_EQ(offered, (std::vector{OutputFormat::annotatedPng, OutputFormat::jsonLines}));
    EXPECT_EQ(messages, (std::vector<std::string>(2, strings::sourcePictureProtected)));
    EXPECT_EQ(contentOf(source), before);
}

TEST_F(SaveTest, SaveAsPngWritesTheAnnotatedPictureAndSaveWritesItAgain) {
    ASSERT_TRUE(app.OpenDocumentFile(bitmap("car.bmp", 9)));
    const QString png = path("car.png");
    saveAs(png, OutputFormat::annotatedPng);
    const QImage saved(png, "PNG");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32),
              annotatedPicture(picture(9), view().GetSession().plates));
    EXPECT_NE(saved.convertToFormat(QImage::Format_RGB32), picture(9));

    QFile::remove(png);
    target.reset();
    suggestions.clear();
    frame().Commands().fileSave->trigger(); // saved before: no question
    EXPECT_TRUE(suggestions.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(png));

    ASSERT_TRUE(app.OpenDocumentFile(bitmap("other.bmp", 10)));
    frame().Commands().fileSave->trigger(); // another picture: asks again
    EXPECT_EQ(suggestions, QStringList({path("other")}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(SaveTest, SaveAsJsonWritesTheLineOfKavroCli) {
    PlateTruth truth{};
    const QString scene = writeScene("scene.jpg", 7001, &truth);
    ASSERT_TRUE(app.OpenDocumentFile(scene));
    saveAs(path("scene.jsonl"), OutputFormat::jsonLines);

    QProcess cli;
    cli.start(QStringLiteral(KAVRO_CLI), {QStringLiteral("--json"), scene});
    ASSERT_TRUE(cli.waitForFinished(30000));
    // Everything but the time taken is the same.
    const QRegularExpression time(QStringLiteral("\"elapsed_ms\":[0-9.e+-]+"));
    const QString saved = QString::fromUtf8(contentOf(path("scene.jsonl")));
    const QString printed = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_EQ(QString(saved).remove(time), QString(printed).remove(time));
    EXPECT_EQ(saved.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(saved.contains(QStringLiteral("\"text\":\"") + QString::fromStdString(truth.text)))
        << saved.toStdString();
}

// The annotated picture is drawn in one place: Save As writes, for a bitmap, the
// very picture that kavro-cli --annotate writes, at the picture's own size with
// the plate outlined.
TEST_F(SaveTest, SaveAsPngWritesThePictureOfKavroCliAnnotate) {
    SceneOptions options;
    options.formats = {1};
    options.difficulty = Difficulty::easy;
    options.pictureSize = QSize(1024, 768);
    const Scene scene = drawScene(7002, options);
    const QString bitmap = write("street.bmp", scene.image, "BMP");
    ASSERT_TRUE(app.OpenDocumentFile(bitmap));
    ASSERT_EQ(view().GetSession().result.count, 1);
    saveAs(path("saved.png"), OutputFormat::annotatedPng);

    QProcess cli;
    cli.start(QStringLiteral(KAVRO_CLI), {QStringLiteral("--annotate"), path("cli"), bitmap});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 0);
    const QImage saved(path("saved.png"), "PNG");
    EXPECT_EQ(saved.size(), scene.image.size());
    EXPECT_EQ(saved, QImage(path("cli/street.png"), "PNG"));
    EXPECT_NE(saved.convertToFormat(QImage::Format_RGB888), scene.image);
}

TEST_F(SaveTest, FailedWriteKeepsTheOldFile) {
    ASSERT_TRUE(app.OpenDocumentFile(bitmap("car.bmp", 11)));
    const QByteArray old = "the old result\n";
    const QString file = writeBytes("result.jsonl", old);
    // Files may grow to 8 bytes only while the result is written.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = 8;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    saveAs(file, OutputFormat::jsonLines);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(messages, std::vector<std::string>{strings::saveDocumentFailed});
    EXPECT_EQ(contentOf(file), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"car.bmp", "result.jsonl"}));

    messages.clear();
    saveAs(file, OutputFormat::jsonLines); // Save As again once the disk takes it
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(contentOf(file).startsWith("{\"file\":"));
}

TEST_F(ShellTest, PrintingDrawsTheView) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path("view.pdf"));
    view().PrintTo(printer);
    EXPECT_GT(QFileInfo(path("view.pdf")).size(), 1000);
}

TEST_F(ShellTest, AboutBoxShowsVersionAndClosesWithOk) {
    CAboutDlg about(&frame());
    EXPECT_EQ(about.windowTitle().toStdString(), "关于 Kavro");
    EXPECT_EQ(about.VersionText().text().toStdString(), "车牌识别DEMO 1.0 版");
    EXPECT_FALSE(about.CopyrightText().text().isEmpty());
    EXPECT_FALSE(about.Icon().pixmap().isNull());
    EXPECT_EQ(about.OkButton().text().toStdString(), "确定");
    EXPECT_TRUE(about.OkButton().isDefault());
    // Icon, then the two lines, then the button, left to right; lines one above the other.
    EXPECT_LT(about.Icon().geometry().right(), about.VersionText().x());
    EXPECT_EQ(about.VersionText().x(), about.CopyrightText().x());
    EXPECT_LT(about.VersionText().geometry().bottom(), about.CopyrightText().y());
    EXPECT_LT(about.VersionText().geometry().right(), about.OkButton().x());
    EXPECT_LE(about.OkButton().geometry().right(), about.width());

    whenModal([](QWidget& box) {
        auto* shown = qobject_cast<CAboutDlg*>(&box);
        ASSERT_NE(shown, nullptr);
        shown->OkButton().click();
    });
    frame().Commands().appAbout->trigger();
}

TEST_F(ShellTest, MessageBoxCarriesTheApplicationTitleAndAnOkButton) {
    bool checked = false;
    whenModal([&](QWidget& box) {
        auto* message = qobject_cast<QMessageBox*>(&box);
        ASSERT_NE(message, nullptr);
        EXPECT_EQ(message->windowTitle().toStdString(), "车牌识别演示程序");
        EXPECT_EQ(message->text().toStdString(), "Not a BMP file!");
        EXPECT_EQ(message->standardButtons(), QMessageBox::Ok);
        checked = true;
    });
    showMessageBox("Not a BMP file!");
    EXPECT_TRUE(checked);
}

} // namespace
