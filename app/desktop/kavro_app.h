#pragma once
// CKavroApp: start-up of the desktop program and the commands that belong to
// the application rather than the view: new and open, save, print set-up, the
// recent-file list and the about box. A QApplication must exist before it.

#include "app/desktop/desktop_files.h"
#include "app/desktop/recent_file_list.h"

#include <QObject>
#include <QPrinter>
#include <QStringList>

#include <memory>

class CKavroDoc;
class CMainFrame;

class CKavroApp : public QObject {
    Q_OBJECT
public:
    CKavroApp();
    ~CKavroApp() override;

    // Creates the document, the frame and the view and shows the frame; a
    // picture named on the command line is opened. False ends the program.
    bool InitInstance(const QStringList& arguments);

    void OnFileNew();
    // Reads the picture of `path` as the open-file command does; a file the
    // command cannot read leaves the recent-file list.
    bool OpenDocumentFile(const QString& path);
    // Writes the result again where it was saved last, or asks where.
    void OnFileSave();
    // Asks for a file and writes the annotated picture (PNG) or the result
    // (JSON Lines) to it; never over the picture being read.
    void OnFileSaveAs();
    void OnFilePrintSetup();
    void OnAppAbout();

    void SetOutputChooser(OutputChooser chooser) { m_chooseOutput = std::move(chooser); }
    CMainFrame& Frame() const { return *m_frame; }
    CKavroDoc& Document() const { return *m_document; }
    QPrinter& Printer() { return m_printer; }
    const RecentFileList& RecentFiles() const { return *m_recentFiles; }

private:
    void ConnectCommands();
    bool SaveDocumentTo(const OutputTarget& target);
    void AddRecentFile(const QString& path);

    std::unique_ptr<CKavroDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<RecentFileList> m_recentFiles;
    QPrinter m_printer;
    OutputChooser m_chooseOutput;
};
