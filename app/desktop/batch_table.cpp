#include "app/desktop/batch_table.h"

#include <QStringList>

#include <functional>

using namespace kavro;

namespace {

constexpr int timeDecimals = 1;
constexpr char listSeparator[] = "; ";

QString joined(const std::vector<PlateReport>& plates,
               const std::function<QString(const PlateReport&)>& field) {
    QStringList texts;
    for (const PlateReport& plate : plates) {
        texts << field(plate);
    }
    return texts.join(QLatin1String(listSeparator));
}

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray csvLine(std::span<const QString> fields) {
    QStringList quoted;
    for (const QString& field : fields) {
        quoted << csvField(field);
    }
    return quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

} // namespace

BatchRow batchRowOf(const FileReport& report) {
    BatchRow row;
    row[fileColumn] = QString::fromStdString(report.file);
    row[timeColumn] = QString::number(report.elapsedMs, 'f', timeDecimals);
    if (report.error) {
        row[plateColumn] =
            QString::fromUtf8(strings::batchError) + QString::fromStdString(*report.error);
        return row;
    }
    if (report.plates.empty()) {
        row[plateColumn] = QString::fromUtf8(strings::noPlate);
        return row;
    }
    row[plateColumn] = joined(
        report.plates, [](const PlateReport& plate) { return QString::fromStdString(plate.text); });
    row[typeColumn] = joined(
        report.plates, [](const PlateReport& plate) { return QString::fromStdString(plate.type); });
    row[confidenceColumn] = joined(
        report.plates, [](const PlateReport& plate) { return QString::number(plate.confidence); });
    return row;
}

QByteArray csvOf(std::span<const FileReport> reports) {
    BatchRow header;
    for (int column = 0; column < batchColumnCount; ++column) {
        header[column] = QString::fromUtf8(strings::batchColumns[column]);
    }
    QByteArray csv = csvLine(header);
    for (const FileReport& report : reports) {
        csv += csvLine(batchRowOf(report));
    }
    return csv;
}

QByteArray jsonLinesOf(std::span<const FileReport> reports) {
    QByteArray lines;
    for (const FileReport& report : reports) {
        lines += QByteArray::fromStdString(jsonLine(report)) + '\n';
    }
    return lines;
}
