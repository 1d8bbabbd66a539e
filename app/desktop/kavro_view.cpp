#include "app/desktop/kavro_view.h"

#include "app/desktop/desktop_files.h"
#include "app/desktop/view_drawing.h"
#include "image/message_sink.h"
#include "res/string_table.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QUrl>

#include <exception>
#include <new>

using namespace kavro;

namespace {

constexpr QSize startupScrollSize{100, 100};
constexpr int scrollWidthFactor = 5;  // scrollable width: five working widths
constexpr int scrollHeightFactor = 2; // scrollable height: two working heights
constexpr int linesPerTotal = 100;    // a scroll line is a hundredth of the total size
constexpr double screenDotsPerInch = 96.0;

QString choosePictureFile() {
    return QFileDialog::getOpenFileName(nullptr, QString(), QDir::rootPath() + "*.*",
                                        QString::fromUtf8(strings::pictureFilter));
}

QString chooseBatchFolder() {
    return QFileDialog::getExistingDirectory(nullptr,
                                             QString::fromUtf8(strings::chooseBatchFolder));
}

QStringList localFiles(const QMimeData& data) {
    QStringList paths;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    return paths;
}

void configureScrollBar(QScrollBar& bar, int total, int visible) {
    bar.setRange(0, std::max(0, total - visible));
    bar.setPageStep(visible);
    bar.setSingleStep(std::max(1, total / linesPerTotal));
}

} // namespace

CKavroView::CKavroView(CKavroDoc* document, QWidget* parent)
    : QAbstractScrollArea(parent), m_pDocument(document), m_totalSize(startupScrollSize),
      m_chooseFile(choosePictureFile), m_chooseFolder(chooseBatchFolder) {
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
}

void CKavroView::OnInitialUpdate() {
    SetScrollSizes(startupScrollSize);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

void CKavroView::OnDraw(QPainter& painter) const {
    if (m_pDocument == nullptr) {
        return;
    }
    if (m_session.picture.GetBits() == nullptr) {
        drawInstruction(painter);
        return;
    }
    const RecognitionContext& context = m_session.context;
    DrawPixels(&painter, context.planeWidth, context.planeHeight, context.colourPlane.get());
    if (m_resultReady) {
        drawResult(painter, m_session.result, context.planeWidth);
        if (m_showOverlays) {
            drawOverlays(painter, m_session);
        }
    }
}

void CKavroView::SetOverlaysShown(bool shown) {
    m_showOverlays = shown;
    viewport()->update();
}

bool CKavroView::ProcessImageFile(const QString& path) {
    const bool read = ReadPicture(path, readerForExtension(toPath(path)));
    if (read) {
        emit fileOpened(path);
    }
    return read;
}

void CKavroView::OnSingleTest() {
    const QString path = m_chooseFile();
    if (!path.isEmpty()) {
        OpenFile(path);
    }
}

void CKavroView::OnBatch() {
    const QString folder = m_chooseFolder();
    if (!folder.isEmpty()) {
        emit batchRequested(folder);
    }
}

void CKavroView::OnRButtonDown(QPoint point) {
    if (point.y() < m_session.context.planeHeight) {
        RunCommand([this] { RecogniseAgain(); });
    }
}

void CKavroView::OnDropFiles(const QStringList& paths) {
    QStringList folders;
    RunCommand([&] {
        for (const QString& path : paths) {
            if (QFileInfo(path).isDir()) {
                folders << path;
            } else {
                ProcessImageFile(path);
            }
        }
    });
    if (!folders.isEmpty()) {
        emit batchRequested(folders.front());
    }
}

bool CKavroView::OpenFile(const QString& path) {
    bool read = false;
    RunCommand([&] { read = ProcessImageFile(path); });
    return read;
}

bool CKavroView::ShowBatchFile(const QString& path) {
    bool read = false;
    RunCommand([&] { read = ReadPicture(path, PictureReader::byContent); });
    return read;
}

FileReport CKavroView::Report() const {
    FileReport report;
    report.file = m_picturePath.toStdString();
    report.plates = platesOf(m_session);
    report.elapsedMs = m_elapsedMs;
    return report;
}

QImage CKavroView::AnnotatedPicture() const {
    return annotatedPicture(pictureImage(m_session.context.source()), m_session.plates);
}

void CKavroView::OnFilePrint(QPrinter& printer) {
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) {
        PrintTo(printer);
    }
}

void CKavroView::OnFilePrintPreview(QPrinter& printer) {
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* page) { PrintTo(*page); });
    preview.exec();
}

void CKavroView::PrintTo(QPrinter& printer) const {
    QPainter painter(&printer);
    // One view pixel takes the room it takes on a screen.
    painter.scale(printer.logicalDpiX() / screenDotsPerInch,
                  printer.logicalDpiY() / screenDotsPerInch);
    OnDraw(painter);
}

void CKavroView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    OnDraw(painter);
}

void CKavroView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CKavroView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        OnRButtonDown(event->position().toPoint());
    }
}

void CKavroView::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(*event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CKavroView::dragMoveEvent(QDragMoveEvent* event) {
    if (!localFiles(*event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CKavroView::dropEvent(QDropEvent* event) {
    const QStringList paths = localFiles(*event->mimeData());
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        OnDropFiles(paths);
    }
}

void CKavroView::SetScrollSizes(QSize total) {
    m_totalSize = total;
    UpdateScrollBars();
}

void CKavroView::UpdateScrollBars() {
    const QSize visible = viewport()->size();
    configureScrollBar(*horizontalScrollBar(), m_totalSize.width(), visible.width());
    configureScrollBar(*verticalScrollBar(), m_totalSize.height(), visible.height());
}

// A file that is not read leaves the picture as it was and reads its plates again.
bool CKavroView::ReadPicture(const QString& path, PictureReader reader) {
    const Clock::time_point start = Clock::now();
    const bool read = reader != PictureReader::none && readPicture(m_session, toPath(path), reader);
    if (read) {
        m_resultReady = false;
        m_picturePath = path;
        const RecognitionContext& context = m_session.context;
        SetScrollSizes(QSize(context.planeWidth * scrollWidthFactor,
                             context.planeHeight * scrollHeightFactor));
    }
    RecogniseAgain(read ? start : Clock::now());
    if (read) {
        emit pictureRead(path);
    }
    return read;
}

void CKavroView::RecogniseAgain(Clock::time_point start) {
    if (recogniseCurrent(m_session)) {
        m_elapsedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        m_resultReady = true;
        viewport()->update();
        emit resultUpdated();
    }
}

void CKavroView::RunCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::bad_alloc&) {
        showMessage(strings::outOfMemory);
    } catch (const std::exception& error) {
        showMessage(error.what());
    }
    viewport()->update();
}
