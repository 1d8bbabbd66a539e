#pragma once
// What kavro-cli reports for one file, and its two output forms.

#include "app/driver/picture_session.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct PlateReport {
    std::string text; // display characters
    int format = 0;
    std::string type;
    int confidence = 0;
    std::vector<int> scores;
    // Picture pixels, clockwise from the top left, rounded to a tenth.
    std::array<std::array<double, 2>, kavro::quadCornerCount> corners{};
};

struct FileReport {
    std::string file;
    std::optional<std::string> error; // set when the file could not be read
    // The desktop's plates, last stored first as it lists them, then the other plates found.
    std::vector<PlateReport> plates;
    std::vector<std::string> warnings; // the decoder's, for damaged data it read anyway
    double elapsedMs = 0;              // reading, decoding and recognition
};

// Sees the session of a file that was read while its picture and plates are
// still in it. Must not throw.
using WhileRead = std::function<void(const kavro::PictureSession&)>;

// Reads and recognises one file (format by content) in `session`, which the
// caller reuses from file to file; the decoded picture is not kept in it
// afterwards, only the engine's buffers. Calls `whileRead`, if given, once the
// file was read and recognised. Never throws.
FileReport reportFile(kavro::PictureSession& session, const std::string& path,
                      const WhileRead& whileRead = {});

// The calling thread's session for reportFile: a worker keeps its buffers
// allocated from one file to the next.
kavro::PictureSession& threadSession();

// The plates of the session's last read: those the desktop shows, the one
// stored last first, then the other plates found.
std::vector<PlateReport> platesOf(const kavro::PictureSession& session);

// "FILE: 浙B12345 小型汽车 - 蓝底白字 (93)", plates joined by "; ",
// "FILE: 无法识别车牌！" or "FILE: error: MESSAGE".
std::string plainLine(const FileReport& report);

// One JSON object on one line.
std::string jsonLine(const FileReport& report);

// "FILE: warning: MESSAGE", one line per warning.
std::string warningLines(const FileReport& report);
