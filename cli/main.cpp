// kavro-cli [--json] [-j N] [-r] FILE|FOLDER|-...
// Reads each file (the pictures of each folder, the files named on standard
// input for "-"), recognises its plates and prints one result per file in
// input order. Exit status: 0 when every file was read, 1 when any could not
// be, 2 on a usage error.

#include "file_report.h"
#include "inputs.h"
#include "ordered_runner.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <thread>
#include <unistd.h>

namespace {

constexpr int exitUsage = 2;

struct Options {
    bool json = false;
    bool recursive = false;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::string> files;
};

// The report of an entry that failed before any file was read.
FileReport failedEntry(const Input& input) {
    FileReport report;
    report.file = input.path;
    report.error = input.error;
    return report;
}

void showProgress(std::size_t done, std::size_t total) {
    std::fprintf(stderr, "\r%zu/%zu", done, total);
    if (done == total) {
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{"Kavro: reads the licence plates in BMP and JPEG pictures."};
    app.add_flag("--json", options.json,
                 "print one JSON object per file (JSON Lines); each plate has text, format, "
                 "type, confidence, scores and corners: [[x, y], ...] in picture pixels, "
                 "clockwise from the top left");
    app.add_option("-j", options.jobs, "worker threads (default: all cores)")
        ->check(CLI::PositiveNumber);
    app.add_flag("-r", options.recursive, "read the subfolders of a folder too");
    app.add_option("FILE", options.files,
                   "pictures to read: files, folders (their BMP and JPEG pictures, by name), "
                   "or - for file names on standard input, one a line")
        ->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : exitUsage;
    }

    const std::vector<Input> inputs = expandInputs(options.files, options.recursive, std::cin);
    const bool progress = isatty(STDERR_FILENO) && inputs.size() > 1;
    std::atomic<bool> anyUnread{false};
    runInOrder(
        inputs.size(), options.jobs,
        [&](std::size_t i) {
            const Input& input = inputs[i];
            const FileReport report =
                input.error ? failedEntry(input) : reportFile(threadSession(), input.path);
            if (report.error) {
                anyUnread = true;
            }
            std::fputs(warningLines(report).c_str(), stderr); // a file's lines at once
            return options.json ? jsonLine(report) : plainLine(report);
        },
        [&](std::size_t i, const std::string& line) {
            std::cout << line << '\n' << std::flush;
            if (progress) {
                showProgress(i + 1, inputs.size());
            }
        });
    return anyUnread ? 1 : 0;
}
