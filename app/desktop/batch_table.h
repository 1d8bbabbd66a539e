#pragma once
// The batch results as texts: the table's rows and the two export formats.

#include "cli/file_report.h"
#include "res/string_table.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <iterator>
#include <span>

enum BatchColumn { fileColumn, plateColumn, typeColumn, confidenceColumn, timeColumn };
inline constexpr int batchColumnCount = 5;
static_assert(std::size(strings::batchColumns) == batchColumnCount);

using BatchRow = std::array<QString, batchColumnCount>;

// One row per file: its path; its plates, their types and confidences, each
// list joined by "; " (the plate stored last first); the time in milliseconds.
// A file without plates says "无法识别车牌！", one that could not be read
// "错误：" and the reader's message.
BatchRow batchRowOf(const FileReport& report);

// A header line with the column titles, then one line per file; fields quoted
// where they hold a comma, a quote or a line break; UTF-8 with CRLF line ends.
QByteArray csvOf(std::span<const FileReport> reports);

// kavro-cli's --json lines, one per file.
QByteArray jsonLinesOf(std::span<const FileReport> reports);
