#pragma once
// The batch panel beside the view: a progress bar with Cancel while a folder is
// read, the results table (file, plate, type, confidence, time) filled in the
// folder's order, and the export of the table as CSV or JSON Lines.

#include "app/desktop/batch_runner.h"
#include "app/desktop/desktop_files.h"

#include <QWidget>

#include <vector>

class QProgressBar;
class QPushButton;
class QTableWidget;

class CBatchPanel : public QWidget {
    Q_OBJECT
public:
    explicit CBatchPanel(QWidget* parent = nullptr);

    // Reads the pictures of `folder` in the background, in place of the last
    // batch; a message when the folder holds none. False when nothing started.
    bool StartFolder(const QString& folder);
    void Cancel() { m_runner.Cancel(); }
    // Cancels and waits for the workers (the window closes).
    void Stop() { m_runner.Stop(); }
    bool IsRunning() const { return m_runner.IsRunning(); }
    // Asks for a file and writes the table to it.
    void OnExport();

    void SetOutputChooser(OutputChooser chooser) { m_chooseOutput = std::move(chooser); }
    const std::vector<FileReport>& Reports() const { return m_reports; }
    QTableWidget& Table() const { return *m_table; }
    QProgressBar& Progress() const { return *m_progress; }
    QPushButton& CancelButton() const { return *m_cancel; }
    QPushButton& ExportButton() const { return *m_export; }

signals:
    void runningChanged(bool running);
    // A row was clicked: show this file.
    void fileChosen(const QString& path);

private:
    void AddReport(std::size_t index, const FileReport& report);
    void Finish();
    QString ExportSuggestion() const;

    BatchRunner m_runner;
    QString m_folder;
    std::vector<FileReport> m_reports;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
    QTableWidget* m_table;
    QPushButton* m_export;
    OutputChooser m_chooseOutput;
};
