#include "app/desktop/main_frame.h"

#include "app/desktop/batch_panel.h"
#include "app/desktop/kavro_doc.h"
#include "app/desktop/kavro_view.h"
#include "app/desktop/lock_keys.h"
#include "res/string_table.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>

#include <initializer_list>

using namespace kavro;

namespace {

constexpr QRect startGeometry{0, 0, 1366, 960};
constexpr QSize toolBarButtonSize{16, 15};
constexpr int batchPanelWidth = 460;

// Status-bar text and tooltip from a "prompt\ntooltip" string.
void setPrompt(QAction& action, const char* prompt) {
    const QStringList parts = QString::fromUtf8(prompt).split('\n');
    action.setStatusTip(parts.value(0));
    action.setToolTip(parts.value(1, parts.value(0)));
}

QAction* addCommand(QMenu& menu, const char* text, const char* prompt,
                    std::initializer_list<QKeySequence> shortcuts = {}) {
    QAction* action = menu.addAction(QString::fromUtf8(text));
    setPrompt(*action, prompt);
    action->setShortcuts(QList<QKeySequence>(shortcuts));
    return action;
}

QKeySequence keys(Qt::KeyboardModifiers modifiers, Qt::Key key) {
    return QKeySequence(modifiers | key);
}

} // namespace

CMainFrame::CMainFrame(CKavroDoc& document) : m_view(new CKavroView(&document, this)) {
    setCentralWidget(m_view);
    setWindowIcon(QIcon(QStringLiteral(":/icons/kavro.png")));
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateBatchPanel();
    CreateOverlaysToggle();
    connect(&document, &CKavroDoc::titleChanged, this, &CMainFrame::ShowTitle);
    connect(m_view, &CKavroView::resultUpdated, this, &CMainFrame::ShowSaveCommands);
    ShowSaveCommands();
    ShowTitle(document.GetTitle());
    move(startGeometry.topLeft());
    resize(startGeometry.size());
}

void CMainFrame::ShowRecentFiles(const QStringList& files) {
    for (QAction* action : m_recentFiles) {
        m_fileMenu->removeAction(action);
        action->deleteLater();
    }
    m_recentFiles.clear();
    QAction* before = m_fileMenu->actions().value(m_fileMenu->actions().indexOf(m_recentStart) + 1);
    if (files.isEmpty()) {
        auto* placeholder = new QAction(QString::fromUtf8(strings::fileRecent), m_fileMenu);
        placeholder->setEnabled(false);
        m_recentFiles << placeholder;
    }
    for (int i = 0; i < files.size(); ++i) {
        auto* entry = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(files[i]), m_fileMenu);
        entry->setStatusTip(QString::fromUtf8(strings::fileRecentPrompt));
        connect(entry, &QAction::triggered, this,
                [this, path = files[i]] { emit recentFileChosen(path); });
        m_recentFiles << entry;
    }
    m_fileMenu->insertActions(before, m_recentFiles);
}

void CMainFrame::CreateMenus() {
    using namespace strings;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    m_fileMenu = menuBar()->addMenu(QString::fromUtf8(fileMenu));
    QMenu& file = *m_fileMenu;
    m_commands.fileNew = addCommand(file, fileNew, fileNewPrompt, {QKeySequence::New});
    m_commands.fileOpen = addCommand(file, fileOpen, fileOpenPrompt, {QKeySequence::Open});
    m_commands.fileBatch = addCommand(file, fileBatch, fileBatchPrompt, {keys(ctrl, Qt::Key_B)});
    m_commands.fileSave = addCommand(file, fileSave, fileSavePrompt, {QKeySequence::Save});
    m_commands.fileSaveAs = addCommand(file, fileSaveAs, fileSaveAsPrompt);
    file.addSeparator();
    m_commands.filePrint = addCommand(file, filePrint, filePrintPrompt, {QKeySequence::Print});
    m_commands.filePrintPreview = addCommand(file, filePrintPreview, filePrintPreviewPrompt);
    m_commands.filePrintSetup = addCommand(file, filePrintSetup, filePrintSetupPrompt);
    m_recentStart = file.addSeparator();
    file.addSeparator();
    QAction* exit = addCommand(file, fileExit, fileExitPrompt);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    ShowRecentFiles({});

    QMenu& edit = *menuBar()->addMenu(QString::fromUtf8(editMenu));
    addCommand(edit, editUndo, editUndoPrompt,
               {keys(ctrl, Qt::Key_Z), keys(Qt::AltModifier, Qt::Key_Backspace)});
    edit.addSeparator();
    addCommand(edit, editCut, editCutPrompt, {keys(ctrl, Qt::Key_X), keys(shift, Qt::Key_Delete)});
    addCommand(edit, editCopy, editCopyPrompt, {keys(ctrl, Qt::Key_C), keys(ctrl, Qt::Key_Insert)});
    addCommand(edit, editPaste, editPastePrompt,
               {keys(ctrl, Qt::Key_V), keys(shift, Qt::Key_Insert)});
    for (QAction* action : edit.actions()) {
        action->setEnabled(action->isSeparator()); // nothing in the program edits
    }

    QMenu& view = *menuBar()->addMenu(QString::fromUtf8(viewMenu));
    m_toolBarToggle = addCommand(view, viewToolBar, viewToolBarPrompt);
    m_statusBarToggle = addCommand(view, viewStatusBar, viewStatusBarPrompt);
    m_overlaysToggle = addCommand(view, viewPlateOverlays, viewPlateOverlaysPrompt);

    QMenu& help = *menuBar()->addMenu(QString::fromUtf8(helpMenu));
    m_commands.appAbout = addCommand(help, helpAbout, helpAboutPrompt);
}

