#pragma once
// What kavro-cli reports for one file, and its two output forms.

#include "app/driver/picture_session.h"

#include <optional>
#include <string>
#include <vector>

struct PlateReport {
    std::string text; // display characters
    int format = 0;
    std::string type;
    int confidence = 0;
    std::vector<int> scores;
};

struct FileReport {
    std::string file;
    std::optional<std::string> error;  // set when the file could not be read
    std::vector<PlateReport> plates;   // last stored plate first, as the desktop lists them
    std::vector<std::string> warnings; // the decoder's, for damaged data it read anyway
    double elapsedMs = 0;              // reading, decoding and recognition
};

// Reads and recognises one file (format by content) in `session`, which the
// caller reuses from file to file; the decoded picture is not kept in it
// afterwards, only the engine's buffers. Never throws.
FileReport reportFile(PictureSession& session, const std::string& path);

// The calling thread's session for reportFile: a worker keeps its buffers
// allocated from one file to the next.
PictureSession& threadSession();

// The stored plates of `result`, the one stored last first.
std::vector<PlateReport> platesOf(const RecognitionResult& result);

// "FILE: 浙B12345 小型汽车 - 蓝底白字 (93)", plates joined by "; ",
// "FILE: 无法识别车牌！" or "FILE: error: MESSAGE".
std::string plainLine(const FileReport& report);

// One JSON object on one line.
std::string jsonLine(const FileReport& report);

// "FILE: warning: MESSAGE", one line per warning.
std::string warningLines(const FileReport& report);
