#include "app/desktop/batch_panel.h"

#include "app/desktop/batch_table.h"
#include "app/driver/picture_folder.h"
#include "image/message_sink.h"
#include "res/string_table.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace kavro;

namespace {

constexpr OutputFormat exportFormats[] = {OutputFormat::csv, OutputFormat::jsonLines};

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

CBatchPanel::CBatchPanel(QWidget* parent)
    : QWidget(parent), m_progress(new QProgressBar(this)),
      m_cancel(new QPushButton(QString::fromUtf8(strings::batchCancel), this)),
      m_table(new QTableWidget(0, batchColumnCount, this)),
      m_export(new QPushButton(QString::fromUtf8(strings::batchExport), this)),
      m_chooseOutput(chooseOutputFile) {
    m_progress->setFormat(QString::fromUtf8(strings::batchProgress));
    QStringList titles;
    for (const char* title : strings::batchColumns) {
        titles << QString::fromUtf8(title);
    }
    m_table->setHorizontalHeaderLabels(titles);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_export->setEnabled(false);

    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_cancel);
    auto* exportRow = new QHBoxLayout;
    exportRow->addStretch(1);
    exportRow->addWidget(m_export);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(progressRow);
    layout->addWidget(m_table, 1);
    layout->addLayout(exportRow);
    m_cancel->hide();

    connect(m_cancel, &QPushButton::clicked, this, &CBatchPanel::Cancel);
    connect(m_export, &QPushButton::clicked, this, &CBatchPanel::OnExport);
    connect(&m_runner, &BatchRunner::fileRead, this, &CBatchPanel::AddReport);
    connect(&m_runner, &BatchRunner::finished, this, &CBatchPanel::Finish);
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row) {
        emit fileChosen(QString::fromStdString(m_reports[static_cast<std::size_t>(row)].file));
    });
}

bool CBatchPanel::StartFolder(const QString& folder) {
    if (IsRunning()) {
        return false;
    }
    FolderPictures listing = picturesInFolder(toPath(folder), false);
    if (listing.error) {
        showMessage(strings::folderUnreadable);
        return false;
    }
    std::vector<std::filesystem::path> files = std::move(listing.pictures);
    if (files.empty()) {
        showMessage(strings::folderHasNoPictures);
        return false;
    }
    m_folder = folder;
    m_reports.clear();
    m_table->setRowCount(0);
    m_progress->setRange(0, static_cast<int>(files.size()));
    m_progress->setValue(0);
    m_cancel->show();
    m_export->setEnabled(false);
    m_runner.Start(std::move(files));
    emit runningChanged(true);
    return true;
}

void CBatchPanel::OnExport() {
    const std::optional<OutputTarget> target =
        m_chooseOutput(this, ExportSuggestion(), exportFormats);
    if (!target) {
        return;
    }
    const bool overPicture =
        std::any_of(m_reports.begin(), m_reports.end(), [&](const FileReport& report) {
            return isSameFile(target->path, QString::fromStdString(report.file));
        });
    if (overPicture) {
        showMessage(strings::sourcePictureProtected);
        return;
    }
    writeAtomically(target->path, target->format == OutputFormat::csv ? csvOf(m_reports)
                                                                      : jsonLinesOf(m_reports));
}

void CBatchPanel::AddReport(std::size_t index, const FileReport& report) {
    Q_ASSERT(index == m_reports.size());
    m_reports.push_back(report);
    const BatchRow texts = batchRowOf(report);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    for (int column = 0; column < batchColumnCount; ++column) {
        m_table->setItem(row, column, cell(texts[column]));
    }
    // The file's name is enough in the table; the whole path is in its tooltip.
    QTableWidgetItem& file = *m_table->item(row, fileColumn);
    file.setText(QFileInfo(texts[fileColumn]).fileName());
    file.setToolTip(texts[fileColumn]);
    m_progress->setValue(static_cast<int>(m_reports.size()));
}

void CBatchPanel::Finish() {
    m_cancel->hide();
    m_export->setEnabled(!m_reports.empty());
    emit runningChanged(false);
}

QString CBatchPanel::ExportSuggestion() const {
    return QDir(m_folder).filePath(QDir(m_folder).dirName());
}
