#include "app/desktop/kavro_app.h"

#include "app/desktop/about_dlg.h"
#include "app/desktop/kavro_doc.h"
#include "app/desktop/kavro_view.h"
#include "app/desktop/main_frame.h"
#include "app/desktop/message_box.h"
#include "image/message_sink.h"
#include "res/string_table.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPageSetupDialog>

using namespace kavro;

namespace {

constexpr OutputFormat documentFormats[] = {OutputFormat::annotatedPng, OutputFormat::jsonLines};

QByteArray documentContent(const CKavroView& view, OutputFormat format) {
    if (format == OutputFormat::annotatedPng) {
        return pngOf(view.AnnotatedPicture());
    }
    return QByteArray::fromStdString(jsonLine(view.Report()) + '\n');
}

} // namespace

CKavroApp::CKavroApp() : m_chooseOutput(chooseOutputFile) {}

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
    m_document->OnNewDocument();
    m_frame->View().OnInitialUpdate();
    if (!arguments.isEmpty() && !OpenDocumentFile(arguments.front())) {
        return false;
    }
    m_frame->show();
    return true;
}

void CKavroApp::OnFileNew() {
    if (m_document->OnNewDocument()) {
        m_frame->View().OnInitialUpdate();
    }
}

// The title and the recent-file list follow the view's signals.
bool CKavroApp::OpenDocumentFile(const QString& path) {
    if (readerForExtension(toPath(path)) == PictureReader::none) {
        showMessage(strings::unsupportedPicture); // the open command reads nothing else
    }
    if (m_frame->View().OpenFile(path)) {
        return true;
    }
    m_recentFiles->Remove(path);
    m_frame->ShowRecentFiles(m_recentFiles->Files());
    return false;
}

void CKavroApp::OnFileSave() {
    if (const std::optional<OutputTarget>& target = m_document->GetSaveTarget()) {
        SaveDocumentTo(*target);
    } else {
        OnFileSaveAs();
    }
}

void CKavroApp::OnFileSaveAs() {
    const QFileInfo picture(m_frame->View().GetPicturePath());
    const std::optional<OutputTarget> target = m_chooseOutput(
        m_frame.get(), picture.dir().filePath(picture.completeBaseName()), documentFormats);
    if (target) {
        SaveDocumentTo(*target);
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

void CKavroApp::ConnectCommands() {
    const FrameCommands& commands = m_frame->Commands();
    CKavroView& view = m_frame->View();
    connect(commands.fileNew, &QAction::triggered, this, &CKavroApp::OnFileNew);
    connect(commands.fileOpen, &QAction::triggered, &view, &CKavroView::OnSingleTest);
    connect(commands.fileSave, &QAction::triggered, this, &CKavroApp::OnFileSave);
    connect(commands.fileSaveAs, &QAction::triggered, this, &CKavroApp::OnFileSaveAs);
    connect(commands.filePrint, &QAction::triggered, &view,
            [this, &view] { view.OnFilePrint(m_printer); });
    connect(commands.filePrintPreview, &QAction::triggered, &view,
            [this, &view] { view.OnFilePrintPreview(m_printer); });
    connect(commands.filePrintSetup, &QAction::triggered, this, &CKavroApp::OnFilePrintSetup);
    connect(commands.appAbout, &QAction::triggered, this, &CKavroApp::OnAppAbout);
    connect(m_frame.get(), &CMainFrame::recentFileChosen, this, &CKavroApp::OpenDocumentFile);
    connect(&view, &CKavroView::pictureRead, m_document.get(), &CKavroDoc::SetPicture);
    connect(&view, &CKavroView::fileOpened, this, &CKavroApp::AddRecentFile);
}

bool CKavroApp::SaveDocumentTo(const OutputTarget& target) {
    const CKavroView& view = m_frame->View();
    if (!view.IsResultReady()) {
        return false;
    }
    if (isSameFile(target.path, view.GetPicturePath())) {
        showMessage(strings::sourcePictureProtected);
        return false;
    }
    if (!writeAtomically(target.path, documentContent(view, target.format))) {
        return false;
    }
    m_document->SetSaveTarget(target);
    return true;
}

void CKavroApp::AddRecentFile(const QString& path) {
    m_recentFiles->Add(path);
    m_frame->ShowRecentFiles(m_recentFiles->Files());
}
