#pragma once
// Files of the desktop program: their paths for the engine, what the program
// can write, the save dialog that asks where, and the atomic write itself.

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <span>

class QImage;
class QWidget;

// The path of a file name as the engine takes it (in the system's encoding).
std::filesystem::path toPath(const QString& path);

enum class OutputFormat { annotatedPng, jsonLines, csv };

struct OutputTarget {
    QString path;
    OutputFormat format;
};

// Asks where to write one of `formats` (the first one preselected), starting
// from `suggestion` (a path without extension); empty when cancelled.
using OutputChooser = std::function<std::optional<OutputTarget>(
    QWidget* parent, const QString& suggestion, std::span<const OutputFormat> formats)>;

// The save dialog: one file type per format, the type's extension added to a
// name without one, and the question before an existing file is replaced.
// The format is the one the name's extension says, else the chosen type's.
std::optional<OutputTarget> chooseOutputFile(QWidget* parent, const QString& suggestion,
                                             std::span<const OutputFormat> formats);

// Writes `bytes` to `path` through a file beside it that takes its place only
// once everything was written, so a failure leaves the old file whole. Shows
// "保存文档失败。" and returns false on failure; nothing is written for no bytes.
bool writeAtomically(const QString& path, const QByteArray& bytes);

// The PNG file of `image`; empty when it cannot be encoded.
QByteArray pngOf(const QImage& image);

// True when both paths name one existing file (links followed).
bool isSameFile(const QString& first, const QString& second);
