#include "app/desktop/desktop_files.h"

#include "image/message_sink.h"
#include "res/string_table.h"

#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

#include <algorithm>

using namespace kavro;

namespace {

struct FormatEntry {
    OutputFormat format;
    const char* filter;
    const char* suffix;
};

constexpr FormatEntry formatEntries[] = {
    {OutputFormat::annotatedPng, strings::annotatedPngFilter, "png"},
    {OutputFormat::jsonLines, strings::jsonLinesFilter, "jsonl"},
    {OutputFormat::csv, strings::csvFilter, "csv"},
};

const FormatEntry& entryOf(OutputFormat format) {
    return *std::find_if(std::begin(formatEntries), std::end(formatEntries),
                         [format](const FormatEntry& entry) { return entry.format == format; });
}

// The offered format whose extension `path` carries, if any.
std::optional<OutputFormat> formatBySuffix(const QString& path,
                                           std::span<const OutputFormat> formats) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const OutputFormat format : formats) {
        if (suffix == QLatin1String(entryOf(format).suffix)) {
            return format;
        }
    }
    return std::nullopt;
}

} // namespace

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

std::optional<OutputTarget> chooseOutputFile(QWidget* parent, const QString& suggestion,
                                             std::span<const OutputFormat> formats) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const OutputFormat format : formats) {
        filters << QString::fromUtf8(entryOf(format).filter);
    }
    dialog.setNameFilters(filters);
    dialog.selectFile(suggestion);
    const auto formatOfFilter = [&](const QString& filter) {
        return formats[static_cast<std::size_t>(std::max<qsizetype>(0, filters.indexOf(filter)))];
    };
    const auto useSuffixOf = [&](const QString& filter) {
        dialog.setDefaultSuffix(QString::fromLatin1(entryOf(formatOfFilter(filter)).suffix));
    };
    useSuffixOf(filters.front());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, useSuffixOf);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString path = dialog.selectedFiles().front();
    return OutputTarget{
        path, formatBySuffix(path, formats).value_or(formatOfFilter(dialog.selectedNameFilter()))};
}

bool writeAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered, so that a write the disk cuts short shows in write's count:
    // flushing a buffer at commit would not notice it.
    const bool written = !bytes.isEmpty() &&
                         file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                         file.write(bytes) == bytes.size() && file.commit();
    if (!written) {
        file.cancelWriting();
        showMessage(strings::saveDocumentFailed);
    }
    return written;
}

QByteArray pngOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return {};
    }
    return bytes;
}

bool isSameFile(const QString& first, const QString& second) {
    std::error_code error;
    return std::filesystem::equivalent(toPath(first), toPath(second), error);
}