void CMainFrame::CreateToolBar() {
    m_wndToolBar = addToolBar(QString::fromUtf8(strings::toolBarTitle));
    m_wndToolBar->setObjectName(QStringLiteral("toolBar"));
    m_wndToolBar->setIconSize(toolBarButtonSize);
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_singleTest = m_wndToolBar->addAction(QIcon(QStringLiteral(":/icons/open.png")), QString());
    setPrompt(*m_singleTest, strings::singleTestPrompt);
    m_wndToolBar->addSeparator();
    m_batch = m_wndToolBar->addAction(QIcon(QStringLiteral(":/icons/batch.png")), QString());
    setPrompt(*m_batch, strings::batchPrompt);
    connect(m_singleTest, &QAction::triggered, m_view, &CKavroView::OnSingleTest);
    connect(m_batch, &QAction::triggered, m_view, &CKavroView::OnBatch);
    connect(m_commands.fileBatch, &QAction::triggered, m_view, &CKavroView::OnBatch);

    m_toolBarToggle->setCheckable(true);
    m_toolBarToggle->setChecked(true);
    connect(m_toolBarToggle, &QAction::toggled, m_wndToolBar, &QWidget::setVisible);
    connect(m_wndToolBar, &QToolBar::visibilityChanged, m_toolBarToggle, &QAction::setChecked);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar& bar = *statusBar();
    // The idle text comes back whenever a command's prompt goes away.
    connect(&bar, &QStatusBar::messageChanged, &bar, [&bar](const QString& message) {
        if (message.isEmpty()) {
            bar.showMessage(QString::fromUtf8(strings::idle));
        }
    });
    bar.showMessage(QString::fromUtf8(strings::idle));
    const auto addIndicator = [&bar](const char* text) {
        auto* label = new QLabel(QString::fromUtf8(text), &bar);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar.addPermanentWidget(label);
        return label;
    };
    m_capsIndicator = addIndicator(strings::capsIndicator);
    m_numIndicator = addIndicator(strings::numIndicator);
    m_scrollIndicator = addIndicator(strings::scrollIndicator);
    UpdateIndicators();
    qApp->installEventFilter(this);

    m_statusBarToggle->setCheckable(true);
    m_statusBarToggle->setChecked(true);
    connect(m_statusBarToggle, &QAction::toggled, &bar, &QWidget::setVisible);
}

// The panel docks on the right and shows once the first batch starts.
void CMainFrame::CreateBatchPanel() {
    m_batchDock = new QDockWidget(QString::fromUtf8(strings::batchPanelTitle), this);
    m_batchDock->setObjectName(QStringLiteral("batchDock"));
    m_batchPanel = new CBatchPanel(m_batchDock);
    m_batchDock->setWidget(m_batchPanel);
    addDockWidget(Qt::RightDockWidgetArea, m_batchDock);
    resizeDocks({m_batchDock}, {batchPanelWidth}, Qt::Horizontal);
    m_batchDock->hide();

    m_cancelBatch = new QAction(QString::fromUtf8(strings::batchCancel), this);
    setPrompt(*m_cancelBatch, strings::batchCancelPrompt);
    m_cancelBatch->setShortcut(QKeySequence(Qt::Key_Escape));
    m_cancelBatch->setEnabled(false);
    addAction(m_cancelBatch);
    connect(m_cancelBatch, &QAction::triggered, m_batchPanel, &CBatchPanel::Cancel);
    connect(m_view, &CKavroView::batchRequested, this, &CMainFrame::StartBatch);
    connect(m_batchPanel, &CBatchPanel::runningChanged, this, &CMainFrame::ShowBatchRunning);
    connect(m_batchPanel, &CBatchPanel::fileChosen, m_view, &CKavroView::ShowBatchFile);
}

void CMainFrame::CreateOverlaysToggle() {
    const QString key = QStringLiteral("%1/%2").arg(QString::fromUtf8(strings::settingsGroup),
                                                    QString::fromUtf8(strings::plateOverlaysKey));
    m_overlaysToggle->setCheckable(true);
    m_overlaysToggle->setChecked(QSettings().value(key, true).toBool());
    m_view->SetOverlaysShown(m_overlaysToggle->isChecked());
    connect(m_overlaysToggle, &QAction::toggled, this, [this, key](bool shown) {
        m_view->SetOverlaysShown(shown);
        QSettings().setValue(key, shown);
    });
}

void CMainFrame::StartBatch(const QString& folder) {
    if (m_batchPanel->StartFolder(folder)) {
        m_batchDock->show();
    }
}

void CMainFrame::ShowBatchRunning(bool running) {
    m_batch->setEnabled(!running);
    m_commands.fileBatch->setEnabled(!running);
    m_cancelBatch->setEnabled(running);
}

// Saving needs a result to save.
void CMainFrame::ShowSaveCommands() {
    const bool result = m_view->IsResultReady();
    m_commands.fileSave->setEnabled(result);
    m_commands.fileSaveAs->setEnabled(result);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    m_batchPanel->Stop();
    QMainWindow::closeEvent(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease || event->type() == QEvent::ApplicationActivate) {
        UpdateIndicators();
    }
    return QMainWindow::eventFilter(watched, event);
}

// An indicator is drawn in full while its lock is on, greyed otherwise or when
// the window system does not tell.
void CMainFrame::UpdateIndicators() {
    const LockKeys keys = currentLockKeys().value_or(LockKeys{});
    m_capsIndicator->setEnabled(keys.caps);
    m_numIndicator->setEnabled(keys.num);
    m_scrollIndicator->setEnabled(keys.scroll);
}

void CMainFrame::ShowTitle(const QString& documentTitle) {
    setWindowTitle(documentTitle + QStringLiteral(" - ") + QString::fromUtf8(strings::frameTitle));
}
