#include "app/desktop/kavro_app.h"

#include "app/desktop/about_dlg.h"
#include "app/desktop/kavro_doc.h"
#include "app/desktop/kavro_view.h"
#include "app/desktop/main_frame.h"
#include "app/desktop/message_box.h"
#include "res/string_table.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileDialog>
#include <QPageSetupDialog>

namespace {

QString chooseOpenPath(QWidget* parent, const QString&) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                        QString::fromUtf8(strings::documentFilter));
}

QString chooseSavePath(QWidget* parent, const QString& suggestion) {
    return QFileDialog::getSaveFileName(parent, QString(), suggestion,
                                        QString::fromUtf8(strings::documentFilter));
}

} // namespace

CKavroApp::CKavroApp() : m_chooseOpenPath(chooseOpenPath), m_chooseSavePath(chooseSavePath) {}

CKavroApp::~CKavroApp() = default;

bool CKavroApp::InitInstance(const QStringList& arguments) {
    QCoreApplication::setOrganizationName(QString::fromUtf8(strings::settingsOrganisation));
    QCoreApplication::setApplicationName(QString::fromUtf8(strings::appTitle));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(strings::version));
    installMessageBoxSink();
    m_recentFiles = std::make_unique<RecentFileList>();
    m_document = std::make_unique<CKavroDoc>();
    m_frame = std::make_unique<CMainFrame>(*m_document);
    ConnectCommands();
    m_frame->ShowRecentFiles(m_recentFiles->Files());
    const bool opened =
        arguments.isEmpty() ? m_document->OnNewDocument() : OpenDocumentFile(arguments.front());
    if (!opened) {
        return false;
    }
    m_frame->View().OnInitialUpdate();
    m_frame->show();
    return true;
}

void CKavroApp::OnFileNew() {
    if (m_document->OnNewDocument()) {
        m_frame->View().OnInitialUpdate();
    }
}

void CKavroApp::OnFileOpen() {
    const QString path = m_chooseOpenPath(m_frame.get(), QString());
    if (!path.isEmpty()) {
        OpenDocumentFile(path);
    }
}

bool CKavroApp::OpenDocumentFile(const QString& path) {
    if (!m_document->OnOpenDocument(path)) {
        m_recentFiles->Remove(path);
        m_frame->ShowRecentFiles(m_recentFiles->Files());
        return false;
    }
    AddRecentFile(path);
    m_frame->View().OnInitialUpdate();
    return true;
}

void CKavroApp::OnFileSave() {
    const QString& path = m_document->GetPathName();
    if (path.isEmpty()) {
        OnFileSaveAs();
    } else {
        SaveDocumentTo(path);
    }
}

void CKavroApp::OnFileSaveAs() {
    const QString path = m_chooseSavePath(m_frame.get(), m_document->GetTitle());
    if (!path.isEmpty()) {
        SaveDocumentTo(path);
    }
}

void CKavroApp::OnFilePrintSetup() {
    QPageSetupDialog dialog(&m_printer, m_frame.get());
    dialog.exec();
}

void CKavroApp::OnAppAbout() {
    CAboutDlg about(m_frame.get());
    about.exec();
}

void CKavroApp::SetPathChoosers(PathChooser open, PathChooser save) {
    m_chooseOpenPath = std::move(open);
    m_chooseSavePath = std::move(save);
}

void CKavroApp::ConnectCommands() {
    const FrameCommands& commands = m_frame->Commands();
    CKavroView& view = m_frame->View();
    connect(commands.fileNew, &QAction::triggered, this, &CKavroApp::OnFileNew);
    connect(commands.fileOpen, &QAction::triggered, this, &CKavroApp::OnFileOpen);
    connect(commands.fileSave, &QAction::triggered, this, &CKavroApp::OnFileSave);
    connect(commands.fileSaveAs, &QAction::triggered, this, &CKavroApp::OnFileSaveAs);
    connect(commands.filePrint, &QAction::triggered, &view,
            [this, &view] { view.OnFilePrint(m_printer); });
    connect(commands.filePrintPreview, &QAction::triggered, &view,
            [this, &view] { view.OnFilePrintPreview(m_printer); });
    connect(commands.filePrintSetup, &QAction::triggered, this, &CKavroApp::OnFilePrintSetup);
    connect(commands.appAbout, &QAction::triggered, this, &CKavroApp::OnAppAbout);
    connect(m_frame.get(), &CMainFrame::recentFileChosen, this, &CKavroApp::OpenDocumentFile);
}

bool CKavroApp::SaveDocumentTo(const QString& path) {
    if (!m_document->OnSaveDocument(path)) {
        return false;
    }
    AddRecentFile(path);
    return true;
}

void CKavroApp::AddRecentFile(const QString& path) {
    m_recentFiles->Add(path);
    m_frame->ShowRecentFiles(m_recentFiles->Files());
}
