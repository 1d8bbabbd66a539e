#pragma once
// CKavroView: the program's only view. It owns the current picture, its working
// planes and the plates read from it; it draws the picture with the plates to
// its right (or an instruction before the first picture) and takes the user's
// input: the open-file command, the batch command, dropped files and folders and
// a right click on the picture.

#include "app/driver/picture_session.h"
#include "cli/file_report.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

class CKavroDoc;
class QPainter;
class QPrinter;

class CKavroView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Asks for the picture file of the open-file command, or the folder of the
    // batch command; empty when cancelled.
    using FileChooser = std::function<QString()>;

    explicit CKavroView(CKavroDoc* document, QWidget* parent = nullptr);

    // Back to the start-up scroll size; called for every new or opened document.
    void OnInitialUpdate();
    // Draws in view coordinates (the scroll offset is applied by the caller).
    void OnDraw(QPainter& painter) const;

    // Reads the file when its extension is exactly "bmp" or "jpg", then reads
    // the plates of the current picture again (if there is one) and repaints.
    // True when the file was read.
    bool ProcessImageFile(const QString& path);

    // Commands; each ends on its own with a message if memory runs out.
    void OnSingleTest();
    // Asks for a folder and asks for a batch of it.
    void OnBatch();
    void OnRButtonDown(QPoint point); // client coordinates
    // Reads the dropped files in order; a dropped folder is read as a batch.
    void OnDropFiles(const QStringList& paths);
    // Opens a picture file the way the open-file command does; true when read.
    bool OpenFile(const QString& path);
    // Shows a file of a batch: read whatever its extension, as the batch read it.
    bool ShowBatchFile(const QString& path);
    void OnFilePrint(QPrinter& printer);
    void OnFilePrintPreview(QPrinter& printer);
    // Draws what the view draws on the printer's page.
    void PrintTo(QPrinter& printer) const;

    void SetFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void SetFolderChooser(FileChooser chooser) { m_chooseFolder = std::move(chooser); }
    QSize GetTotalSize() const { return m_totalSize; }
    bool IsResultReady() const { return m_resultReady; }
    // Whether the plates' outlines and rectified images are drawn (they are at first).
    void SetOverlaysShown(bool shown);
    bool AreOverlaysShown() const { return m_showOverlays; }
    const kavro::PictureSession& GetSession() const { return m_session; }
    // The file the current picture was read from; empty before the first.
    const QString& GetPicturePath() const { return m_picturePath; }
    // The current result as kavro-cli reports it (the time of its reading and
    // recognition included).
    FileReport Report() const;
    // The picture at its own resolution with the plates outlined and labelled.
    QImage AnnotatedPicture() const;

signals:
    // The plates of the current picture were read (again).
    void resultUpdated();
    // A new picture is shown, read from `path`.
    void pictureRead(const QString& path);
    // The open-file command, a drop or OpenFile read the picture of `path`.
    void fileOpened(const QString& path);
    void batchRequested(const QString& folder);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    using Clock = std::chrono::steady_clock;

    bool ReadPicture(const QString& path, kavro::PictureReader reader);
    void SetScrollSizes(QSize total);
    void UpdateScrollBars();
    // Recognises the current picture again; the result's time counts from `start`.
    void RecogniseAgain(Clock::time_point start = Clock::now());
    void RunCommand(const std::function<void()>& command);

    CKavroDoc* m_pDocument;
    kavro::PictureSession m_session;
    bool m_resultReady = false;
    bool m_showOverlays = true;
    QString m_picturePath;
    double m_elapsedMs = 0;
    QSize m_totalSize;
    FileChooser m_chooseFile;
    FileChooser m_chooseFolder;
};
