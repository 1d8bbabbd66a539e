#include "file_report.h"

#include "app/driver/plate_text.h"
#include "image/message_sink.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <memory>
#include <new>

using namespace kavro;

namespace {

// Rounded to a tenth; a corner just left of or above the picture gives 0, not -0.
double toTenth(double value) {
    const double tenth = std::round(value * 10) / 10;
    return tenth == 0 ? 0.0 : tenth;
}

PlateReport reportOf(const FoundPlate& found) {
    PlateReport plate;
    plate.text = plateNumberText(found);
    plate.format = found.formatIndex;
    plate.type = plateTypeText(found);
    plate.confidence = found.confidence;
    for (int p = 0; p < codeCount(found); ++p) {
        plate.scores.push_back(found.charScore[static_cast<std::size_t>(p)]);
    }
    for (std::size_t c = 0; c < quadCornerCount; ++c) {
        plate.corners[c] = {toTenth(found.corners.corners[c].x),
                            toTenth(found.corners.corners[c].y)};
    }
    return plate;
}

} // namespace

std::vector<PlateReport> platesOf(const PictureSession& session) {
    std::vector<PlateReport> plates;
    for (const FoundPlate& found : session.plates) {
        plates.push_back(reportOf(found));
    }
    return plates;
}

PictureSession& threadSession() {
    thread_local auto session = std::make_unique<PictureSession>();
    return *session;
}

namespace {

// Keeps the last message shown on this thread while it lives.
class LastMessage {
public:
    std::string take() { return m_text.empty() ? "the file could not be read" : std::move(m_text); }

private:
    std::string m_text;
    ScopedSink m_sink{setMessageSink, [this](std::string_view text) { m_text = text; }};
};

} // namespace

FileReport reportFile(PictureSession& session, const std::string& path,
                      const WhileRead& whileRead) {
    const auto start = std::chrono::steady_clock::now();
    FileReport report;
    report.file = path;
    LastMessage message;
    const ScopedSink warnings(
        setWarningSink, [&report](std::string_view text) { report.warnings.emplace_back(text); });
    try {
        if (readPicture(session, path, PictureReader::byContent, ReadFor::batch)) {
            recogniseCurrent(session);
            report.plates = platesOf(session);
            if (whileRead) {
                whileRead(session);
            }
            // Nothing shows the picture again: it goes before the next file is decoded.
            releasePicture(session);
        } else {
            report.error = message.take();
        }
    } catch (const std::bad_alloc&) {
        report.error = "Out of memory!";
    } catch (const std::exception& e) {
        report.error = e.what();
    }
    report.elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return report;
}

std::string plainLine(const FileReport& report) {
    std::string line = report.file + ": ";
    if (report.error) {
        return line + "error: " + *report.error;
    }
    if (report.plates.empty()) {
        return line + "无法识别车牌！";
    }
    for (std::size_t i = 0; i < report.plates.size(); ++i) {
        const PlateReport& plate = report.plates[i];
        line += (i > 0 ? "; " : "") + plate.text + " " + plate.type + " (" +
                std::to_string(plate.confidence) + ")";
    }
    return line;
}

std::string warningLines(const FileReport& report) {
    std::string lines;
    for (const std::string& warning : report.warnings) {
        lines += report.file + ": warning: " + warning + '\n';
    }
    return lines;
}

std::string jsonLine(const FileReport& report) {
    nlohmann::ordered_json object;
    object["file"] = report.file;
    if (report.error) {
        object["error"] = *report.error;
        return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    object["plates"] = nlohmann::ordered_json::array();
    for (const PlateReport& plate : report.plates) {
        object["plates"].push_back({{"text", plate.text},
                                    {"format", plate.format},
                                    {"type", plate.type},
                                    {"confidence", plate.confidence},
                                    {"scores", plate.scores},
                                    {"corners", plate.corners}});
    }
    object["elapsed_ms"] = std::round(report.elapsedMs * 1000) / 1000;
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
