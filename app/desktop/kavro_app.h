#pragma once
// CKavroApp: start-up of the desktop program and the commands that belong to
// the application rather than the view: new and open, save, print set-up, the
// recent-file list and the about box. A QApplication must exist before it.

#include "app/desktop/recent_file_list.h"

#include <QObject>
#include <QPrinter>
#include <QStringList>

#include <functional>
#include <memory>

class CKavroDoc;
class CMainFrame;

class CKavroApp : public QObject {
    Q_OBJECT
public:
    // Asks for a document path to open or save; empty when cancelled.
    using PathChooser = std::function<QString(QWidget* parent, const QString& suggestion)>;

    CKavroApp();
    ~CKavroApp() override;

    // Creates the document, the frame and the view and shows the frame; a
    // command-line argument is opened as the document. False ends the program.
    bool InitInstance(const QStringList& arguments);

    void OnFileNew();
    void OnFileOpen();
    bool OpenDocumentFile(const QString& path);
    void OnFileSave();
    void OnFileSaveAs();
    void OnFilePrintSetup();
    void OnAppAbout();

    void SetPathChoosers(PathChooser open, PathChooser save);
    CMainFrame& Frame() const { return *m_frame; }
    CKavroDoc& Document() const { return *m_document; }
    QPrinter& Printer() { return m_printer; }
    const RecentFileList& RecentFiles() const { return *m_recentFiles; }

private:
    void ConnectCommands();
    bool SaveDocumentTo(const QString& path);
    void AddRecentFile(const QString& path);

    std::unique_ptr<CKavroDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<RecentFileList> m_recentFiles;
    QPrinter m_printer;
    PathChooser m_chooseOpenPath;
    PathChooser m_chooseSavePath;
};
