#include "app/desktop/about_dlg.h"
#include "app/desktop/kavro_doc.h"
#include "app/desktop/message_box.h"
#include "app/desktop/view_drawing.h"
#include "desktop_fixture.h"
#include "res/string_table.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

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

// Runs `check` on the modal dialog that the next call opens, then closes it.
void whenModal(std::function<void(QWidget&)> check) {
    QTimer::singleShot(0, [check = std::move(check)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        check(*modal);
        modal->close();
    });
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
    EXPECT_EQ(
        texts(frame().FileMenu().actions()),
        QStringList({"新建(&N)", "打开(&O)...", "保存(&S)", "另存为(&A)...", "-", "打印(&P)...",
                     "打印预览(&V)", "打印设置(&R)...", "-", "最近的文件", "-", "退出(&X)"}));
    const FrameCommands& commands = frame().Commands();
    EXPECT_EQ(commands.fileNew->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(commands.fileOpen->shortcut(), QKeySequence("Ctrl+O"));
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
    EXPECT_EQ(texts(menus[2]->menu()->actions()), QStringList({"工具栏(&T)", "状态栏(&S)"}));
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

TEST_F(ShellTest, OpenedDocumentsFillTheRecentFileList) {
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
    EXPECT_FALSE(view().IsResultReady()); // opening a document reads no picture

    QFile::remove(files[4]);
    EXPECT_FALSE(app.OpenDocumentFile(files[4]));
    EXPECT_EQ(messages, std::vector<std::string>{strings::openDocumentFailed});
    EXPECT_EQ(app.RecentFiles().Files().front(), files[3]);
}

TEST_F(ShellTest, SaveWritesAnEmptyFile) {
    const QString saved = path("saved.kavro");
    app.SetPathChoosers({}, [&](QWidget*, const QString& suggestion) {
        EXPECT_EQ(suggestion.toStdString(), "车牌识别DEMO V1.0");
        return saved;
    });
    frame().Commands().fileSave->trigger();
    EXPECT_TRUE(QFileInfo::exists(saved));
    EXPECT_EQ(QFileInfo(saved).size(), 0);
    EXPECT_EQ(app.Document().GetTitle().toStdString(), "saved.kavro");
    EXPECT_EQ(app.RecentFiles().Files(), QStringList({saved}));
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
