#pragma once
// CMainFrame: the main window at (0, 0), 1,366 x 960, with the menus, the
// toolbar (open a picture, batch), the status bar, the view in the middle and,
// once a folder is read, the batch panel beside it.

#include <QMainWindow>
#include <QStringList>

class CBatchPanel;
class CKavroDoc;
class CKavroView;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;

// The menu commands that the application object or the view answer.
struct FrameCommands {
    QAction* fileNew;
    QAction* fileOpen;
    QAction* fileSave;
    QAction* fileSaveAs;
    QAction* fileBatch;
    QAction* filePrint;
    QAction* filePrintPreview;
    QAction* filePrintSetup;
    QAction* appAbout;
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CKavroDoc& document);

    CKavroView& View() const { return *m_view; }
    CBatchPanel& BatchPanel() const { return *m_batchPanel; }
    QDockWidget& BatchDock() const { return *m_batchDock; }
    // Escape: stops a running batch.
    QAction& CancelBatchCommand() const { return *m_cancelBatch; }
    const FrameCommands& Commands() const { return m_commands; }
    QToolBar& ToolBar() const { return *m_wndToolBar; }
    QAction& SingleTestButton() const { return *m_singleTest; }
    QAction& BatchButton() const { return *m_batch; }
    QAction& ToolBarToggle() const { return *m_toolBarToggle; }
    QAction& StatusBarToggle() const { return *m_statusBarToggle; }
    // View > 车牌位置: the view's plate overlays, remembered in the settings.
    QAction& PlateOverlaysToggle() const { return *m_overlaysToggle; }
    QMenu& FileMenu() const { return *m_fileMenu; }

    // Lists `files` in the File menu, "&1 path" first; a disabled "最近的文件"
    // stands in for an empty list.
    void ShowRecentFiles(const QStringList& files);

signals:
    void recentFileChosen(const QString& path);

protected:
    // Watches the application's key releases to keep the lock indicators current.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Stops a running batch before the window goes.
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateBatchPanel();
    void CreateOverlaysToggle();
    void StartBatch(const QString& folder);
    void ShowBatchRunning(bool running);
    void ShowSaveCommands();
    void ShowTitle(const QString& documentTitle);
    void UpdateIndicators();

    CKavroView* m_view;
    CBatchPanel* m_batchPanel = nullptr;
    QDockWidget* m_batchDock = nullptr;
    QAction* m_cancelBatch = nullptr;
    FrameCommands m_commands{};
    QToolBar* m_wndToolBar = nullptr;
    QAction* m_singleTest = nullptr;
    QAction* m_batch = nullptr;
    QAction* m_toolBarToggle = nullptr;
    QAction* m_statusBarToggle = nullptr;
    QAction* m_overlaysToggle = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentStart = nullptr; // the separator above the recent files
    QList<QAction*> m_recentFiles;
    QLabel* m_capsIndicator = nullptr;
    QLabel* m_numIndicator = nullptr;
    QLabel* m_scrollIndicator = nullptr;
};
